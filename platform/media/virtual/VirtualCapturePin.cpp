#include "platform/media/virtual/VirtualCapturePin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/media/PropertyPages.h"
#include "platform/media/virtual/FramePacker.h"
#include "platform/media/virtual/VirtualCaptureFilter.h"

namespace {

// The slowest pace a stream keeps, whatever rate a device made in code gives (an hour a frame).
constexpr REFERENCE_TIME kMaxInterval = 3600 * UNITS;
// Drivers take a rate that is off by the 1000/1001 of NTSC rates (29.97 for 30), and rounding.
constexpr double kRateTolerance = 1.002;

// The frame interval of a rate: at least one tick, and at most kMaxInterval for a rate of 0,
// below it, or too small to give a finite interval.
REFERENCE_TIME IntervalOf(double framesPerSecond) {
  const double ticks = static_cast<double>(UNITS) / framesPerSecond;
  if (std::isnan(ticks) || ticks < 0 || ticks > static_cast<double>(kMaxInterval))
    return kMaxInterval;
  return std::max<REFERENCE_TIME>(1, std::llround(ticks));
}

// The intervals a capability streams at, shortest first (whatever order its rates came in).
std::pair<REFERENCE_TIME, REFERENCE_TIME> IntervalRange(const VideoCapability& cap) {
  const double maxFps = cap.maxFramesPerSecond > 0 ? cap.maxFramesPerSecond : cap.framesPerSecond;
  const double minFps = cap.minFramesPerSecond > 0 ? cap.minFramesPerSecond : cap.framesPerSecond;
  const REFERENCE_TIME a = IntervalOf(maxFps);
  const REFERENCE_TIME b = IntervalOf(minFps);
  return {std::min(a, b), std::max(a, b)};
}

int MinOf(int value, int fallback) {
  return value > 0 ? value : fallback;
}

bool NeedsEvenWidth(REFGUID subtype) {
  return subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY ||
         subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV ||
         subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_NV12;
}

bool NeedsEvenHeight(REFGUID subtype) {
  return subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV ||
         subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_NV12;
}

}  // namespace

bool CapabilityTakesSize(const VideoCapability& cap, int width, int height) {
  const int minW = MinOf(cap.minWidth, cap.width);
  const int minH = MinOf(cap.minHeight, cap.height);
  const int maxW = MinOf(cap.maxWidth, cap.width);
  const int maxH = MinOf(cap.maxHeight, cap.height);
  if (width < minW || width > maxW || height < minH || height > maxH) return false;
  if (cap.stepX > 0 && (width - minW) % cap.stepX != 0) return false;
  if (cap.stepY > 0 && (height - minH) % cap.stepY != 0) return false;
  if (NeedsEvenWidth(cap.subtype) && width % 2) return false;
  if (NeedsEvenHeight(cap.subtype) && height % 2) return false;
  return true;
}

VirtualCapturePin::VirtualCapturePin(VirtualCaptureFilter* filter, std::u16string name,
                                     REFGUID category)
    : SourceStream(filter, std::move(name)), owner_(filter) {
  SetCategory(category);
  if (!owner_->Config().capabilities.empty()) format_ = CapabilityType(0);
}

// The streaming thread uses members of this class: it must end before they go.
VirtualCapturePin::~VirtualCapturePin() {
  Inactive();
}

HRESULT VirtualCapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IAMStreamConfig>(this, iid, object)) return S_OK;
  if (MatchInterface<IAMDroppedFrames>(this, iid, object)) return S_OK;
  if (MatchInterface<ISpecifyPropertyPages>(this, iid, object)) return S_OK;
  return SourceStream::NonDelegatingQueryInterface(iid, object);
}

MediaType VirtualCapturePin::CapabilityType(int index) const {
  const VideoCapability& cap = owner_->Config().capabilities[static_cast<std::size_t>(index)];
  return MediaType::Video(cap.subtype, cap.width, cap.height, IntervalOf(cap.framesPerSecond));
}

int VirtualCapturePin::MatchCapability(const AM_MEDIA_TYPE& mt) const {
  if (!(mt.majortype == MEDIATYPE_Video)) return -1;
  if (!(mt.formattype == FORMAT_VideoInfo) && !(mt.formattype == FORMAT_VideoInfo2)) return -1;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0 || bih->biHeight == INT32_MIN) return -1;
  // RGB is written bottom-up only.
  if (IsRgbSubtype(mt.subtype) && bih->biHeight < 0) return -1;
  // The header must describe the subtype as the device writes it: another compression or bit
  // count (YUY2 bits on an RGB24 device) is another format, not this one.
  const MediaType own = MediaType::Video(mt.subtype, 2, 2, 0);
  const BITMAPINFOHEADER* ownHeader = GetBitmapInfoHeader(*own);
  if (bih->biCompression != ownHeader->biCompression || bih->biBitCount != ownHeader->biBitCount)
    return -1;
  const auto& caps = owner_->Config().capabilities;
  for (std::size_t i = 0; i < caps.size(); ++i)
    if (caps[i].subtype == mt.subtype &&
        CapabilityTakesSize(caps[i], bih->biWidth, std::abs(bih->biHeight)))
      return static_cast<int>(i);
  return -1;
}

REFERENCE_TIME VirtualCapturePin::ClampInterval(int capability, REFERENCE_TIME interval) const {
  const VideoCapability& cap = owner_->Config().capabilities[static_cast<std::size_t>(capability)];
  if (interval <= 0) return IntervalOf(cap.framesPerSecond);
  const auto [shortest, longest] = IntervalRange(cap);
  return std::clamp(interval, shortest, longest);
}

bool VirtualCapturePin::AcceptInterval(int capability, REFERENCE_TIME asked,
                                       REFERENCE_TIME* interval) const {
  if (asked == 0 || owner_->Config().frameRateRule == FrameRateRule::Nearest) {
    *interval = ClampInterval(capability, asked);
    return true;
  }
  const auto [shortest, longest] =
      IntervalRange(owner_->Config().capabilities[static_cast<std::size_t>(capability)]);
  if (asked < static_cast<double>(shortest) / kRateTolerance ||
      asked > static_cast<double>(longest) * kRateTolerance)
    return false;
  *interval = std::clamp(asked, shortest, longest);
  return true;
}

HRESULT VirtualCapturePin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (MatchCapability(mt) < 0) return S_FALSE;
  std::lock_guard lock(formatMutex_);
  if (formatSet_) {
    const BITMAPINFOHEADER* mine = GetBitmapInfoHeader(*format_);
    const BITMAPINFOHEADER* theirs = GetBitmapInfoHeader(mt);
    if (!(mt.subtype == format_->subtype) || mine->biWidth != theirs->biWidth ||
        std::abs(mine->biHeight) != std::abs(theirs->biHeight))
      return S_FALSE;
  }
  return S_OK;
}

HRESULT VirtualCapturePin::GetMediaType(int position, MediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  std::lock_guard lock(formatMutex_);
  if (position == 0 && format_.IsValid()) {
    *mt = format_;
    return S_OK;
  }
  const int index = position - 1;
  if (formatSet_ || index < 0 || index >= static_cast<int>(owner_->Config().capabilities.size()))
    return VFW_S_NO_MORE_ITEMS;
  *mt = CapabilityType(index);
  return S_OK;
}

// ---- IAMStreamConfig

HRESULT VirtualCapturePin::SetFormat(AM_MEDIA_TYPE* mt) {
  if (owner_->Config().failures.refuseSetFormat) return VFW_E_INVALIDMEDIATYPE;
  if (!owner_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (!mt) {
    std::lock_guard lock(formatMutex_);
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    formatSet_ = false;
    format_ = owner_->Config().capabilities.empty() ? MediaType() : CapabilityType(0);
    return S_OK;
  }
  const int capability = MatchCapability(*mt);
  if (capability < 0) return VFW_E_INVALIDMEDIATYPE;
  REFERENCE_TIME interval = 0;
  if (!AcceptInterval(capability, GetAvgTimePerFrame(*mt), &interval))
    return VFW_E_INVALIDMEDIATYPE;
  const BITMAPINFOHEADER* asked = GetBitmapInfoHeader(*mt);
  MediaType chosen =
      MediaType::Video(mt->subtype, asked->biWidth, std::abs(asked->biHeight), interval);
  std::lock_guard lock(formatMutex_);
  if (IsConnected()) {
    // Only the connection's own picture: another one would need a new connection. Its rate
    // changes in place, and the stream keeps it from its next start.
    const MediaType& current = CurrentMediaType();
    if (!(current->subtype == chosen->subtype) || current.Width() != chosen.Width() ||
        current.Height() != chosen.Height())
      return VFW_E_ALREADY_CONNECTED;
    SetConnectionInterval(interval);
  }
  format_ = std::move(chosen);
  formatSet_ = true;
  return S_OK;
}

void VirtualCapturePin::SetConnectionInterval(REFERENCE_TIME interval) {
  AM_MEDIA_TYPE& mt = *mediaType_.Get();
  if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
    reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame = interval;
  else if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
    reinterpret_cast<VIDEOINFOHEADER2*>(mt.pbFormat)->AvgTimePerFrame = interval;
}

HRESULT VirtualCapturePin::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  std::lock_guard lock(formatMutex_);
  const MediaType& source = IsConnected() ? CurrentMediaType() : format_;
  if (!source.IsValid()) return VFW_E_NO_TYPES;
  *mt = CreateMediaType(source.Get());
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT VirtualCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(owner_->Config().capabilities.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT VirtualCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  if (!mt || !caps) return E_POINTER;
  const auto& list = owner_->Config().capabilities;
  if (index < 0) return E_INVALIDARG;
  if (index >= static_cast<int>(list.size())) return S_FALSE;
  const VideoCapability& cap = list[static_cast<std::size_t>(index)];
  MediaType type = CapabilityType(index);
  *mt = CreateMediaType(type.Get());
  if (!*mt) return E_OUTOFMEMORY;

  VIDEO_STREAM_CONFIG_CAPS c{};
  c.guid = FORMAT_VideoInfo;
  c.VideoStandard =
      owner_->Config().analogVideoDecoder ? static_cast<ULONG>(owner_->Config().tvFormats) : 0;
  c.InputSize = {cap.width, cap.height};
  c.MinCroppingSize = c.MaxCroppingSize = c.InputSize;
  c.CropGranularityX = c.CropGranularityY = 1;
  c.MinOutputSize = {MinOf(cap.minWidth, cap.width), MinOf(cap.minHeight, cap.height)};
  c.MaxOutputSize = {MinOf(cap.maxWidth, cap.width), MinOf(cap.maxHeight, cap.height)};
  c.OutputGranularityX = cap.stepX;
  c.OutputGranularityY = cap.stepY;
  const auto [shortest, longest] = IntervalRange(cap);
  c.MinFrameInterval = shortest;
  c.MaxFrameInterval = longest;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*type);
  const double bits = static_cast<double>(bih ? bih->biSizeImage : 0) * 8;
  c.MinBitsPerSecond = static_cast<LONG>(std::min(2.0e9, bits * UNITS / longest));
  c.MaxBitsPerSecond = static_cast<LONG>(std::min(2.0e9, bits * UNITS / shortest));
  std::memcpy(caps, &c, sizeof c);
  return S_OK;
}

HRESULT VirtualCapturePin::GetPages(CAUUID* pages) {
  return StreamConfigPages(pages);
}

// ---- streaming

HRESULT VirtualCapturePin::OnThreadStart() {
  const MediaType& type = CurrentMediaType();
  const int capability = MatchCapability(*type);
  if (capability < 0) return VFW_E_INVALIDMEDIATYPE;
  interval_ = ClampInterval(capability, GetAvgTimePerFrame(*type));
  generator_ = MakeFrameGenerator(owner_->Config().scene);
  pixels_.assign(static_cast<std::size_t>(type.Width()) * type.Height(), 0);
  nextFrame_ = 0;
  streamStart_ = std::chrono::steady_clock::now();
  resync_.store(false, std::memory_order_relaxed);
  dropped_.Reset();
  return S_OK;
}

void VirtualCapturePin::OnThreadStop() {
  generator_.reset();
  pixels_.clear();
  pixels_.shrink_to_fit();
}

HRESULT VirtualCapturePin::FillBuffer(IMediaSample* sample) {
  using Clock = std::chrono::steady_clock;
  // Never a zero interval: the lateness below is divided by it.
  const auto interval =
      std::chrono::nanoseconds(std::clamp<REFERENCE_TIME>(interval_, 1, kMaxInterval) * 100);

  if (owner_->Alive() && !owner_->CountFrame()) owner_->ReportDeviceLost();
  if (!owner_->Alive()) {
    // A vanished device sends nothing more; the stream idles until the graph stops it.
    owner_->ReportDeviceLost();
    while (WaitFor(std::chrono::seconds(1))) {
    }
    return S_SKIP_SAMPLE;
  }

  auto now = Clock::now();
  if (resync_.exchange(false, std::memory_order_acq_rel))
    streamStart_ = now - interval * nextFrame_;
  const auto due = streamStart_ + interval * nextFrame_;
  if (now < due) {
    if (!WaitFor(due - now)) return S_SKIP_SAMPLE;
  } else {
    // Every slot that passed while we were busy is a dropped frame.
    const auto missed = static_cast<std::int64_t>((now - due) / interval);
    if (missed > 0) {
      dropped_.Dropped(static_cast<long>(nextFrame_), static_cast<long>(missed));
      nextFrame_ += missed;
    }
  }
  const std::int64_t frame = nextFrame_++;

  const MediaType& type = CurrentMediaType();
  const int width = type.Width();
  const int height = type.Height();
  BYTE* buffer = nullptr;
  if (HRESULT hr = sample->GetPointer(&buffer); FAILED(hr)) return hr;
  const PictureAdjust adjust = owner_->Adjust();
  long bytes = 0;
  const long rgb32Bytes = 4L * width * height;
  if (type->subtype == MEDIASUBTYPE_RGB32 && adjust.Neutral() && sample->GetSize() >= rgb32Bytes) {
    // The picture's own pixels: drawn straight into the sample, bottom row first, with no
    // packing pass.
    auto* bottomRow =
        reinterpret_cast<std::uint32_t*>(buffer) + static_cast<std::ptrdiff_t>(height - 1) * width;
    generator_->RenderRows(frame, width, height, bottomRow, -static_cast<std::ptrdiff_t>(width));
    bytes = rgb32Bytes;
  } else {
    generator_->Render(frame, width, height, pixels_.data());
    bytes =
        PackFrame(pixels_.data(), width, height, type->subtype, adjust, buffer, sample->GetSize());
  }
  if (bytes <= 0) return E_UNEXPECTED;
  sample->SetActualDataLength(bytes);

  REFERENCE_TIME start = frame * interval_;
  REFERENCE_TIME streamTime = 0;
  if (SUCCEEDED(owner_->StreamTime(&streamTime))) start = streamTime;
  REFERENCE_TIME end = start + interval_;
  sample->SetTime(&start, &end);
  LONGLONG mediaStart = frame;
  LONGLONG mediaEnd = frame + 1;
  sample->SetMediaTime(&mediaStart, &mediaEnd);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(frame == 0 ? TRUE : FALSE);
  dropped_.Delivered(bytes);
  return S_OK;
}
