// Capture pin of a V4L2 camera: stream formats, memory-mapped streaming, dropped-frame counts.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/DroppedFrames.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Io.h"

class V4l2CaptureFilter;

// Offers one capability per format and size. SetFormat (filter stopped) applies the format to
// the driver at once with VIDIOC_S_FMT and VIDIOC_S_PARM and refuses, restoring the previous
// format, what the driver adjusts to another size, format or rate. Active (pausing) applies the
// connection's format, maps the buffers, queues them and starts streaming, so a camera in use
// elsewhere (EBUSY) fails the start with a log line instead of a stream error later.
// The streaming thread waits in poll on the node and a wake eventfd, with a timeout: Stop wakes
// it at once, and a camera that stops sending or vanishes never hangs it. Frames come with the
// driver's timestamps; sequence gaps, and buffers that come back damaged or short (re-queued at
// once), count as dropped.
// Thread: IAMStreamConfig and state on the control thread (formatMutex_ guards format_ and
// formatSet_; buffers_ changes only while no stream runs); FillBuffer on the streaming thread;
// counters atomic; the dropped-frame counts guard themselves.
class V4l2CapturePin final : public SourceStream,
                             public IAMStreamConfig,
                             public IAMDroppedFrames,
                             public ISpecifyPropertyPages {
 public:
  V4l2CapturePin(V4l2CaptureFilter* filter, std::shared_ptr<V4l2Io> io,
                 std::vector<V4l2Capability> capabilities);
  ~V4l2CapturePin() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;
  HRESULT Active() override;
  void Inactive() override;

  // IAMStreamConfig.
  HRESULT SetFormat(AM_MEDIA_TYPE* mt) override;
  HRESULT GetFormat(AM_MEDIA_TYPE** mt) override;
  HRESULT GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;

  // IAMDroppedFrames: counts since the stream last started; damaged frames are dropped ones.
  HRESULT GetNumDropped(long* dropped) override { return dropped_.GetNumDropped(dropped); }
  HRESULT GetNumNotDropped(long* delivered) override {
    return dropped_.GetNumNotDropped(delivered);
  }
  HRESULT GetDroppedInfo(long size, long* frames, long* copied) override {
    return dropped_.GetDroppedInfo(size, frames, copied);
  }
  HRESULT GetAverageFrameSize(long* averageSize) override {
    return dropped_.GetAverageFrameSize(averageSize);
  }

  // ISpecifyPropertyPages: the stream format page.
  HRESULT GetPages(CAUUID* pages) override;

  const std::vector<V4l2Capability>& Capabilities() const { return caps_; }
  // Frames dropped because the driver returned them damaged or short.
  long DamagedCount() const { return damaged_.load(std::memory_order_relaxed); }

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadStart() override;
  void OnStopRequested() override;

 private:
  struct Mapped {
    void* address = nullptr;
    std::size_t length = 0;
  };

  int MatchCapability(const AM_MEDIA_TYPE& mt) const;
  // The interval of the capability nearest to the asked one, if within 1 %; 0 asks the default.
  bool AcceptInterval(const V4l2Capability& cap, REFERENCE_TIME asked,
                      REFERENCE_TIME* interval) const;
  // Control thread: S_FMT and S_PARM, refusing (and undoing) what the driver adjusts.
  HRESULT ApplyFormat(const V4l2Capability& cap, REFERENCE_TIME interval);
  HRESULT StartDevice();
  void StopDevice();
  void CountDropped(long from, long count);
  bool Damaged(const BYTE* data, std::uint32_t bytesUsed, std::uint32_t flags) const;
  void CopyFrame(const BYTE* data, std::uint32_t bytesUsed, BYTE* out, long* length) const;
  void Requeue(std::uint32_t index);

  V4l2CaptureFilter* const owner_;
  const std::shared_ptr<V4l2Io> io_;
  const int fd_;
  const std::string node_;
  const std::vector<V4l2Capability> caps_;
  WakeEvent wake_;

  mutable std::mutex formatMutex_;
  MediaType format_;
  bool formatSet_ = false;

  // Set by Active on the control thread before the thread starts; read by the streaming thread.
  std::vector<Mapped> buffers_;
  bool streaming_ = false;
  V4l2Capability active_;
  std::uint32_t bytesPerLine_ = 0;
  REFERENCE_TIME interval_ = 0;

  // Streaming thread only.
  bool haveFirst_ = false;
  std::uint32_t lastSequence_ = 0;
  long long firstTimestampUs_ = 0;
  REFERENCE_TIME firstStreamTime_ = 0;
  long framesSeen_ = 0;
  bool timeoutLogged_ = false;

  DroppedFrames dropped_;
  std::atomic<long> damaged_{0};
};
