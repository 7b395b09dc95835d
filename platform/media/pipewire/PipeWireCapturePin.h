// Capture pin of a PipeWire camera: stream formats, a pw_stream feeding the streaming thread,
// dropped-frame counts.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/DroppedFrames.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/pipewire/PipeWireConnection.h"

class PipeWireCaptureFilter;
struct pw_stream;
struct pw_buffer;
struct spa_hook;

// Offers one capability per format and size the node enumerates, as it enumerates them at the
// time of GetNumberOfCapabilities (a node may change what it offers). SetFormat (filter stopped)
// takes only a format the node offers now and otherwise keeps the previous one. Active
// (pausing) connects a pw_stream to the node with exactly the connection's format and waits
// (bounded) until the daemon has linked it and the node has agreed to the format; a node that
// refuses fails the start. Buffers come on the connection's loop thread, which keeps the newest
// one for the streaming thread (an older one still waiting goes back at once); the streaming
// thread copies it packed into the sample, honouring the buffer's stride, and gives it back.
// Shared-memory and memfd buffers are mapped; a buffer with no mapping (DMA-BUF) is refused with
// one log line. Sample times follow the buffers' timestamps; gaps in their sequence numbers are
// dropped frames. A node that goes away, or a stream that fails, ends the stream with
// EC_DEVICE_LOST; Stop never waits for the daemon.
// Thread: IAMStreamConfig and state on the control thread (formatMutex_ guards caps_, format_
// and formatSet_); the pw_stream callbacks on the loop thread; FillBuffer on the streaming thread.
// frameMutex_ guards pending_, streamState_ and lostNode_; stream_ changes only with the loop
// locked while no streaming thread runs.
class PipeWireCapturePin final : public SourceStream,
                                 public IAMStreamConfig,
                                 public IAMDroppedFrames,
                                 public ISpecifyPropertyPages {
 public:
  explicit PipeWireCapturePin(PipeWireCaptureFilter* filter);
  ~PipeWireCapturePin() override;

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

  // IAMDroppedFrames: counts since the stream last started.
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

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadStart() override;
  void OnStopRequested() override;

 private:
  enum class StreamState { None, Connecting, Ready, Failed };
  static void OnProcess(void* data);
  static void OnStateChanged(void* data, int old, int state, const char* error);
  static void OnParamChanged(void* data, std::uint32_t id, const struct spa_pod* param);

  // The capability of the pin's list that mt asks for (copied to *cap when not null).
  bool MatchCapability(const AM_MEDIA_TYPE& mt, V4l2Capability* cap) const;
  // Takes the formats the node offers now, when it is still listed.
  void RefreshCaps();
  HRESULT StartStream();
  void StopStream();
  void NodeGone();
  // Copies one buffer into the sample packed; false for a buffer that cannot be read.
  bool CopyFrame(pw_buffer* buffer, IMediaSample* sample, long* length);

  PipeWireCaptureFilter* const owner_;

  mutable std::mutex formatMutex_;
  std::vector<V4l2Capability> caps_;
  MediaType format_;
  bool formatSet_ = false;

  // Set by Active before the streaming thread starts; read by it.
  std::shared_ptr<PipeWireCore> core_;
  pw_stream* stream_ = nullptr;
  std::unique_ptr<spa_hook> streamListener_;
  int watch_ = 0;
  V4l2Capability active_;
  REFERENCE_TIME interval_ = 0;

  std::mutex frameMutex_;
  std::condition_variable frameReady_;
  pw_buffer* pending_ = nullptr;
  StreamState streamState_ = StreamState::None;
  bool lostNode_ = false;
  bool wake_ = false;

  // Streaming thread only.
  bool haveFirst_ = false;
  std::uint64_t lastSequence_ = 0;
  long long firstPtsNs_ = 0;
  REFERENCE_TIME firstStreamTime_ = 0;
  long framesSeen_ = 0;
  bool timeoutLogged_ = false;
  bool dmaBufLogged_ = false;

  DroppedFrames dropped_;
};
