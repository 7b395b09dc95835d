#include "platform/media/pipewire/PipeWireCapturePin.h"

#include <algorithm>
#include <cstring>
#include <libyuv.h>
#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include "platform/media/PropertyPages.h"
#include "platform/media/pipewire/PipeWireCaptureFilter.h"
#include "platform/media/pipewire/PipeWireFormats.h"
#include "platform/media/pipewire/PipeWireLog.h"

namespace {

// How long a start waits for the daemon to link the stream and the node to take the format.
constexpr auto kConnectWait = std::chrono::seconds(5);
// More frames than this between two buffers is a restarted count, not a loss.
constexpr std::uint64_t kMaxSequenceGap = 30 * 3600;

}  // namespace

PipeWireCapturePin::PipeWireCapturePin(PipeWireCaptureFilter* filter)
    : SourceStream(filter, u"Capture"), owner_(filter), caps_(filter->Camera().caps) {
  SetCategory(PIN_CATEGORY_CAPTURE);
  if (!caps_.empty()) format_ = CapabilityMediaType(caps_.front(), 0);
}

PipeWireCapturePin::~PipeWireCapturePin() {
  Inactive();
}

HRESULT PipeWireCapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IAMStreamConfig>(this, iid, object)) return S_OK;
  if (MatchInterface<IAMDroppedFrames>(this, iid, object)) return S_OK;
  if (MatchInterface<ISpecifyPropertyPages>(this, iid, object)) return S_OK;
  return SourceStream::NonDelegatingQueryInterface(iid, object);
}

bool PipeWireCapturePin::MatchCapability(const AM_MEDIA_TYPE& mt, V4l2Capability* cap) const {
  if (!(mt.majortype == MEDIATYPE_Video)) return false;
  if (!(mt.formattype == FORMAT_VideoInfo) && !(mt.formattype == FORMAT_VideoInfo2)) return false;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0 || bih->biHeight == INT32_MIN) return false;
  if (mt.subtype == MEDIASUBTYPE_RGB24 && (bih->biHeight < 0 || bih->biBitCount != 24))
    return false;
  std::lock_guard lock(formatMutex_);
  for (const V4l2Capability& c : caps_)
    if (c.subtype == mt.subtype && c.width == bih->biWidth && c.height == std::abs(bih->biHeight)) {
      if (cap) *cap = c;
      return true;
    }
  return false;
}

void PipeWireCapturePin::RefreshCaps() {
  for (PipeWireCamera& camera : owner_->Connection().Cameras())
    if (camera.id == owner_->Camera().id) {
      std::lock_guard lock(formatMutex_);
      caps_ = std::move(camera.caps);
      // A format nobody chose follows the offer.
      if (!formatSet_ && !IsConnected())
        format_ = caps_.empty() ? MediaType() : CapabilityMediaType(caps_.front(), 0);
    }
}

HRESULT PipeWireCapturePin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!MatchCapability(mt, nullptr)) return S_FALSE;
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

HRESULT PipeWireCapturePin::GetMediaType(int position, MediaType* mt) {
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

// ---- IAMStreamConfig

HRESULT PipeWireCapturePin::SetFormat(AM_MEDIA_TYPE* mt) {
  if (!owner_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (owner_->Lost()) return VFW_E_DEVICE_LOST;
  if (!mt) {
    std::lock_guard lock(formatMutex_);
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    formatSet_ = false;
    format_ = caps_.empty() ? MediaType() : CapabilityMediaType(caps_.front(), 0);
    return S_OK;
  }
  RefreshCaps();
  V4l2Capability cap;
  if (!MatchCapability(*mt, &cap)) return VFW_E_INVALIDMEDIATYPE;
  // The node's formats now, not when the filter was made: a node may change what it offers.
  bool offered = false;
  for (const PipeWireCamera& camera : owner_->Connection().Cameras())
    if (camera.id == owner_->Camera().id)
      offered = std::any_of(camera.caps.begin(), camera.caps.end(), [&](const V4l2Capability& c) {
        return c.pixelformat == cap.pixelformat && c.width == cap.width && c.height == cap.height;
      });
  if (!offered) {
    qCWarning(lcPipeWire, "%s: the node does not offer %s %dx%d (any more); format refused",
              owner_->Camera().nodeName.c_str(), PipeWireFormatName(cap.pixelformat).c_str(),
              cap.width, cap.height);
    return VFW_E_INVALIDMEDIATYPE;
  }
  REFERENCE_TIME interval = GetAvgTimePerFrame(*mt);
  if (interval > 0 &&
      std::none_of(cap.intervals.begin(), cap.intervals.end(), [&](REFERENCE_TIME t) {
        return std::abs(static_cast<double>(t - interval)) <= 0.01 * t;
      }))
    return VFW_E_INVALIDMEDIATYPE;
  MediaType chosen = CapabilityMediaType(cap, interval);
  if (IsConnected()) {
    const MediaType& current = CurrentMediaType();
    if (!(current->subtype == chosen->subtype) || current.Width() != chosen.Width() ||
        current.Height() != chosen.Height())
      return VFW_E_ALREADY_CONNECTED;
  }
  std::lock_guard lock(formatMutex_);
  format_ = std::move(chosen);
  formatSet_ = true;
  return S_OK;
}

HRESULT PipeWireCapturePin::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  std::lock_guard lock(formatMutex_);
  const MediaType& source = IsConnected() ? CurrentMediaType() : format_;
  if (!source.IsValid()) return VFW_E_NO_TYPES;
  *mt = CreateMediaType(source.Get());
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT PipeWireCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  RefreshCaps();
  std::lock_guard lock(formatMutex_);
  return CapabilityCount(caps_, count, size);
}

HRESULT PipeWireCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  std::lock_guard lock(formatMutex_);
  return CapabilityStreamCaps(caps_, index, mt, caps);
}

HRESULT PipeWireCapturePin::GetPages(CAUUID* pages) {
  return StreamConfigPages(pages);
}

// ---- starting and stopping

HRESULT PipeWireCapturePin::Active() {
  if (!IsConnected() || stream_) return SourceStream::Active();
  if (owner_->Lost()) return VFW_E_DEVICE_LOST;
  if (HRESULT hr = StartStream(); FAILED(hr)) {
    StopStream();
    return hr;
  }
  const HRESULT hr = SourceStream::Active();
  if (FAILED(hr)) StopStream();
  return hr;
}

HRESULT PipeWireCapturePin::StartStream() {
  static const pw_stream_events kEvents = [] {
    pw_stream_events e{};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.state_changed = [](void* data, pw_stream_state old, pw_stream_state state,
                         const char* error) {
      OnStateChanged(data, static_cast<int>(old), static_cast<int>(state), error);
    };
    e.param_changed = OnParamChanged;
    e.process = OnProcess;
    return e;
  }();
  const PipeWireCamera& camera = owner_->Camera();
  const MediaType& type = CurrentMediaType();
  if (!MatchCapability(*type, &active_)) return VFW_E_INVALIDMEDIATYPE;
  interval_ = GetAvgTimePerFrame(*type);
  if (interval_ <= 0) interval_ = active_.intervals.front();
  {
    std::lock_guard lock(frameMutex_);
    streamState_ = StreamState::Connecting;
    lostNode_ = false;
    wake_ = false;
    pending_ = nullptr;
  }
  PipeWireConnection& connection = owner_->Connection();
  watch_ = connection.Watch(camera.id, [this] { NodeGone(); });
  if (watch_ == 0) {
    qCWarning(lcPipeWire, "%s: the camera is not there any more", camera.nodeName.c_str());
    owner_->ReportDeviceLost();
    return VFW_E_DEVICE_LOST;
  }
  pw_thread_loop_lock(connection.Loop());
  core_ = connection.Core();
  if (!core_) {
    pw_thread_loop_unlock(connection.Loop());
    qCWarning(lcPipeWire, "%s: no PipeWire daemon", camera.nodeName.c_str());
    return VFW_E_DEVICE_LOST;
  }
  const std::string target = std::to_string(camera.serial);
  stream_ = pw_stream_new(core_->core, "Frostwipe",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Camera",
                                            PW_KEY_TARGET_OBJECT, target.c_str(), nullptr));
  streamListener_ = std::make_unique<spa_hook>();
  pw_stream_add_listener(stream_, streamListener_.get(), &kEvents, this);
  std::uint8_t storage[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_pod* params[] = {BuildConnectFormat(&b, active_, interval_)};
  const int r = pw_stream_connect(
      stream_, PW_DIRECTION_INPUT, PW_ID_ANY,
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                   PW_STREAM_FLAG_DONT_RECONNECT),
      params, 1);
  pw_thread_loop_unlock(connection.Loop());
  if (r < 0) {
    qCWarning(lcPipeWire, "%s: cannot connect a stream: %s", camera.nodeName.c_str(), strerror(-r));
    return E_FAIL;
  }
  std::unique_lock lock(frameMutex_);
  frameReady_.wait_for(lock, kConnectWait,
                       [&] { return streamState_ != StreamState::Connecting || lostNode_; });
  if (lostNode_) return VFW_E_DEVICE_LOST;
  if (streamState_ != StreamState::Ready) {
    qCWarning(lcPipeWire, "%s: the node did not take %s %dx%d%s", camera.nodeName.c_str(),
              PipeWireFormatName(active_.pixelformat).c_str(), active_.width, active_.height,
              streamState_ == StreamState::Connecting ? " in time" : "");
    return VFW_E_INVALIDMEDIATYPE;
  }
  qCInfo(lcPipeWire, "%s: streaming %s %dx%d at %.2f fps", camera.nodeName.c_str(),
         PipeWireFormatName(active_.pixelformat).c_str(), active_.width, active_.height,
         static_cast<double>(UNITS) / interval_);
  return S_OK;
}

void PipeWireCapturePin::StopStream() {
  // Nothing to end: also the case in the destructor, which runs after the filter's own members
  // (the connection among them) are gone.
  if (!watch_ && !stream_) return;
  PipeWireConnection& connection = owner_->Connection();
  if (watch_) connection.Unwatch(watch_);
  watch_ = 0;
  if (!stream_) return;
  // Destroying the stream only sends messages to the daemon: it never waits for an answer.
  pw_thread_loop_lock(connection.Loop());
  pw_stream_destroy(stream_);  // gives back every buffer, the pending one too
  stream_ = nullptr;
  core_.reset();
  pw_thread_loop_unlock(connection.Loop());
  streamListener_.reset();
  std::lock_guard lock(frameMutex_);
  pending_ = nullptr;
  streamState_ = StreamState::None;
}

void PipeWireCapturePin::Inactive() {
  SourceStream::Inactive();  // wakes and joins the streaming thread first
  StopStream();
}

void PipeWireCapturePin::OnStopRequested() {
  {
    std::lock_guard lock(frameMutex_);
    wake_ = true;
  }
  frameReady_.notify_all();
}

HRESULT PipeWireCapturePin::OnThreadStart() {
  haveFirst_ = false;
  framesSeen_ = 0;
  timeoutLogged_ = false;
  dropped_.Reset();
  return S_OK;
}

// ---- loop thread

void PipeWireCapturePin::NodeGone() {
  {
    std::lock_guard lock(frameMutex_);
    lostNode_ = true;
  }
  frameReady_.notify_all();
}

void PipeWireCapturePin::OnStateChanged(void* data, int, int state, const char* error) {
  auto* self = static_cast<PipeWireCapturePin*>(data);
  {
    std::lock_guard lock(self->frameMutex_);
    if (state == PW_STREAM_STATE_ERROR) {
      qCWarning(lcPipeWire, "%s: stream error: %s", self->owner_->Camera().nodeName.c_str(),
                error ? error : "unknown");
      // Before the stream runs this is a refused format; later the camera is gone.
      if (self->streamState_ == StreamState::Ready) self->lostNode_ = true;
      self->streamState_ = StreamState::Failed;
    } else if (state == PW_STREAM_STATE_UNCONNECTED && self->streamState_ == StreamState::Ready) {
      self->lostNode_ = true;
    }
  }
  self->frameReady_.notify_all();
}

void PipeWireCapturePin::OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
  auto* self = static_cast<PipeWireCapturePin*>(data);
  if (id != SPA_PARAM_Format || !param) return;
  // Buffers the program can map: shared memory or memfd, never DMA-BUF.
  std::uint8_t storage[512];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_pod* params[2];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  pw_stream_update_params(self->stream_, params, 2);
  {
    std::lock_guard lock(self->frameMutex_);
    if (self->streamState_ == StreamState::Connecting) self->streamState_ = StreamState::Ready;
  }
  self->frameReady_.notify_all();
}

void PipeWireCapturePin::OnProcess(void* data) {
  auto* self = static_cast<PipeWireCapturePin*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream_);
  if (!buffer) return;
  pw_buffer* older = nullptr;
  {
    std::lock_guard lock(self->frameMutex_);
    older = self->pending_;
    self->pending_ = buffer;
  }
  // The streaming thread has not taken the older one: the newer frame replaces it, and its
  // sequence number shows the loss.
  if (older) pw_stream_queue_buffer(self->stream_, older);
  self->frameReady_.notify_all();
}

// ---- streaming thread

bool PipeWireCapturePin::CopyFrame(pw_buffer* buffer, IMediaSample* sample, long* length) {
  const spa_data& d = buffer->buffer->datas[0];
  const BYTE* data = static_cast<const BYTE*>(d.data);
  if (!data) {
    if (!dmaBufLogged_)
      qCWarning(lcPipeWire, "%s: a buffer came as %s and cannot be mapped; frame refused",
                owner_->Camera().nodeName.c_str(),
                d.type == SPA_DATA_DmaBuf ? "DMA-BUF" : "unmapped memory");
    dmaBufLogged_ = true;
    return false;
  }
  const std::uint32_t offset = std::min(d.chunk->offset, d.maxsize);
  const std::uint32_t size = std::min(d.chunk->size, d.maxsize - offset);
  data += offset;
  BYTE* out = nullptr;
  if (FAILED(sample->GetPointer(&out)) || !out) return false;
  const long room = sample->GetSize();
  const int w = active_.width, h = active_.height;
  const std::uint32_t format = active_.pixelformat;
  if (format == kPipeWireMjpeg) {
    if (size == 0 || static_cast<long>(size) > room) return false;
    std::memcpy(out, data, size);
    *length = static_cast<long>(size);
    return true;
  }
  int bytesPerPixel = 2;
  if (format == SPA_VIDEO_FORMAT_NV12 || format == SPA_VIDEO_FORMAT_I420) bytesPerPixel = 1;
  if (format == SPA_VIDEO_FORMAT_RGB || format == SPA_VIDEO_FORMAT_BGR) bytesPerPixel = 3;
  if (format == SPA_VIDEO_FORMAT_RGBx || format == SPA_VIDEO_FORMAT_BGRx ||
      format == SPA_VIDEO_FORMAT_RGBA || format == SPA_VIDEO_FORMAT_BGRA)
    bytesPerPixel = 4;
  const int stride = d.chunk->stride > 0 ? d.chunk->stride : bytesPerPixel * w;
  if (stride < bytesPerPixel * w) return false;
  const bool planar = bytesPerPixel == 1;
  const std::uint64_t needed =
      planar ? std::uint64_t(stride) * h + std::uint64_t(stride) * ((h + 1) / 2)
             : std::uint64_t(stride) * (h - 1) + std::uint64_t(bytesPerPixel) * w;
  if (size < needed) return false;
  if (active_.subtype == MEDIASUBTYPE_RGB24) {
    // Into a bottom-up bitmap with rows padded to 4 bytes, blue first.
    const int dib = static_cast<int>(DibRowBytes(w, 24));
    if (static_cast<long>(dib) * h > room) return false;
    switch (format) {
      case SPA_VIDEO_FORMAT_RGB:
        libyuv::RAWToRGB24(data, stride, out, dib, w, -h);
        break;
      case SPA_VIDEO_FORMAT_BGR:
        libyuv::CopyPlane(data, stride, out, dib, 3 * w, -h);
        break;
      case SPA_VIDEO_FORMAT_RGBx:
      case SPA_VIDEO_FORMAT_RGBA:
        libyuv::ARGBToRAW(data, stride, out, dib, w, -h);
        break;
      default:
        libyuv::ARGBToRGB24(data, stride, out, dib, w, -h);
        break;
    }
    *length = static_cast<long>(dib) * h;
    return true;
  }
  const int row = bytesPerPixel * w;
  const long packed = planar ? static_cast<long>(w) * h + 2L * ((w + 1) / 2) * ((h + 1) / 2)
                             : static_cast<long>(row) * h;
  if (packed > room) return false;
  libyuv::CopyPlane(data, stride, out, row, row, h);
  if (format == SPA_VIDEO_FORMAT_NV12) {
    libyuv::CopyPlane(data + std::size_t(stride) * h, stride, out + std::size_t(w) * h,
                      2 * ((w + 1) / 2), 2 * ((w + 1) / 2), (h + 1) / 2);
  } else if (format == SPA_VIDEO_FORMAT_I420) {
    // Chroma planes follow the luma, each with half the luma's stride.
    const int cw = (w + 1) / 2, ch = (h + 1) / 2, cs = stride / 2;
    const BYTE* u = data + std::size_t(stride) * h;
    const BYTE* v = u + std::size_t(cs) * ch;
    if (std::uint64_t(stride) * h + std::uint64_t(cs) * ch * 2 > size) return false;
    libyuv::CopyPlane(u, cs, out + std::size_t(w) * h, cw, cw, ch);
    libyuv::CopyPlane(v, cs, out + std::size_t(w) * h + std::size_t(cw) * ch, cw, cw, ch);
  }
  *length = packed;
  return true;
}

HRESULT PipeWireCapturePin::FillBuffer(IMediaSample* sample) {
  if (owner_->Lost()) {
    // A vanished camera sends nothing more; the stream idles until the graph stops it.
    while (WaitFor(std::chrono::seconds(1))) {
    }
    return S_SKIP_SAMPLE;
  }
  const auto timeout =
      std::chrono::milliseconds(std::clamp<REFERENCE_TIME>(3 * interval_ / 10000, 1000, 10000));
  pw_buffer* buffer = nullptr;
  bool lost = false;
  {
    std::unique_lock lock(frameMutex_);
    frameReady_.wait_for(lock, timeout, [&] { return pending_ || lostNode_ || wake_; });
    if (wake_ || StopRequested()) return S_SKIP_SAMPLE;
    lost = lostNode_;
    buffer = pending_;
    pending_ = nullptr;
  }
  if (lost) {
    if (buffer) {
      pw_thread_loop_lock(owner_->Connection().Loop());
      pw_stream_queue_buffer(stream_, buffer);
      pw_thread_loop_unlock(owner_->Connection().Loop());
    }
    owner_->ReportDeviceLost();
    return S_SKIP_SAMPLE;
  }
  if (!buffer) {
    if (!timeoutLogged_)
      qCWarning(lcPipeWire, "%s: no frame for %lld ms; still waiting",
                owner_->Camera().nodeName.c_str(), static_cast<long long>(timeout.count()));
    timeoutLogged_ = true;
    return S_SKIP_SAMPLE;
  }
  timeoutLogged_ = false;
  const auto* header = static_cast<const spa_meta_header*>(
      spa_buffer_find_meta_data(buffer->buffer, SPA_META_Header, sizeof(spa_meta_header)));
  const long long ptsNs = header ? header->pts : 0;
  if (!haveFirst_) {
    haveFirst_ = true;
    firstPtsNs_ = ptsNs;
    firstStreamTime_ = 0;
    owner_->StreamTime(&firstStreamTime_);
  } else if (header) {
    // A sequence that goes back or leaps far is a restarted count, not a loss.
    std::uint64_t gap = header->seq - lastSequence_;
    if (gap < 1 || gap > kMaxSequenceGap) gap = 1;
    if (gap > 1) dropped_.Dropped(framesSeen_ + 1, static_cast<long>(gap - 1));
    framesSeen_ += static_cast<long>(gap);
  } else {
    ++framesSeen_;
  }
  if (header) lastSequence_ = header->seq;
  long length = 0;
  const bool copied = CopyFrame(buffer, sample, &length);
  pw_thread_loop_lock(owner_->Connection().Loop());
  pw_stream_queue_buffer(stream_, buffer);
  pw_thread_loop_unlock(owner_->Connection().Loop());
  if (!copied) {
    dropped_.Dropped(framesSeen_, 1);
    return S_SKIP_SAMPLE;
  }
  sample->SetActualDataLength(length);
  REFERENCE_TIME start = firstStreamTime_;
  if (header && ptsNs >= firstPtsNs_)
    start += (ptsNs - firstPtsNs_) / 100;
  else
    start += framesSeen_ * interval_;
  REFERENCE_TIME end = start + interval_;
  sample->SetTime(&start, &end);
  LONGLONG mediaStart = framesSeen_, mediaEnd = framesSeen_ + 1;
  sample->SetMediaTime(&mediaStart, &mediaEnd);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(dropped_.DeliveredCount() == 0 ? TRUE : FALSE);
  dropped_.Delivered(length);
  return S_OK;
}
