#include "platform/media/virtual/ScriptedDeviceFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

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
    c.tvTuner = o.value("tvTuner").toBool(false);
    if (c.tvTuner && c.crossbarInputs.empty())
      c.crossbarInputs.push_back({u"Tuner", PhysConn_Video_Tuner});
    for (const QJsonValue& d : o.value("vfwDialogs").toArray()) {
      long bit = 0;
      if (!Lookup(kDialogs, d.toString(), &bit))
        return Fail(QStringLiteral("unknown vfw dialog \"%1\"").arg(d.toString()));
      c.vfwDialogs |= static_cast<int>(bit);
    }
    const QJsonObject fail = o.value("fail").toObject();
    c.failures.refuseSetFormat = fail.value("setFormat").toBool(false);
    c.failures.createResult = fail.value("create").toBool(false) ? E_FAIL : S_OK;
    c.failures.runResult = fail.value("run").toBool(false) ? E_FAIL : S_OK;
    c.failures.loseAfterFrames = fail.value("loseAfterFrames").toInt(-1);
    entry->plugged = o.value("plugged").toBool(true);
    return true;
  }

 private:
  bool Fail(const QString& text) {
    *error_ = text;
    return false;
  }

  bool ReadCapabilities(const QJsonObject& o, VirtualDeviceConfig* c) {
    if (!o.contains("capabilities")) {
      if (c->category == CLSID_VideoInputDeviceCategory)
        c->capabilities.push_back(VideoCapability{});
      return true;
    }
    for (const QJsonValue& v : o.value("capabilities").toArray()) {
      const QJsonObject cap = v.toObject();
      VideoCapability vc;
      vc.subtype = SubtypeFromName(cap.value("subtype").toString("YUY2"));
      if (vc.subtype == GUID_NULL)
        return Fail(QStringLiteral("unknown subtype \"%1\"").arg(cap.value("subtype").toString()));
      vc.width = cap.value("width").toInt(640);
      vc.height = cap.value("height").toInt(480);
      vc.minWidth = cap.value("minWidth").toInt(0);
      vc.minHeight = cap.value("minHeight").toInt(0);
      vc.maxWidth = cap.value("maxWidth").toInt(0);
      vc.maxHeight = cap.value("maxHeight").toInt(0);
      vc.stepX = cap.value("stepX").toInt(0);
      vc.stepY = cap.value("stepY").toInt(0);
      vc.framesPerSecond = cap.value("frameRate").toDouble(30.0);
      vc.minFramesPerSecond = cap.value("minFrameRate").toDouble(0.0);
      vc.maxFramesPerSecond = cap.value("maxFrameRate").toDouble(0.0);
      if (vc.width <= 0 || vc.height <= 0 || vc.framesPerSecond <= 0)
        return Fail("a capability needs a positive width, height and frame rate");
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
      ControlRange r;
      if (!Lookup(names, p.value("property").toString(), &r.property))
        return Fail(QStringLiteral("unknown property \"%1\"").arg(p.value("property").toString()));
      r.min = p.value("min").toInt(0);
      r.max = p.value("max").toInt(100);
      r.step = p.value("step").toInt(1);
      r.defaultValue = p.value("default").toInt(static_cast<int>(r.min));
      r.capsFlags =
          VideoProcAmp_Flags_Manual | (p.value("auto").toBool(false) ? VideoProcAmp_Flags_Auto : 0);
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
        in.name = v.toObject().value("name").toString().toStdU16String();
        in.physicalType = v.toObject().value("type").toInt(0);
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
