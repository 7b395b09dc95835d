// Video format discovery: the size and subtype lists of the opened device, loaded from its
// registry key or discovered once from its stream capabilities.
#include "capture/devices/VideoFormats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/StoreProblems.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/com/ComApi.h"
#include "platform/media/Guids.h"
#include "platform/media/MediaType.h"
#include "platform/toolkit/Dib.h"

namespace {

// MPEG-1 and MPEG-2 video formats start with a video info header.
constexpr GUID FORMAT_MPEGVideo = MakeGuid("{05589F82-C356-11CE-BF01-00AA0055595A}");
constexpr GUID kMpeg2Video = MakeGuid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
constexpr GUID kArgb32 = MakeGuid("{773C9AC0-3274-11D0-B724-00AA006C1A01}");
constexpr GUID kRgbFamily = MakeGuid("{E436EB78-524F-11CE-9F53-0020AF0BA770}");

// Capability values beyond this are not sizes a device can mean; they would only make the
// halving and doubling series run long.
constexpr int kMaxSeedDimension = 65536;

constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;

bool HasVideoInfoHeader(const AM_MEDIA_TYPE& mt) {
  return (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2 ||
          mt.formattype == FORMAT_MPEGVideo || mt.formattype == FORMAT_MPEG2Video) &&
         GetBitmapInfoHeader(mt) != nullptr;
}

}  // namespace

QString SizeEntry(int width, int height) {
  const QString text = QString::number(width) + QLatin1Char('x') + QString::number(height);
  if (width >= 1000) return text;
  if (width >= 100) return QLatin1Char(' ') + text;
  return QStringLiteral("  ") + text;
}

QString DefaultSizeEntry(int width, int height) {
  return QStringLiteral("   ") + SizeEntry(width, height);
}

bool ParseSizeEntry(const QString& entry, int* width, int* height) {
  const qsizetype x = entry.indexOf(QLatin1Char('x'));
  if (x < 2) return false;
  bool ok = false;
  int w = entry.left(x).trimmed().toInt(&ok);
  if (!ok) w = 0;
  int h = entry.mid(x + 1).trimmed().toInt(&ok);
  if (!ok) h = 0;
  if (w < 1 || h < 1) return false;
  *width = w;
  *height = h;
  return true;
}

bool InsertSorted(QStringList& list, const QString& entry) {
  auto less = [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  };
  auto it = std::lower_bound(list.begin(), list.end(), entry, less);
  if (it != list.end() && it->compare(entry, Qt::CaseInsensitive) == 0) return false;
  list.insert(it, entry);
  return true;
}

QString GuidText(REFGUID guid) {
  return QString::fromStdString(GuidToString(guid));
}

QString SubtypeName(const QString& guidText) {
  const std::optional<GUID> parsed = ParseGuid(guidText.trimmed().toStdString());
  if (!parsed) return {};
  const GUID& g = *parsed;
  GUID family = g;
  family.Data1 = kRgbFamily.Data1;
  if (family == kRgbFamily && (g.Data1 & 0xFFFFFF00u) == (kRgbFamily.Data1 & 0xFFFFFF00u)) {
    static constexpr const char* kNames[] = {"RGB1",   "RGB4",  "RGB8", "RGB565",
                                             "RGB555", "RGB24", "RGB32"};
    const DWORD n = g.Data1 - kRgbFamily.Data1;
    return n < 7 ? QString::fromLatin1(kNames[n]) : QStringLiteral("RGB");
  }
  if (g == kMpeg2Video) return QStringLiteral("MPEG2");
  if (g == kArgb32) return QStringLiteral("ARGB32");
  QString name;
  for (int i = 0; i < 4; ++i) name += QChar(static_cast<char16_t>((g.Data1 >> (8 * i)) & 0xFF));
  return name;
}

// ---- the component's lists ----

void TCaptureCore::AddVideoSize(int width, int height, bool withDefault) {
  const QString entry = SizeEntry(width, height);
  if (VideoSizeList.contains(entry, Qt::CaseInsensitive)) return;
  if (withDefault && VideoSizeList.isEmpty())
    InsertSorted(VideoSizeList, DefaultSizeEntry(width, height));
  InsertSorted(VideoSizeList, entry);
  ReportIf(this, true, sv_Info, i_discovering_device, QStringLiteral("video size: ") + entry);
}

void TCaptureCore::AddVideoSubtype(REFGUID subtype) {
  const QString text = GuidText(subtype);
  if (VideoSubtypeList.contains(text)) return;
  VideoSubtypeList << text;
  const QString name = SubtypeName(text).toLower();
  ReportIf(this, true, sv_Info, i_discovering_device, QStringLiteral("video format: ") + name);
  static const QStringList kDv = {"dvsd", "dvhd", "dvsl", "dv25", "dv50", "dvh1", "dvsc"};
  if (kDv.contains(name)) VideoRegSave.SetBool(vrs_IsDigitalVideoIn, true);
}

void TCaptureCore::AddSizeSeries(int x0, int y0, int minX, int minY, int maxX, int maxY) {
  // A zero or absurd seed or bound would keep the series from ending: such values are skipped.
  auto sane = [](int v) { return v >= 1 && v <= kMaxSeedDimension; };
  if (!sane(x0) || !sane(y0)) return;
  auto start = [&](int& x, int& y) {
    x = x0;
    y = y0;
    if (y > x) y /= 2;
  };
  int x, y;
  if (sane(minX)) {
    for (start(x, y); x >= minX && x >= 1 && y >= 1; x /= 2, y /= 2) AddVideoSize(x, y);
  }
  if (sane(minY)) {
    for (start(x, y); y >= minY && x >= 1 && y >= 1; x /= 2, y /= 2) AddVideoSize(x, y);
  }
  if (sane(maxX)) {
    for (start(x, y); x <= maxX && y <= kMaxSeedDimension; x *= 2, y *= 2) AddVideoSize(x, y);
  }
  if (sane(maxY)) {
    for (start(x, y); y <= maxY && x <= kMaxSeedDimension; x *= 2, y *= 2) AddVideoSize(x, y);
  }
}

void TCaptureCore::AddSeedSeries(int w, int h, const SIZE& minSize, const SIZE& maxSize) {
  const int minX = minSize.cx, minY = minSize.cy, maxX = maxSize.cx, maxY = maxSize.cy;
  AddSizeSeries(w, h, minX, minY, maxX, maxY);
  AddSizeSeries(minX, minY, minX, minY, maxX, maxY);
  AddSizeSeries(maxX, maxY, minX, minY, maxX, maxY);
}

bool TCaptureCore::LoadVideoFormats() {
  VideoSizeList.clear();
  VideoSubtypeList.clear();
  TDevices* list = DeviceList(dk_VideoDevices);
  TRegistry2 reg;
  if (list && reg.OpenKey(list->RegistryKey(OpenedVideoDevice), false)) {
    QString value;
    for (unsigned i = 0;; ++i) {
      if (!reg.ReadString(QString::asprintf("FMT%.3u", i), value)) break;
      if (!value.isEmpty()) InsertSorted(VideoSizeList, value);
    }
    for (unsigned i = 0;; ++i) {
      if (!reg.ReadString(QString::asprintf("SUB%.3u", i), value)) break;
      if (!value.isEmpty()) VideoSubtypeList << value;
    }
  }
  if (!VideoSizeList.isEmpty() && !VideoSubtypeList.isEmpty()) return true;
  TraceWrite({}, kMarkRed,
             QStringLiteral("ERROR when loading from registry: Formats or Subtypes empty"));
  return false;
}

bool TCaptureCore::WriteFormatLists() {
  TDevices* list = DeviceList(dk_VideoDevices);
  if (!list || !list->InfoAt(OpenedVideoDevice)) return true;  // nothing of ours to write
  TRegistry2 reg;
  bool ok = reg.OpenKey(list->RegistryKey(OpenedVideoDevice), true);
  for (int i = 0; ok && i < VideoSizeList.size(); ++i)
    ok = reg.WriteString(QString::asprintf("FMT%.3u", static_cast<unsigned>(i)), VideoSizeList[i]);
  for (int i = 0; ok && i < VideoSubtypeList.size(); ++i)
    ok = reg.WriteString(QString::asprintf("SUB%.3u", static_cast<unsigned>(i)),
                         VideoSubtypeList[i]);
  return reg.CloseKey() && ok;
}

bool TCaptureCore::DiscoverVideoFormats() {
  TDevices* list = DeviceList(dk_VideoDevices);
  ReportIf(this, true, sv_Info, i_begin_discovering_device,
           QStringLiteral("one-time video device discovery:\r\n") +
               (list ? list->NameAt(OpenedVideoDevice) : QString()) +
               QStringLiteral("\r\nplease wait..."));
  Discovering = true;
  VideoRegSave.SetInt(vrs_VideoInput, 0);
  VideoInputs.clear();
  VideoSizeList.clear();
  VideoSubtypeList.clear();
  VideoRegSave.SetInt(vrs_ANTVFormats, 0);

  StopGraph();
  TDeviceGraph graph;
  if (!graph.Build(this, OpenedVideoDevice, /*discovering=*/true)) {
    Discovering = false;
    ReportIf(this, true, sv_Info, i_end_discovering_device,
             QStringLiteral("end of device discovery"));
    return false;
  }
  CaptureDeviceState(graph);
  VideoRegSave.SetBool(vrs_IsVfw, list && list->InfoAt(OpenedVideoDevice) &&
                                      !list->InfoAt(OpenedVideoDevice)->IsWDM);
  VideoRegSave.SetBool(vrs_IsAnalogVideoDecoderAvail, static_cast<bool>(graph.AnalogDecoder));
  VideoRegSave.SetBool(vrs_IsTVTunerAvail, static_cast<bool>(graph.Tuner));
  VideoRegSave.SetBool(vrs_IsVideoCrossbarAvail, static_cast<bool>(graph.VideoCrossbar));
  VideoRegSave.SetBool(vrs_IsAudioCrossbarAvail, static_cast<bool>(graph.AudioCrossbar));
  VideoRegSave.SetBool(vrs_IsVideoQualityAvail, static_cast<bool>(graph.VideoProcAmp));
  VideoRegSave.SetBool(vrs_IsCameraControlAvail, static_cast<bool>(graph.CameraControl));
  const bool vfwDialogs = static_cast<bool>(graph.VfwDialogs);
  VideoRegSave.SetBool(vrs_VfwCaptureDialogFormat,
                       vfwDialogs && graph.VfwDialogs->HasDialog(VfwCaptureDialog_Format) == S_OK);
  VideoRegSave.SetBool(vrs_VfwCaptureDialogSource,
                       vfwDialogs && graph.VfwDialogs->HasDialog(VfwCaptureDialog_Source) == S_OK);
  VideoRegSave.SetBool(vrs_VfwCaptureDialogDisplay,
                       vfwDialogs && graph.VfwDialogs->HasDialog(VfwCaptureDialog_Display) == S_OK);
  long standards = 0, standard = 0;
  bool haveStandard = false;
  if (graph.AnalogDecoder) {
    graph.AnalogDecoder->get_AvailableTVFormats(&standards);
    haveStandard = SUCCEEDED(graph.AnalogDecoder->get_TVFormat(&standard));
  } else if (graph.Tuner) {
    graph.Tuner->get_AvailableTVFormats(&standards);
    haveStandard = SUCCEEDED(graph.Tuner->get_TVFormat(&standard));
  }
  VideoRegSave.SetInt(vrs_ANTVFormats, static_cast<std::int32_t>(standards));
  VideoInputs = CrossbarVideoInputs(graph.VideoCrossbar.Get());
  VideoRegSave[vrs_VideoInputs].StrValue = VideoInputs;

  if (VideoRegSave.Bool(vrs_IsMpegStream)) {
    AddFixedMpegEntries();
  } else if (VideoRegSave.Bool(vrs_IsVfw)) {
    ProbeVfwFormats(graph);
  } else {
    WalkCapabilities(graph);
  }

  // Lists that could not be stored are written again by the save retries, or discovered again
  // at the next selection of the device.
  formatListsUnsaved_ = list && !WriteFormatLists();
  if (formatListsUnsaved_) ReportSaveFailure(this);
  if (haveStandard) {
    VideoRegSave.SetInt(vrs_ANTVFormat, static_cast<std::int32_t>(standard));
    if (graph.AnalogDecoder) graph.AnalogDecoder->put_TVFormat(standard);
  }
  graph.TearDown();
  Discovering = false;
  ReportIf(this, true, sv_Info, i_end_discovering_device,
           QStringLiteral("end of device discovery"));
  return true;
}

void TCaptureCore::WalkCapabilities(TDeviceGraph& graph) {
  if (!graph.SourcePin) {
    TraceWrite({}, kMarkRed, QStringLiteral("ERROR: NO OUPTUT PIN FOUND IN FORMAT DISCOVERING"));
    return;
  }
  int count = 0, size = 0;
  if (graph.StreamConfig && SUCCEEDED(graph.StreamConfig->GetNumberOfCapabilities(&count, &size)) &&
      count > 0) {
    for (int i = 0; i < count; ++i) {
      VIDEO_STREAM_CONFIG_CAPS caps{};
      MediaTypeHolder holder;
      // A driver that reports a larger capability structure than ours gets a buffer of its size.
      std::vector<BYTE> buffer(
          std::max<std::size_t>(sizeof caps, static_cast<std::size_t>(std::max(size, 0))));
      if (FAILED(graph.StreamConfig->GetStreamCaps(i, &holder.mt, buffer.data())) || !holder.mt)
        continue;
      std::memcpy(&caps, buffer.data(), sizeof caps);
      AddVideoSubtype(holder.mt->subtype);
      if (holder.mt->majortype == MEDIATYPE_Video && HasVideoInfoHeader(*holder.mt)) {
        const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*holder.mt);
        AddSeedSeries(std::abs(static_cast<int>(bih->biWidth)),
                      std::abs(static_cast<int>(bih->biHeight)), caps.MinOutputSize,
                      caps.MaxOutputSize);
      }
    }
  } else {
    ComPtr<IEnumMediaTypes> types;
    if (SUCCEEDED(graph.SourcePin->EnumMediaTypes(types.ReleaseAndGetAddressOf())) && types) {
      types->Reset();
      for (;;) {
        MediaTypeHolder holder;
        if (types->Next(1, &holder.mt, nullptr) != S_OK || !holder.mt) break;
        if (!HasVideoInfoHeader(*holder.mt)) continue;
        AddVideoSubtype(holder.mt->subtype);
        const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*holder.mt);
        AddSeedSeries(std::abs(static_cast<int>(bih->biWidth)),
                      std::abs(static_cast<int>(bih->biHeight)), SIZE{80, 60}, SIZE{2048, 1536});
      }
    }
  }
  if (VideoRegSave.Bool(vrs_IsAnalogVideoDecoderAvail)) {
    static constexpr int kAnalog[][2] = {{176, 144}, {320, 240}, {352, 240}, {352, 288},
                                         {480, 288}, {480, 480}, {640, 480}, {704, 480},
                                         {704, 574}, {720, 480}, {720, 576}};
    for (const auto& s : kAnalog) AddVideoSize(s[0], s[1]);
  }
  if (VideoRegSave.Bool(vrs_IsDigitalVideoIn)) AddDvDecoderSubtypes();
  FinishFormatLists();
}

void TCaptureCore::AddDvDecoderSubtypes() {
  ComPtr<IBaseFilter> decoder;
  if (FAILED(CoCreateInstance(CLSID_DVVideoCodec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              decoder.ReleaseAndGetVoidAddress())) ||
      !decoder)
    return;
  ComPtr<IEnumPins> pins;
  if (FAILED(decoder->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
    PIN_DIRECTION dir = PINDIR_INPUT;
    if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) continue;
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.ReleaseAndGetAddressOf())) || !types) continue;
    for (;;) {
      MediaTypeHolder holder;
      if (types->Next(1, &holder.mt, nullptr) != S_OK || !holder.mt) break;
      AddVideoSubtype(holder.mt->subtype);
    }
  }
}

void TCaptureCore::AddFixedMpegEntries() {
  const QString mpeg2 = GuidText(kMpeg2Video);
  VideoSubtypeList = QStringList{QLatin1Char(' ') + mpeg2, mpeg2};
  VideoSizeList.clear();
  for (const char* entry : {"  360x240", " 320x240", " 352x240", " 352x288", " 360x240", " 640x480",
                            " 704x480", " 720x480", " 720x576"})
    InsertSorted(VideoSizeList, QString::fromLatin1(entry));
}

void TCaptureCore::ProbeVfwFormats(TDeviceGraph& graph) {
  MediaTypeHolder current;
  if (!graph.StreamConfig ||
      !ReportResult(this, graph.StreamConfig->GetFormat(&current.mt), sv_Error, e_get_video_format,
                    QStringLiteral("get Video format")) ||
      !current.mt || !GetBitmapInfoHeader(*current.mt))
    return;
  BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*current.mt);
  const BITMAPINFOHEADER saved = *bih;
  auto imageSize = [](const BITMAPINFOHEADER& h) {
    const long long stride = ((static_cast<long long>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    return static_cast<DWORD>(std::min<long long>(stride * std::abs(h.biHeight), 0x7FFFFFFF));
  };
  static constexpr int kSizes[][2] = {{96, 72},   {120, 90},  {128, 96},  {160, 120}, {192, 144},
                                      {240, 180}, {256, 192}, {320, 240}, {352, 288}, {384, 288},
                                      {640, 480}, {720, 576}, {768, 576}};
  for (const auto& s : kSizes) {
    bih->biWidth = s[0];
    bih->biHeight = s[1];
    bih->biSizeImage = imageSize(*bih);
    if (graph.StreamConfig->SetFormat(current.mt) != S_OK) continue;
    const QString entry = SizeEntry(s[0], s[1]);
    if (InsertSorted(VideoSizeList, entry))
      ReportIf(this, true, sv_Info, i_discovering_device, QStringLiteral("video size: ") + entry);
  }
  *bih = saved;
  static constexpr const char* kNames[] = {
      "RLE4", "RLE8", "RGB4", "RGB8", "BITF16", "BITF24", "BITF32", "UYVY", "YUY2",
      "YUV9", "I420", "IYUV", "YV12", "RGB555", "RGB565", "RGB24",  "RGB32"};
  for (const char* name : kNames) {
    const QString n = QString::fromLatin1(name);
    DWORD compression = saved.biCompression;
    WORD bits = saved.biBitCount;
    if (n.startsWith(QLatin1String("RGB"))) {
      compression = BI_RGB;
      bits = static_cast<WORD>(n.mid(3).toInt());
    } else if (n.startsWith(QLatin1String("BITF"))) {
      compression = BI_BITFIELDS;
      bits = static_cast<WORD>(n.mid(4).toInt());
    } else if (n == QLatin1String("RLE8")) {
      compression = BI_RLE8;
      bits = 8;
    } else if (n == QLatin1String("RLE4")) {
      compression = BI_RLE4;
      bits = 4;
    } else if (n == QLatin1String("YUY2") || n == QLatin1String("UYVY")) {
      compression = MakeFourcc(name[0], name[1], name[2], name[3]);
      bits = 16;
    } else if (n == QLatin1String("YV12") || n == QLatin1String("IYUV") ||
               n == QLatin1String("I420")) {
      compression = MakeFourcc(name[0], name[1], name[2], name[3]);
      bits = 12;
    } else if (n == QLatin1String("YVU9")) {
      compression = MakeFourcc('Y', 'U', 'V', '9');
      bits = 9;
    }
    bih->biCompression = compression;
    bih->biBitCount = bits;
    bih->biSizeImage = imageSize(*bih);
    if (graph.StreamConfig->SetFormat(current.mt) != S_OK) continue;
    VideoSubtypeList << n;
    ReportIf(this, true, sv_Info, i_discovering_device, QStringLiteral("video format: ") + n);
  }
  *bih = saved;
  graph.StreamConfig->SetFormat(current.mt);
  FinishFormatLists();
}

void TCaptureCore::FinishFormatLists() {
  // Preferred subtypes move to the front; the last one moved ends up first.
  for (REFGUID g :
       {MEDIASUBTYPE_Y422, MEDIASUBTYPE_RGB565, MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB32,
        MEDIASUBTYPE_RGB24, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY, MEDIASUBTYPE_RGB555}) {
    const qsizetype i = VideoSubtypeList.indexOf(GuidText(g));
    if (i > 0) VideoSubtypeList.move(i, 0);
  }
  if (!VideoSubtypeList.isEmpty()) VideoSubtypeList.insert(0, VideoSubtypeList.first());

  if (VideoRegSave.Bool(vrs_IsDigitalVideoIn)) {
    VideoSizeList.clear();
    for (const char* entry : {"    half", "   dc", "  quarter", " half", "full"})
      InsertSorted(VideoSizeList, QString::fromLatin1(entry));
    return;
  }
  auto findPreferred = [this]() -> qsizetype {
    qsizetype i = VideoSizeList.indexOf(QStringLiteral(" 352x288"));
    if (i < 0) i = VideoSizeList.indexOf(QStringLiteral(" 320x240"));
    return i;
  };
  if (VideoRegSave.Bool(vrs_IsVfw)) {
    if (VideoSizeList.size() > 1) {
      const qsizetype i = findPreferred();
      if (i > 1) InsertSorted(VideoSizeList, QStringLiteral("   ") + VideoSizeList[i].trimmed());
    }
    return;
  }
  int w = 0, h = 0;
  if (VideoSizeList.isEmpty() || !ParseSizeEntry(VideoSizeList.first(), &w, &h) ||
      (w <= 400 && h <= 400))
    return;
  const qsizetype i = findPreferred();
  if (i > 1) {
    const QString entry = QStringLiteral("   ") + VideoSizeList[i].trimmed();
    VideoSizeList.removeFirst();
    InsertSorted(VideoSizeList, entry);
  }
}

QString TCaptureCore::VideoSubtypes() const {
  if (!Initialized || VideoDeviceCount() == 0 || VideoSubtypeList.isEmpty()) return {};
  QString text;
  for (int i = 0; i < VideoSubtypeList.size(); ++i) {
    const QString line = i == 0 ? QStringLiteral("default")
                                : (VideoRegSave.Bool(vrs_IsVfw) ? VideoSubtypeList[i].trimmed()
                                                                : SubtypeName(VideoSubtypeList[i]));
    text += line + QStringLiteral("\r\n");
  }
  return text;
}
