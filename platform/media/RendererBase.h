// Renderer base: one input pin, end-of-stream reporting, frame counters for IQualProp.
#pragma once

#include <atomic>

#include "platform/media/ControlInterfaces.h"
#include "platform/media/FilterBase.h"
#include "platform/media/PinBase.h"

class RendererBase;

class RendererInputPin : public InputPin {
 public:
  RendererInputPin(RendererBase* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT CompleteConnect(IPin* peer) override;

 protected:
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;

 private:
  RendererBase* owner_;
};

// A sink. Samples are rendered as they arrive, while paused or running (no scheduling against
// the clock: a live source already paces them). End of stream while running posts EC_COMPLETE
// with the filter as second parameter; while paused it is posted when the filter runs.
// Thread: DoRenderSample on the upstream streaming thread; the rest on the control thread.
class RendererBase : public FilterBase, public IQualProp {
 public:
  RendererBase(REFCLSID clsid, std::u16string name);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  RendererInputPin* Input() const { return input_; }

  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) = 0;
  // Control thread: the input was connected with this type.
  virtual HRESULT OnConnected(const AM_MEDIA_TYPE&) { return S_OK; }
  // Streaming thread: S_OK counts a drawn frame, S_FALSE a dropped one, a failure is returned
  // upstream (which ends that stream).
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;

  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();

  // IQualProp.
  HRESULT get_FramesDroppedInRenderer(int* frames) override;
  HRESULT get_FramesDrawn(int* frames) override;
  HRESULT get_AvgFrameRate(int* hundredthsPerSecond) override;
  HRESULT get_Jitter(int* jitterMs) override;
  HRESULT get_AvgSyncOffset(int* offsetMs) override;
  HRESULT get_DevSyncOffset(int* deviationMs) override;

 protected:
  HRESULT OnPause() override;
  HRESULT OnRun(REFERENCE_TIME start) override;
  void OnStop() override;

 private:
  void SendComplete();

  RendererInputPin* input_;
  std::atomic<bool> endOfStream_{false};
  std::atomic<bool> completeSent_{false};
  std::atomic<int> framesDrawn_{0};
  std::atomic<int> framesDropped_{0};
  std::atomic<LONGLONG> firstFrameNs_{0};
  std::atomic<LONGLONG> lastFrameNs_{0};
};
