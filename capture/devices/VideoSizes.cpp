// Video size selection: the sizes as text, the chosen entry, the nearest size to a wanted one,
// applying the size to the device's pin, and the device's video inputs.
#include <algorithm>
#include <cmath>
#include <vector>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/VideoFormats.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/media/Guids.h"
#include "platform/media/MediaType.h"

namespace {

// DV display resolutions by entry index: 625-line and 525-line.
constexpr int kDvSizes[5][4] = {{360, 288, 360, 240},
                                {88, 72, 88, 60},
                                {180, 144, 180, 120},
                                {360, 288, 360, 240},
                                {720, 576, 720, 480}};

bool HasVideoHeader(const AM_MEDIA_TYPE& mt) {
  return (mt.formattype == FORMAT_VideoInfo || mt.formattype == FORMAT_VideoInfo2) &&
         GetBitmapInfoHeader(mt) != nullptr;
}

void SetAvgTimePerFrame(AM_MEDIA_TYPE& mt, REFERENCE_TIME duration) {
  if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
    reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame = duration;
  else if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
    reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->AvgTimePerFrame = duration;
}

}  // namespace

bool TCaptureCore::CurrentVideoSize(int index, int* width, int* height) {
  const int count = static_cast<int>(VideoSizeList.size());
  if (index == -1 && VideoSize == 0 && count > 0 &&
      VideoRegSave.Bool(vrs_IsAnalogVideoDecoderAvail)) {
    const bool pal = VideoRegSave.Int(vrs_ANTVFormat) > 15;
    if (VideoSizeList.indexOf(pal ? QStringLiteral(" 352x288") : QStringLiteral(" 352x240")) >= 1) {
      *width = 352;
      *height = pal ? 288 : 240;
      return true;
    }
  }
  if (count == 0) {
    *width = 320;
    *height = 240;
    return false;
  }
  if (index == -1) {
    if (VideoSize >= count) VideoSize = 0;
    index = NearestWidth >= 1 && NearestHeight >= 1
                ? NearestVideoSizeIndex(NearestWidth, NearestHeight)
                : VideoSize;
  }
  if (VideoRegSave.Bool(vrs_IsDigitalVideoIn)) {
    if (index < 0 || index > 4) return false;
    const bool pal = VideoRegSave.Bool(vrs_IsDVPal);
    *width = kDvSizes[index][pal ? 0 : 2];
    *height = kDvSizes[index][pal ? 1 : 3];
    return true;
  }
  if (index < 0 || index >= count) return false;
  return ParseSizeEntry(VideoSizeList[index], width, height);
}

int TCaptureCore::NearestVideoSizeIndex(int width, int height) {
  const int count = static_cast<int>(VideoSizeList.size());
  if (count < 2 || width < 1 || height < 1) return VideoSize;
  struct Candidate {
    int index;
    long long distance;
    double aspect;
    int width;
  };
  // Equal keys keep the lower index first (stable sorts over candidates made in index order).
  const long long tolerance = std::llrint(width * 20.0 / 100.0);
  std::vector<Candidate> candidates;
  for (int i = 1; i < count; ++i) {
    int w = 0, h = 0;
    if (!CurrentVideoSize(i, &w, &h)) continue;
    const long long dx = w - width, dy = h - height;
    candidates.push_back(
        {i, dx * dx + dy * dy,
         std::fabs(static_cast<double>(width) / height - static_cast<double>(w) / h), w});
  }
  if (candidates.empty()) return VideoSize;
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
  const Candidate fallback = candidates.front();
  std::vector<Candidate> kept = candidates;
  std::size_t i = 0;
  while (i < kept.size()) {
    if (kept.size() < 2) return fallback.index;
    if (kept[i].width < width - tolerance || kept[i].width > width + tolerance)
      kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  }
  if (kept.size() < 2) return fallback.index;
  std::stable_sort(kept.begin(), kept.end(),
                   [](const Candidate& a, const Candidate& b) { return a.aspect < b.aspect; });
  return kept.front().index;
}

QString TCaptureCore::VideoSizes() const {
  if (!Initialized || VideoDeviceCount() == 0 || VideoSizeList.isEmpty()) return {};
  QString text;
  for (int i = 0; i < VideoSizeList.size(); ++i)
    text +=
        (i == 0 ? QStringLiteral("default") : VideoSizeList[i].trimmed()) + QStringLiteral("\r\n");
  return text;
}

void TCaptureCore::SetVideoSize(int index) {
  if (index < 0 || index >= static_cast<int>(VideoSizeList.size())) return;
  const bool changed = index != VideoSize;
  VideoSize = index;
  int w = 0, h = 0;
  if (CaptureState.load() == cs_Idle && CurrentVideoSize(-1, &w, &h)) {
    VideoWidth = w;
    VideoHeight = h;
    UpdateDisplaySize();
  }
  if (NearestWidth > 0 && NearestHeight > 0)
    ReportIf(this, true, sv_Warning, w_using_nearest_video_size,
             QStringLiteral("disable nearest video size first (currently set to %1x%2)")
                 .arg(NearestWidth)
                 .arg(NearestHeight));
  if (changed && !Destroying.load()) {
    const TEventNotification handler = Owner->OnVideoDeviceSelected;
    if (Owner->EventAssigned(handler)) handler(Owner);
  }
  RefreshPreview(QStringLiteral("dsvsz"));
}

void TCaptureCore::UseNearestVideoSize(int width, int height, bool exactDisplay) {
  NearestWidth = width;
  NearestHeight = height;
  UseNearest = width > 0 && height > 0 ? exactDisplay : false;
  if (CaptureState.load() == cs_Idle)
    UpdateDisplaySize();
  else if (CheckPreconditions(StateBit(cs_Previewing), sv_Warning, true))
    RefreshPreview(QStringLiteral("dunv"));
}

int TCaptureCore::VideoInputIndex(const QString& pattern) const {
  const QString p = pattern.trimmed().toUpper();
  if (p.isEmpty() || VideoInputs.isEmpty()) return -1;
  const QStringList lines = VideoInputs.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].toUpper();
    bool match;
    if (p.size() > 2 && p.startsWith(QLatin1Char('*')) && p.endsWith(QLatin1Char('*')))
      match = line.contains(p.mid(1, p.size() - 2));
    else if (p.size() > 1 && p.startsWith(QLatin1Char('*')))
      match = line.endsWith(p.mid(1));
    else if (p.size() > 1 && p.endsWith(QLatin1Char('*')))
      match = line.startsWith(p.left(p.size() - 1));
    else
      match = line == p;
    if (match) return i;
  }
  return -1;
}

REFERENCE_TIME TCaptureCore::FrameDuration() const {
  const int rate = CaptureFrameRate < 1 ? 1500 : CaptureFrameRate;
  return std::llrint(1e9 / rate);
}

QString TCaptureCore::ChosenSubtype() {
  // The index comes from the store: anything but an entry of the list means the default.
  if (VideoSubtype <= 0 || VideoSubtype >= static_cast<int>(VideoSubtypeList.size())) {
    VideoSubtype = 0;
    if (Settings.FrameGrabber != fg_Disabled) {
      for (const QString& entry : VideoSubtypeList) {
        const QString name = SubtypeName(entry);
        if (name.contains(QLatin1String("RGB")) && name != QLatin1String("RGB")) return entry;
      }
    }
    return VideoSubtypeList.isEmpty() ? QString() : VideoSubtypeList.first();
  }
  return VideoSubtypeList[VideoSubtype];
}

bool TCaptureCore::ApplyVideoSize(TDeviceGraph& graph) {
  TDevices* list = DeviceList(dk_VideoDevices);
  const QString name = list ? list->NameAt(OpenedVideoDevice).toLower() : QString();
  if (name.contains(QLatin1String("pinnacle")) && name.contains(QLatin1String("moviebox")))
    return false;
  IAMStreamConfig* config = graph.StreamConfig.Get();
  const int count = static_cast<int>(VideoSizeList.size());
  const bool vfw = VideoRegSave.Bool(vrs_IsVfw);
  auto indexInRange = [&]() {
    if (VideoSize < count) return true;
    VideoSize = 0;
    ReportIf(this, true, sv_Error, e_index_out_of_range,
             QStringLiteral("VideoSize index out of range, default size used"));
    return false;
  };
  int w = 0, h = 0;
  const QString subtypeText = ChosenSubtype().trimmed();
  const std::optional<GUID> subtype = ParseGuid(subtypeText.toStdString());

  // 1. A capability of exactly this subtype and size.
  if (!vfw && config && count > 0 && indexInRange() && CurrentVideoSize(-1, &w, &h)) {
    TraceWrite({}, kMarkDefault, QStringLiteral("searching number of capabilities"));
    int caps = 0, size = 0;
    if (SUCCEEDED(config->GetNumberOfCapabilities(&caps, &size)))
      TraceWrite({}, kMarkDefault,
                 caps > 0 ? QStringLiteral("number of capabilities ok")
                          : QStringLiteral("number of capabilities = 0"));
    TraceWrite({}, kMarkDefault,
               QStringLiteral("CapAvail: looping capabilities ") + QString::number(caps));
    std::vector<BYTE> buffer(std::max<std::size_t>(sizeof(VIDEO_STREAM_CONFIG_CAPS),
                                                   static_cast<std::size_t>(std::max(size, 0))));
    for (int i = 0; i < caps; ++i) {
      MediaTypeHolder holder;
      if (FAILED(config->GetStreamCaps(i, &holder.mt, buffer.data())) || !holder.mt) continue;
      AM_MEDIA_TYPE& mt = *holder.mt;
      if (!HasVideoHeader(mt) || !subtype || !(mt.subtype == *subtype)) continue;
      const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
      if (std::abs(static_cast<int>(bih->biWidth)) != w ||
          std::abs(static_cast<int>(bih->biHeight)) != h)
        continue;
      SetAvgTimePerFrame(mt, FrameDuration());
      if (SUCCEEDED(config->SetFormat(&mt))) {
        if (!(mt.formattype == FORMAT_VideoInfo) && !(mt.formattype == FORMAT_DvInfo))
          VideoRegSave.SetBool(vrs_IsMpegStream, true);
        return true;
      }
      break;
    }
  }
  // 2. The current format changed to this size and subtype.
  if (config && count > 0 && indexInRange() && CurrentVideoSize(-1, &w, &h)) {
    MediaTypeHolder current;
    if (ReportResult(this, config->GetFormat(&current.mt), sv_Error, e_get_video_format,
                     QStringLiteral("get Video format")) &&
        current.mt) {
      AM_MEDIA_TYPE& mt = *current.mt;
      if (!vfw && subtype) mt.subtype = *subtype;
      SetAvgTimePerFrame(mt, FrameDuration());
      if (BITMAPINFOHEADER* bih = HasVideoHeader(mt) ? GetBitmapInfoHeader(mt) : nullptr) {
        bih->biWidth = w;
        bih->biHeight = h;
        if (vfw) {
          bih->biSize = 40;
          bih->biPlanes = 1;
          bih->biXPelsPerMeter = bih->biYPelsPerMeter = 0;
        }
        const long long stride = ((static_cast<long long>(w) * bih->biBitCount + 31) / 32) * 4;
        bih->biSizeImage = static_cast<DWORD>(std::min<long long>(stride * h, 0x7FFFFFFF));
        if (!vfw) mt.lSampleSize = bih->biSizeImage;
      }
      if (SUCCEEDED(config->SetFormat(&mt))) return true;
      TraceWrite({}, kMarkRed, QStringLiteral("set video format 2"));
    }
  }
  // 3. Only the frame rate.
  if (config && !VideoRegSave.Bool(vrs_IsDigitalVideoIn)) {
    if (CaptureFrameRate < 0) CaptureFrameRate = 1500;
    if (CaptureFrameRate == 0) return false;
    MediaTypeHolder current;
    if (SUCCEEDED(config->GetFormat(&current.mt)) && current.mt) {
      SetAvgTimePerFrame(*current.mt, FrameDuration());
      return SUCCEEDED(config->SetFormat(current.mt));
    }
  }
  return false;
}

void TCaptureCore::ReadBackFormat(TDeviceGraph& graph) {
  MediaTypeHolder current;
  if (!graph.StreamConfig || FAILED(graph.StreamConfig->GetFormat(&current.mt)) || !current.mt ||
      !HasVideoHeader(*current.mt))
    return;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*current.mt);
  const int w = std::abs(static_cast<int>(bih->biWidth));
  const int h = std::abs(static_cast<int>(bih->biHeight));
  if (w == 0 || h == 0) return;
  const qsizetype subtype = VideoSubtypeList.indexOf(GuidText(current.mt->subtype));
  if (subtype >= 0) VideoSubtype = static_cast<int>(subtype);
  for (int i = 0; i < VideoSizeList.size(); ++i) {
    int sw = 0, sh = 0;
    if (CurrentVideoSize(i, &sw, &sh) && sw == w && sh == h) {
      VideoSize = i;
      break;
    }
  }
}
