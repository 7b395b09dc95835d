#include "platform/media/v4l2/V4l2CapturePin.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <libyuv.h>
#include <linux/videodev2.h>
#include <numeric>
#include <poll.h>

#include "platform/media/PropertyPages.h"
#include "platform/media/v4l2/V4l2CaptureFilter.h"
#include "platform/media/v4l2/V4l2Log.h"

namespace {

constexpr std::uint32_t kBufferCount = 4;
// More frames than this between two buffers is a restarted count, not a loss (an hour at 30 fps).
constexpr long kMaxSequenceGap = 30 * 3600;
// A frame rate the driver sets within 1 % of the asked one (29.97 for 30) is the asked one.
constexpr double kRateTolerance = 0.01;

v4l2_buffer MmapBuffer(std::uint32_t index) {
  v4l2_buffer b{};
  b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  b.memory = V4L2_MEMORY_MMAP;
  b.index = index;
  return b;
}

// The bytes a raw frame fills, from its row stride.
std::uint32_t RawFrameBytes(const V4l2Capability& cap, std::uint32_t bytesPerLine) {
  const std::uint32_t h = static_cast<std::uint32_t>(cap.height);
  const std::uint32_t w = static_cast<std::uint32_t>(cap.width);
  switch (cap.pixelformat) {
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
      return std::max(bytesPerLine, w) * h * 3 / 2;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
      return std::max(bytesPerLine, 3 * w) * h;
    default:
      return std::max(bytesPerLine, 2 * w) * h;
  }
}

}  // namespace

V4l2CapturePin::V4l2CapturePin(V4l2CaptureFilter* filter, std::shared_ptr<V4l2Io> io,
                               std::vector<V4l2Capability> caps)
    : SourceStream(filter, u"Capture"),
      owner_(filter),
      io_(std::move(io)),
      fd_(filter->Fd()),
      node_(filter->Node()),
      caps_(std::move(caps)) {
  SetCategory(PIN_CATEGORY_CAPTURE);
  if (caps_.empty()) return;
  // The default is the driver's current format when it is one we offer.
  v4l2_format current{};
  current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  std::size_t chosen = 0;
  if (io_->Ioctl(fd_, VIDIOC_G_FMT, &current) == 0)
    for (std::size_t i = 0; i < caps_.size(); ++i)
      if (caps_[i].pixelformat == current.fmt.pix.pixelformat &&
          caps_[i].width == static_cast<int>(current.fmt.pix.width) &&
          caps_[i].height == static_cast<int>(current.fmt.pix.height)) {
        chosen = i;
        break;
      }
  format_ = CapabilityMediaType(caps_[chosen], 0);
}

// The streaming thread and the buffers must be gone before the members they use.
V4l2CapturePin::~V4l2CapturePin() {
  Inactive();
}

HRESULT V4l2CapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IAMStreamConfig>(this, iid, object)) return S_OK;
  if (MatchInterface<IAMDroppedFrames>(this, iid, object)) return S_OK;
  if (MatchInterface<ISpecifyPropertyPages>(this, iid, object)) return S_OK;
  return SourceStream::NonDelegatingQueryInterface(iid, object);
}

int V4l2CapturePin::MatchCapability(const AM_MEDIA_TYPE& mt) const {
  if (!(mt.majortype == MEDIATYPE_Video)) return -1;
  if (!(mt.formattype == FORMAT_VideoInfo) && !(mt.formattype == FORMAT_VideoInfo2)) return -1;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0 || bih->biHeight == INT32_MIN) return -1;
  // RGB is delivered as a bottom-up bitmap only.
  if (mt.subtype == MEDIASUBTYPE_RGB24 && (bih->biHeight < 0 || bih->biBitCount != 24)) return -1;
  for (std::size_t i = 0; i < caps_.size(); ++i)
    if (caps_[i].subtype == mt.subtype && caps_[i].width == bih->biWidth &&
        caps_[i].height == std::abs(bih->biHeight))
      return static_cast<int>(i);
  return -1;
}

bool V4l2CapturePin::AcceptInterval(const V4l2Capability& cap, REFERENCE_TIME asked,
                                    REFERENCE_TIME* interval) const {
  if (asked <= 0) {
    *interval = cap.intervals.front();
    return true;
  }
  for (REFERENCE_TIME offered : cap.intervals)
    if (std::abs(static_cast<double>(offered - asked)) <= kRateTolerance * offered) {
      *interval = offered;
      return true;
    }
  return false;
}

HRESULT V4l2CapturePin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
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

HRESULT V4l2CapturePin::GetMediaType(int position, MediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  std::lock_guard lock(formatMutex_);
  if (position == 0 && format_.IsValid()) {
    *mt = format_;
    return S_OK;
  }
  const int index = position - 1;
  if (formatSet_ || index < 0 || index >= static_cast<int>(caps_.size()))
    return VFW_S_NO_MORE_ITEMS;
  *mt = CapabilityMediaType(caps_[static_cast<std::size_t>(index)], 0);
  return S_OK;
}

// ---- applying a format

HRESULT V4l2CapturePin::ApplyFormat(const V4l2Capability& cap, REFERENCE_TIME interval) {
  v4l2_format previous{};
  previous.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  const bool havePrevious = io_->Ioctl(fd_, VIDIOC_G_FMT, &previous) == 0;
  auto restore = [&] {
    if (havePrevious) io_->Ioctl(fd_, VIDIOC_S_FMT, &previous);
  };

  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f.fmt.pix.pixelformat = cap.pixelformat;
  f.fmt.pix.width = static_cast<std::uint32_t>(cap.width);
  f.fmt.pix.height = static_cast<std::uint32_t>(cap.height);
  f.fmt.pix.field = V4L2_FIELD_NONE;
  if (const int r = io_->Ioctl(fd_, VIDIOC_S_FMT, &f); r < 0) {
    if (r == -EBUSY)
      qCWarning(lcV4l2, "%s: the camera is in use by another program", node_.c_str());
    else
      qCWarning(lcV4l2, "%s: VIDIOC_S_FMT %s %dx%d failed: %s", node_.c_str(),
                FourccText(cap.pixelformat).c_str(), cap.width, cap.height, strerror(-r));
    return HResultFromErrno(-r);
  }
  if (f.fmt.pix.pixelformat != cap.pixelformat ||
      f.fmt.pix.width != static_cast<std::uint32_t>(cap.width) ||
      f.fmt.pix.height != static_cast<std::uint32_t>(cap.height)) {
    qCWarning(lcV4l2, "%s: the driver turned %s %dx%d into %s %ux%u; format refused", node_.c_str(),
              FourccText(cap.pixelformat).c_str(), cap.width, cap.height,
              FourccText(f.fmt.pix.pixelformat).c_str(), f.fmt.pix.width, f.fmt.pix.height);
    restore();
    return VFW_E_INVALIDMEDIATYPE;
  }
  if (cap.bytesPerLine != 0 && f.fmt.pix.bytesperline != cap.bytesPerLine) {
    qCWarning(lcV4l2, "%s: rows of %u bytes instead of the %u announced; format refused",
              node_.c_str(), f.fmt.pix.bytesperline, cap.bytesPerLine);
    restore();
    return VFW_E_INVALIDMEDIATYPE;
  }

  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  // The interval in 100 ns units as a reduced fraction of a second (333333/10000000 for 30 fps).
  const REFERENCE_TIME divisor = std::gcd(interval, UNITS);
  parm.parm.capture.timeperframe = {static_cast<std::uint32_t>(interval / divisor),
                                    static_cast<std::uint32_t>(UNITS / divisor)};
  if (const int r = io_->Ioctl(fd_, VIDIOC_S_PARM, &parm); r < 0) {
    // A driver without rate control streams at its own rate.
    if (r != -ENOTTY && r != -EINVAL) {
      qCWarning(lcV4l2, "%s: VIDIOC_S_PARM failed: %s", node_.c_str(), strerror(-r));
      restore();
      return HResultFromErrno(-r);
    }
  } else if (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) {
    const v4l2_fract got = parm.parm.capture.timeperframe;
    const double gotInterval =
        got.denominator ? static_cast<double>(got.numerator) * UNITS / got.denominator : 0;
    if (std::abs(gotInterval - static_cast<double>(interval)) > kRateTolerance * interval) {
      qCWarning(lcV4l2, "%s: the driver set %.2f fps instead of %.2f; format refused",
                node_.c_str(), gotInterval > 0 ? UNITS / gotInterval : 0.0,
                static_cast<double>(UNITS) / interval);
      restore();
      return VFW_E_INVALIDMEDIATYPE;
    }
  }
  bytesPerLine_ = f.fmt.pix.bytesperline;
  return S_OK;
}

HRESULT V4l2CapturePin::SetFormat(AM_MEDIA_TYPE* mt) {
  if (!owner_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (owner_->Lost()) return VFW_E_DEVICE_LOST;
  if (!mt) {
    std::lock_guard lock(formatMutex_);
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    formatSet_ = false;
    format_ = caps_.empty() ? MediaType() : CapabilityMediaType(caps_.front(), 0);
    return S_OK;
  }
  const int index = MatchCapability(*mt);
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  const V4l2Capability& cap = caps_[static_cast<std::size_t>(index)];
  REFERENCE_TIME interval = 0;
  if (!AcceptInterval(cap, GetAvgTimePerFrame(*mt), &interval)) return VFW_E_INVALIDMEDIATYPE;
  MediaType chosen = CapabilityMediaType(cap, interval);
  if (IsConnected()) {
    // Only the connection's own picture: another one would need a new connection.
    const MediaType& current = CurrentMediaType();
    if (!(current->subtype == chosen->subtype) || current.Width() != chosen.Width() ||
        current.Height() != chosen.Height())
      return VFW_E_ALREADY_CONNECTED;
  }
  if (HRESULT hr = ApplyFormat(cap, interval); FAILED(hr)) return hr;
  std::lock_guard lock(formatMutex_);
  if (IsConnected()) {
    AM_MEDIA_TYPE& connection = *mediaType_.Get();
    if (connection.formattype == FORMAT_VideoInfo && connection.cbFormat >= sizeof(VIDEOINFOHEADER))
      reinterpret_cast<VIDEOINFOHEADER*>(connection.pbFormat)->AvgTimePerFrame = interval;
  }
  format_ = std::move(chosen);
  formatSet_ = true;
  return S_OK;
}

HRESULT V4l2CapturePin::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  std::lock_guard lock(formatMutex_);
  const MediaType& source = IsConnected() ? CurrentMediaType() : format_;
  if (!source.IsValid()) return VFW_E_NO_TYPES;
  *mt = CreateMediaType(source.Get());
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT V4l2CapturePin::GetNumberOfCapabilities(int* count, int* size) {
  return CapabilityCount(caps_, count, size);
}

HRESULT V4l2CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  return CapabilityStreamCaps(caps_, index, mt, caps);
}

HRESULT V4l2CapturePin::GetPages(CAUUID* pages) {
  return StreamConfigPages(pages);
}

// ---- starting and stopping

HRESULT V4l2CapturePin::Active() {
  // An unconnected pin has nobody to push to: it stays idle.
  if (!IsConnected() || streaming_) return SourceStream::Active();
  if (owner_->Lost()) return VFW_E_DEVICE_LOST;
  if (HRESULT hr = StartDevice(); FAILED(hr)) {
    StopDevice();
    return hr;
  }
  // A wake left from the last stop must not end the new stream's first wait.
  wake_.Drain();
  const HRESULT hr = SourceStream::Active();
  if (FAILED(hr)) StopDevice();
  return hr;
}

HRESULT V4l2CapturePin::StartDevice() {
  const MediaType& type = CurrentMediaType();
  const int index = MatchCapability(*type);
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  active_ = caps_[static_cast<std::size_t>(index)];
  interval_ = GetAvgTimePerFrame(*type);
  if (!AcceptInterval(active_, interval_, &interval_)) interval_ = active_.intervals.front();
  if (HRESULT hr = ApplyFormat(active_, interval_); FAILED(hr)) return hr;

  v4l2_requestbuffers request{};
  request.count = kBufferCount;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  if (const int r = io_->Ioctl(fd_, VIDIOC_REQBUFS, &request); r < 0) {
    if (r == -EBUSY)
      qCWarning(lcV4l2, "%s: the camera is in use by another program", node_.c_str());
    else
      qCWarning(lcV4l2, "%s: VIDIOC_REQBUFS failed: %s", node_.c_str(), strerror(-r));
    return HResultFromErrno(-r);
  }
  if (request.count == 0) {
    qCWarning(lcV4l2, "%s: the driver gave no buffers", node_.c_str());
    return E_OUTOFMEMORY;
  }
  streaming_ = true;  // buffers are allocated: StopDevice frees them
  for (std::uint32_t i = 0; i < request.count; ++i) {
    v4l2_buffer b = MmapBuffer(i);
    if (const int r = io_->Ioctl(fd_, VIDIOC_QUERYBUF, &b); r < 0) {
      qCWarning(lcV4l2, "%s: VIDIOC_QUERYBUF failed: %s", node_.c_str(), strerror(-r));
      return HResultFromErrno(-r);
    }
    int error = 0;
    void* address = io_->Mmap(fd_, b.length, static_cast<off_t>(b.m.offset), &error);
    if (!address) {
      qCWarning(lcV4l2, "%s: mapping buffer %u failed: %s", node_.c_str(), i, strerror(error));
      return HResultFromErrno(error);
    }
    buffers_.push_back({address, b.length});
    if (const int r = io_->Ioctl(fd_, VIDIOC_QBUF, &b); r < 0) {
      qCWarning(lcV4l2, "%s: VIDIOC_QBUF failed: %s", node_.c_str(), strerror(-r));
      return HResultFromErrno(-r);
    }
  }
  int type_ = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (const int r = io_->Ioctl(fd_, VIDIOC_STREAMON, &type_); r < 0) {
    if (r == -EBUSY)
      qCWarning(lcV4l2, "%s: the camera is in use by another program", node_.c_str());
    else
      qCWarning(lcV4l2, "%s: VIDIOC_STREAMON failed: %s", node_.c_str(), strerror(-r));
    return HResultFromErrno(-r);
  }
  qCInfo(lcV4l2, "%s: streaming %s %dx%d at %.2f fps", node_.c_str(),
         FourccText(active_.pixelformat).c_str(), active_.width, active_.height,
         static_cast<double>(UNITS) / interval_);
  return S_OK;
}

void V4l2CapturePin::StopDevice() {
  if (!streaming_) return;
  // Errors are expected here from a camera that is gone (ENODEV); the buffers go regardless.
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  io_->Ioctl(fd_, VIDIOC_STREAMOFF, &type);
  for (const Mapped& m : buffers_) io_->Munmap(m.address, m.length);
  buffers_.clear();
  v4l2_requestbuffers release{};
  release.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  release.memory = V4L2_MEMORY_MMAP;
  io_->Ioctl(fd_, VIDIOC_REQBUFS, &release);
  streaming_ = false;
}

void V4l2CapturePin::Inactive() {
  SourceStream::Inactive();  // wakes and joins the streaming thread first
  StopDevice();
}

void V4l2CapturePin::OnStopRequested() {
  wake_.Signal();
}

HRESULT V4l2CapturePin::OnThreadStart() {
  haveFirst_ = false;
  framesSeen_ = 0;
  timeoutLogged_ = false;
  dropped_.Reset();
  damaged_.store(0, std::memory_order_relaxed);
  return S_OK;
}

// ---- streaming

void V4l2CapturePin::CountDropped(long from, long count) {
  dropped_.Dropped(from, count);
}

bool V4l2CapturePin::Damaged(const BYTE* data, std::uint32_t bytesUsed, std::uint32_t flags) const {
  if (flags & V4L2_BUF_FLAG_ERROR) return true;
  if (active_.subtype == MEDIASUBTYPE_MJPG) {
    // A whole JPEG starts with SOI and ends with EOI. Some cameras fill the rest of the buffer
    // with zeros, or put a few bytes after EOI.
    if (bytesUsed < 4 || data[0] != 0xFF || data[1] != 0xD8) return true;
    std::uint32_t end = bytesUsed;
    while (end > 2 && data[end - 1] == 0) --end;
    for (std::uint32_t i = end - 1; i >= 1 && i + 64 > end; --i)
      if (data[i - 1] == 0xFF && data[i] == 0xD9) return false;
    return true;
  }
  return bytesUsed < RawFrameBytes(active_, bytesPerLine_);
}

void V4l2CapturePin::CopyFrame(const BYTE* data, std::uint32_t bytesUsed, BYTE* out,
                               long* length) const {
  const int w = active_.width, h = active_.height;
  if (active_.subtype == MEDIASUBTYPE_RGB24) {
    // Into a bottom-up bitmap with rows padded to 4 bytes, blue first.
    const int stride = static_cast<int>(std::max<std::uint32_t>(bytesPerLine_, 3u * w));
    const int dib = static_cast<int>(DibRowBytes(w, 24));
    if (active_.pixelformat == V4L2_PIX_FMT_RGB24)
      libyuv::RAWToRGB24(data, stride, out, dib, w, -h);
    else
      libyuv::CopyPlane(data, stride, out, dib, 3 * w, -h);
    *length = static_cast<long>(dib) * h;
    return;
  }
  std::memcpy(out, data, bytesUsed);
  *length = static_cast<long>(bytesUsed);
}

void V4l2CapturePin::Requeue(std::uint32_t index) {
  v4l2_buffer b = MmapBuffer(index);
  if (const int r = io_->Ioctl(fd_, VIDIOC_QBUF, &b); r < 0 && r != -ENODEV)
    qCWarning(lcV4l2, "%s: VIDIOC_QBUF failed: %s", node_.c_str(), strerror(-r));
}

HRESULT V4l2CapturePin::FillBuffer(IMediaSample* sample) {
  if (owner_->Lost()) {
    // A vanished camera sends nothing more; the stream idles until the graph stops it.
    while (WaitFor(std::chrono::seconds(1))) {
    }
    return S_SKIP_SAMPLE;
  }
  // Wait for a frame: a few frame intervals, at least a second (cameras pause to adjust
  // exposure); Stop wakes the wait through the eventfd.
  const int timeoutMs =
      static_cast<int>(std::clamp<REFERENCE_TIME>(3 * interval_ / 10000, 1000, 10000));
  bool woken = false;
  const int events = io_->Poll(fd_, wake_.Fd(), timeoutMs, &woken);
  if (woken || StopRequested()) return S_SKIP_SAMPLE;
  if (events == 0) {
    if (!timeoutLogged_)
      qCWarning(lcV4l2, "%s: no frame for %d ms; still waiting", node_.c_str(), timeoutMs);
    timeoutLogged_ = true;
    return S_SKIP_SAMPLE;
  }
  if (events < 0) {
    qCWarning(lcV4l2, "%s: poll failed: %s", node_.c_str(), strerror(-events));
    return HResultFromErrno(-events);
  }

  v4l2_buffer b = MmapBuffer(0);
  if (const int r = io_->Ioctl(fd_, VIDIOC_DQBUF, &b); r < 0) {
    if (r == -EAGAIN) {
      // An error poll with nothing to dequeue (no buffer queued): wait rather than spin.
      if (events & POLLERR) WaitFor(std::chrono::milliseconds(10));
      return S_SKIP_SAMPLE;
    }
    if (r == -ENODEV || (events & (POLLERR | POLLHUP))) {
      owner_->ReportDeviceLost();
      return S_SKIP_SAMPLE;
    }
    qCWarning(lcV4l2, "%s: VIDIOC_DQBUF failed: %s", node_.c_str(), strerror(-r));
    return HResultFromErrno(-r);
  }
  timeoutLogged_ = false;
  if (b.index >= buffers_.size()) return S_SKIP_SAMPLE;
  // Frames the driver had to drop show as a gap in the sequence numbers; frames before the
  // first one dequeued (while the graph was paused) do not count.
  const long long stampUs = b.timestamp.tv_sec * 1000000LL + b.timestamp.tv_usec;
  if (!haveFirst_) {
    haveFirst_ = true;
    firstTimestampUs_ = stampUs;
    firstStreamTime_ = 0;
    owner_->StreamTime(&firstStreamTime_);
  } else {
    // A sequence that goes back or leaps (a driver that restarted its count) is no loss; the
    // unsigned difference also covers the wrap at 2^32.
    long gap = static_cast<long>(b.sequence - lastSequence_);
    if (gap < 1 || gap > kMaxSequenceGap) gap = 1;
    if (gap > 1) CountDropped(framesSeen_ + 1, gap - 1);
    framesSeen_ += gap;
  }
  lastSequence_ = b.sequence;

  const BYTE* data = static_cast<const BYTE*>(buffers_[b.index].address);
  const std::uint32_t used = std::min<std::uint32_t>(b.bytesused, buffers_[b.index].length);
  BYTE* out = nullptr;
  // RGB frames are rewritten as bitmaps; everything else is copied as the driver filled it.
  const long needed = active_.subtype == MEDIASUBTYPE_RGB24
                          ? static_cast<long>(DibRowBytes(active_.width, 24)) * active_.height
                          : static_cast<long>(used);
  const bool fits = SUCCEEDED(sample->GetPointer(&out)) && out && needed <= sample->GetSize();
  if (Damaged(data, used, b.flags) || !fits) {
    damaged_.fetch_add(1, std::memory_order_relaxed);
    CountDropped(framesSeen_, 1);
    Requeue(b.index);
    return S_SKIP_SAMPLE;
  }
  long length = 0;
  CopyFrame(data, used, out, &length);
  Requeue(b.index);
  sample->SetActualDataLength(length);

  // Sample times follow the driver's timestamps from the stream time of the first frame.
  REFERENCE_TIME start = firstStreamTime_ + (stampUs - firstTimestampUs_) * 10;
  REFERENCE_TIME end = start + interval_;
  sample->SetTime(&start, &end);
  LONGLONG mediaStart = framesSeen_;
  LONGLONG mediaEnd = framesSeen_ + 1;
  sample->SetMediaTime(&mediaStart, &mediaEnd);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(dropped_.DeliveredCount() == 0 ? TRUE : FALSE);
  dropped_.Delivered(length);
  return S_OK;
}
