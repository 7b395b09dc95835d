#include "platform/media/virtual/ScriptedDeviceFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

// Control values and counts are 32-bit on the platform's interfaces.
constexpr long long kMaxInt32 = std::numeric_limits<std::int32_t>::max();
constexpr long long kMinInt32 = std::numeric_limits<std::int32_t>::min();

struct Named {
  const char* name;
  long value;
};

constexpr Named kProcAmp[] = {{"Brightness", VideoProcAmp_Brightness},
                              {"Contrast", VideoProcAmp_Contrast},
                              {"Hue", VideoProcAmp_Hue},
                              {"Saturation", VideoProcAmp_Saturation},
                              {"Sharpness", VideoProcAmp_Sharpness},
                              {"Gamma", VideoProcAmp_Gamma},
                              {"ColorEnable", VideoProcAmp_ColorEnable},
                              {"WhiteBalance", VideoProcAmp_WhiteBalance},
                              {"BacklightCompensation", VideoProcAmp_BacklightCompensation},
                              {"Gain", VideoProcAmp_Gain}};
constexpr Named kCameraControl[] = {
    {"Pan", CameraControl_Pan},           {"Tilt", CameraControl_Tilt},
    {"Roll", CameraControl_Roll},         {"Zoom", CameraControl_Zoom},
    {"Exposure", CameraControl_Exposure}, {"Iris", CameraControl_Iris},
    {"Focus", CameraControl_Focus}};
constexpr Named kConnectors[] = {{"Tuner", 1},
                                 {"Composite", 2},
                                 {"SVideo", 3},
                                 {"RGB", 4},
                                 {"YRYBY", 5},
                                 {"Serial Digital", 6},
                                 {"Parallel Digital", 7},
                                 {"SCSI", 8},
                                 {"AUX", 9},
                                 {"1394", 10},
                                 {"USB", 11},
                                 {"Video Decoder", 12},
                                 {"Video Encoder", 13},
                                 {"SCART", 14},
                                 {"black", 15},
                                 {"Audio Tuner", 4096},
                                 {"Audio Line", 4097},
                                 {"Audio Mic", 4098},
                                 {"Audio AES Digital", 4099},
                                 {"Audio SPDIF Digital", 4100},
                                 {"Audio SCSI", 4101},
                                 {"Audio AUX", 4102},
                                 {"Audio 1394", 4103},
                                 {"Audio USB", 4104},
                                 {"Audio Decoder", 4105}};
constexpr Named kStandards[] = {
    {"NTSC_M", AnalogVideo_NTSC_M},     {"NTSC_M_J", AnalogVideo_NTSC_M_J},
    {"NTSC_433", AnalogVideo_NTSC_433}, {"PAL_B", AnalogVideo_PAL_B},
    {"PAL_D", AnalogVideo_PAL_D},       {"PAL_G", AnalogVideo_PAL_G},
    {"PAL_H", AnalogVideo_PAL_H},       {"PAL_I", AnalogVideo_PAL_I},
    {"PAL_M", AnalogVideo_PAL_M},       {"PAL_N", AnalogVideo_PAL_N},
    {"PAL_60", AnalogVideo_PAL_60},     {"SECAM_B", AnalogVideo_SECAM_B},
    {"SECAM_D", AnalogVideo_SECAM_D},   {"SECAM_G", AnalogVideo_SECAM_G},
    {"SECAM_H", AnalogVideo_SECAM_H},   {"SECAM_K", AnalogVideo_SECAM_K},
    {"SECAM_K1", AnalogVideo_SECAM_K1}, {"SECAM_L", AnalogVideo_SECAM_L},
    {"SECAM_L1", AnalogVideo_SECAM_L1}, {"PAL_N_COMBO", AnalogVideo_PAL_N_COMBO}};
constexpr Named kDialogs[] = {{"source", VfwCaptureDialog_Source},
                              {"format", VfwCaptureDialog_Format},
                              {"display", VfwCaptureDialog_Display}};

template <std::size_t N>
bool Lookup(const Named (&table)[N], const QString& name, long* value) {
  for (const Named& entry : table)
    if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
      *value = entry.value;
      return true;
    }
  return false;
}

// Reads one device; on failure *error says what is wrong (the caller adds which device).
class DeviceReader {
 public:
  explicit DeviceReader(QString* error) : error_(error) {}

  bool Read(const QJsonObject& o, ScriptedDeviceEntry* entry) {
    static const QSet<QString> kKeys = {
        "friendlyName",       "displayName", "category",     "driver",        "pins",
        "capabilities",       "scene",       "videoProcAmp", "cameraControl", "crossbar",
        "analogVideoDecoder", "tvTuner",     "vfwDialogs",   "fail",          "plugged"};
    for (const QString& key : o.keys())
      if (!kKeys.contains(key)) return Fail(QStringLiteral("unknown key \"%1\"").arg(key));
    VirtualDeviceConfig& c = entry->config;
    c.friendlyName = o.value("friendlyName").toString().toStdU16String();
    if (c.friendlyName.empty()) return Fail("\"friendlyName\" is missing");
    c.displayName = o.value("displayName").toString().toStdU16String();

    const QString category = o.value("category").toString("video");
    if (category == "video")
      c.category = CLSID_VideoInputDeviceCategory;
    else if (category == "audio")
      c.category = CLSID_AudioInputDeviceCategory;
    else if (category == "videoCompressor")
      c.category = CLSID_VideoCompressorCategory;
    else if (category == "audioCompressor")
      c.category = CLSID_AudioCompressorCategory;
    else
      return Fail(QStringLiteral("unknown category \"%1\"").arg(category));

    const QString driver = o.value("driver").toString("WDM");
    if (driver.compare("WDM", Qt::CaseInsensitive) == 0)
      c.driver = DriverKind::Wdm;
    else if (driver.compare("vfw", Qt::CaseInsensitive) == 0)
      c.driver = DriverKind::Vfw;
    else
      return Fail(QStringLiteral("unknown driver \"%1\" (WDM or vfw)").arg(driver));

    if (o.contains("pins")) {
      c.capturePin = c.previewPin = false;
      for (const QJsonValue& pin : o.value("pins").toArray()) {
        if (pin.toString() == "capture")
          c.capturePin = true;
        else if (pin.toString() == "preview")
          c.previewPin = true;
        else
          return Fail(
              QStringLiteral("unknown pin \"%1\" (capture or preview)").arg(pin.toString()));
      }
    }
    if (!ReadCapabilities(o, &c)) return false;
    c.scene = o.value("scene").toString("pattern").toStdString();
    if (c.scene != "pattern" && c.scene != "demo") return Fail("\"scene\" must be pattern or demo");
    c.videoProcAmp = DefaultVideoProcAmp();
    if (o.contains("videoProcAmp") &&
        !ReadControls(o.value("videoProcAmp"), kProcAmp, &c.videoProcAmp))
      return false;
    if (o.contains("cameraControl") &&
        !ReadControls(o.value("cameraControl"), kCameraControl, &c.cameraControl))
      return false;
    if (!ReadCrossbar(o.value("crossbar"), &c)) return false;
    if (!ReadDecoder(o.value("analogVideoDecoder"), &c)) return false;
    if (!ReadBool(o, "tvTuner", &c.tvTuner)) return false;
    if (c.tvTuner && c.crossbarInputs.empty())
      c.crossbarInputs.push_back({u"Tuner", PhysConn_Video_Tuner});
    for (const QJsonValue& d : o.value("vfwDialogs").toArray()) {
      long bit = 0;
      if (!Lookup(kDialogs, d.toString(), &bit))
        return Fail(QStringLiteral("unknown vfw dialog \"%1\"").arg(d.toString()));
      c.vfwDialogs |= static_cast<int>(bit);
    }
    if (!ReadFailures(o.value("fail"), &c.failures)) return false;
    return ReadBool(o, "plugged", &entry->plugged);
  }

 private:
  bool Fail(const QString& text) {
    *error_ = text;
    return false;
  }

  bool OnlyKeys(const QJsonObject& o, const QSet<QString>& keys, const char* where) {
    for (const QString& key : o.keys())
      if (!keys.contains(key))
        return Fail(QStringLiteral("unknown key \"%1\" in %2").arg(key, QLatin1String(where)));
    return true;
  }

  // An integer given for key, within [min, max]; a missing key keeps *value. A fraction, a
  // number out of range or anything but a number is an error, never a silent default.
  template <typename T>
  bool ReadInteger(const QJsonObject& o, const char* key, long long min, long long max, T* value) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return true;
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::floor(d) || d < static_cast<double>(min) ||
        d > static_cast<double>(max))
      return Fail(QStringLiteral("\"%1\" must be an integer from %2 to %3, not %4")
                      .arg(QLatin1String(key))
                      .arg(min)
                      .arg(max)
                      .arg(ValueText(v)));
    *value = static_cast<T>(d);
    return true;
  }

  // A frame rate given for key, within the bounds of virtual devices; 0 too when zeroMeansUnset.
  bool ReadRate(const QJsonObject& o, const char* key, bool zeroMeansUnset, double* value) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return true;
    const double d = v.toDouble();
    const bool inRange = d >= kMinVirtualFramesPerSecond && d <= kMaxVirtualFramesPerSecond;
    if (!v.isDouble() || !(inRange || (zeroMeansUnset && d == 0)))
      return Fail(
          QStringLiteral("\"%1\" must be a frame rate from %2 to %3 frames per second, not %4")
              .arg(QLatin1String(key))
              .arg(kMinVirtualFramesPerSecond)
              .arg(kMaxVirtualFramesPerSecond)
              .arg(ValueText(v)));
    *value = d;
    return true;
  }

  bool ReadBool(const QJsonObject& o, const char* key, bool* value) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return true;
    if (!v.isBool())
      return Fail(QStringLiteral("\"%1\" must be true or false, not %2")
                      .arg(QLatin1String(key), ValueText(v)));
    *value = v.toBool();
    return true;
  }

  static QString ValueText(const QJsonValue& v) {
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 17);
    if (v.isString()) return QStringLiteral("\"%1\"").arg(v.toString());
    if (v.isBool()) return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isNull()) return QStringLiteral("null");
    return v.isArray() ? QStringLiteral("an array") : QStringLiteral("an object");
  }

  bool ReadFailures(const QJsonValue& value, FailurePlan* plan) {
    if (value.isUndefined()) return true;
    if (!value.isObject()) return Fail("\"fail\" must be an object");
    const QJsonObject fail = value.toObject();
    if (!OnlyKeys(fail, {"setFormat", "create", "run", "loseAfterFrames"}, "\"fail\""))
      return false;
    bool create = false;
    bool run = false;
    if (!ReadBool(fail, "setFormat", &plan->refuseSetFormat) ||
        !ReadBool(fail, "create", &create) || !ReadBool(fail, "run", &run) ||
        !ReadInteger(fail, "loseAfterFrames", -1, kMaxInt32, &plan->loseAfterFrames))
      return false;
    plan->createResult = create ? E_FAIL : S_OK;
    plan->runResult = run ? E_FAIL : S_OK;
    return true;
  }

  // Bytes of the largest frame a capability can stream (3 bytes a pixel for a compressed one).
  static long long LargestFrameBytes(const VideoCapability& vc) {
    const long long width = std::max(vc.width, vc.maxWidth);
    const long long height = std::max(vc.height, vc.maxHeight);
    const int bits = SubtypeBitCount(vc.subtype);
    if (bits == 0) return width * height * 3;
    if (IsRgbSubtype(vc.subtype)) return (width * bits + 31) / 32 * 4 * height;
    return width * height * bits / 8;
  }

  bool ReadCapabilities(const QJsonObject& o, VirtualDeviceConfig* c) {
    if (!o.contains("capabilities")) {
      if (c->category == CLSID_VideoInputDeviceCategory)
        c->capabilities.push_back(VideoCapability{});
      return true;
    }
    static const QSet<QString> kCapabilityKeys = {
        "subtype",   "width", "height", "minWidth",  "minHeight",    "maxWidth",
        "maxHeight", "stepX", "stepY",  "frameRate", "minFrameRate", "maxFrameRate"};
    for (const QJsonValue& v : o.value("capabilities").toArray()) {
      const QJsonObject cap = v.toObject();
      if (!OnlyKeys(cap, kCapabilityKeys, "a capability")) return false;
      VideoCapability vc;
      vc.subtype = SubtypeFromName(cap.value("subtype").toString("YUY2"));
      if (vc.subtype == GUID_NULL)
        return Fail(QStringLiteral("unknown subtype \"%1\"").arg(cap.value("subtype").toString()));
      // A size from 1 to the largest side a virtual device has; the range and steps from 0
      // (0: the capability's own size, or no step).
      if (!ReadInteger(cap, "width", 1, kMaxVirtualFrameSide, &vc.width) ||
          !ReadInteger(cap, "height", 1, kMaxVirtualFrameSide, &vc.height))
        return false;
      for (auto [key, field] : {std::pair{"minWidth", &vc.minWidth},
                                {"minHeight", &vc.minHeight},
                                {"maxWidth", &vc.maxWidth},
                                {"maxHeight", &vc.maxHeight},
                                {"stepX", &vc.stepX},
                                {"stepY", &vc.stepY}})
        if (!ReadInteger(cap, key, 0, kMaxVirtualFrameSide, field)) return false;
      if (!ReadRate(cap, "frameRate", false, &vc.framesPerSecond) ||
          !ReadRate(cap, "minFrameRate", true, &vc.minFramesPerSecond) ||
          !ReadRate(cap, "maxFrameRate", true, &vc.maxFramesPerSecond))
        return false;
      const double minRate = vc.minFramesPerSecond > 0 ? vc.minFramesPerSecond : vc.framesPerSecond;
      const double maxRate = vc.maxFramesPerSecond > 0 ? vc.maxFramesPerSecond : vc.framesPerSecond;
      if (minRate > maxRate)
        return Fail(QStringLiteral("the lowest frame rate %1 is above the highest %2")
                        .arg(minRate)
                        .arg(maxRate));
      // The capability's own format is what the device offers first: the device must take it.
      if (vc.framesPerSecond < minRate || vc.framesPerSecond > maxRate)
        return Fail(QStringLiteral("the frame rate %1 is outside %2 to %3")
                        .arg(vc.framesPerSecond)
                        .arg(minRate)
                        .arg(maxRate));
      if (!CapabilityTakesSize(vc, vc.width, vc.height))
        return Fail(QStringLiteral("the size %1 x %2 is outside the capability's range or steps, "
                                   "or odd where the subtype needs it even")
                        .arg(vc.width)
                        .arg(vc.height));
      if (LargestFrameBytes(vc) > kMaxVirtualFrameBytes)
        return Fail(QStringLiteral("a frame of %1 bytes is larger than %2 bytes")
                        .arg(LargestFrameBytes(vc))
                        .arg(kMaxVirtualFrameBytes));
      c->capabilities.push_back(vc);
    }
    return true;
  }

  template <std::size_t N>
  bool ReadControls(const QJsonValue& value, const Named (&names)[N],
                    std::vector<ControlRange>* out) {
    out->clear();
    for (const QJsonValue& v : value.toArray()) {
      const QJsonObject p = v.toObject();
      if (!OnlyKeys(p, {"property", "min", "max", "step", "default", "auto"}, "a control"))
        return false;
      ControlRange r;
      if (!Lookup(names, p.value("property").toString(), &r.property))
        return Fail(QStringLiteral("unknown property \"%1\"").arg(p.value("property").toString()));
      r.max = 100;
      bool automatic = false;
      if (!ReadInteger(p, "min", kMinInt32, kMaxInt32, &r.min) ||
          !ReadInteger(p, "max", kMinInt32, kMaxInt32, &r.max) ||
          !ReadInteger(p, "step", kMinInt32, kMaxInt32, &r.step))
        return false;
      r.defaultValue = r.min;
      if (!ReadInteger(p, "default", kMinInt32, kMaxInt32, &r.defaultValue) ||
          !ReadBool(p, "auto", &automatic))
        return false;
      r.capsFlags = VideoProcAmp_Flags_Manual | (automatic ? VideoProcAmp_Flags_Auto : 0);
      if (r.min > r.max || r.defaultValue < r.min || r.defaultValue > r.max || r.step < 1)
        return Fail(QStringLiteral("bad range for \"%1\"").arg(p.value("property").toString()));
      out->push_back(r);
    }
    return true;
  }

  bool ReadCrossbar(const QJsonValue& value, VirtualDeviceConfig* c) {
    for (const QJsonValue& v : value.toArray()) {
      CrossbarInput in;
      if (v.isString()) {
        in.name = v.toString().toStdU16String();
        if (!Lookup(kConnectors, v.toString(), &in.physicalType))
          return Fail(QStringLiteral("unknown crossbar input \"%1\"").arg(v.toString()));
      } else {
        const QJsonObject input = v.toObject();
        if (!OnlyKeys(input, {"name", "type"}, "a crossbar input")) return false;
        in.name = input.value("name").toString().toStdU16String();
        in.physicalType = 0;
        if (!ReadInteger(input, "type", 1, kMaxInt32, &in.physicalType)) return false;
        if (in.name.empty() || in.physicalType <= 0)
          return Fail("a crossbar input needs a name and a type");
      }
      c->crossbarInputs.push_back(in);
    }
    return true;
  }

  bool ReadDecoder(const QJsonValue& value, VirtualDeviceConfig* c) {
    if (value.isUndefined() || value.isNull()) return true;
    if (value.isBool()) {
      c->analogVideoDecoder = value.toBool();
      return true;
    }
    c->analogVideoDecoder = true;
    const QJsonObject o = value.toObject();
    if (!OnlyKeys(o, {"standards", "current"}, "\"analogVideoDecoder\"")) return false;
    if (o.contains("standards")) {
      c->tvFormats = 0;
      for (const QJsonValue& s : o.value("standards").toArray()) {
        long bit = 0;
        if (!Lookup(kStandards, s.toString(), &bit))
          return Fail(QStringLiteral("unknown video standard \"%1\"").arg(s.toString()));
        c->tvFormats |= bit;
      }
    }
    if (o.contains("current") && !Lookup(kStandards, o.value("current").toString(), &c->tvFormat))
      return Fail(
          QStringLiteral("unknown video standard \"%1\"").arg(o.value("current").toString()));
    if (!(c->tvFormats & c->tvFormat))
      return Fail("the current video standard is not among the standards");
    return true;
  }

  QString* error_;
};

}  // namespace

GUID SubtypeFromName(const QString& name) {
  static const struct {
    const char* name;
    GUID subtype;
  } kNames[] = {{"RGB1", MEDIASUBTYPE_RGB1},        {"RGB4", MEDIASUBTYPE_RGB4},
                {"RGB8", MEDIASUBTYPE_RGB8},        {"RGB565", MEDIASUBTYPE_RGB565},
                {"RGB555", MEDIASUBTYPE_RGB555},    {"RGB24", MEDIASUBTYPE_RGB24},
                {"RGB32", MEDIASUBTYPE_RGB32},      {"ARGB32", MEDIASUBTYPE_ARGB32},
                {"MPEG2", MEDIASUBTYPE_MPEG2_VIDEO}};
  for (const auto& entry : kNames)
    if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) return entry.subtype;
  if (const std::optional<GUID> g = ParseGuid(name.toStdString())) return *g;
  // Any other four characters are a four-character code, kept in their letter case (dvsd, YUY2).
  if (name.size() == 4 && name.toLatin1().size() == 4) {
    const QByteArray c = name.toLatin1();
    return FourccGuid(MakeFourcc(c[0], c[1], c[2], c[3]));
  }
  return GUID_NULL;
}

bool ParseScriptedDevices(const QByteArray& json, std::vector<ScriptedDeviceEntry>* devices,
                          QString* error) {
  devices->clear();
  QString ignored;
  if (!error) error = &ignored;
  QJsonParseError parseError;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
  if (doc.isNull()) {
    *error = QStringLiteral("not JSON: %1 at offset %2")
                 .arg(parseError.errorString())
                 .arg(parseError.offset);
    return false;
  }
  QJsonArray list;
  if (doc.isArray()) {
    list = doc.array();
  } else if (doc.object().value("devices").isArray()) {
    list = doc.object().value("devices").toArray();
  } else {
    *error = "expected an array of devices or an object with \"devices\"";
    return false;
  }
  std::vector<ScriptedDeviceEntry> read;
  for (int i = 0; i < list.size(); ++i) {
    if (!list[i].isObject()) {
      *error = QStringLiteral("device %1: not an object").arg(i);
      return false;
    }
    ScriptedDeviceEntry entry;
    QString why;
    if (!DeviceReader(&why).Read(list[i].toObject(), &entry)) {
      *error = QStringLiteral("device %1 (%2): %3")
                   .arg(i)
                   .arg(list[i].toObject().value("friendlyName").toString(), why);
      return false;
    }
    read.push_back(std::move(entry));
  }
  *devices = std::move(read);
  return true;
}
