// Output pin of a virtual camera: stream formats, frame pacing, dropped-frame counts.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/DroppedFrames.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/virtual/FrameGenerator.h"

class VirtualCaptureFilter;

// Streams frames at the format's rate: frame n is due n frame intervals after the stream
// started; a frame whose slot has passed is skipped and counted as dropped. The picture comes
// from the device's frame generator and is packed into the connected format with the filter's
// image controls. Before SetFormat the pin offers its current format first and then every
// capability; after SetFormat it offers and accepts only the format set.
// Thread: IAMStreamConfig and connections on the control thread (formatMutex_ guards format_
// and formatSet_); FillBuffer on the pin's streaming thread; the dropped-frame counts guard
// themselves.
class VirtualCapturePin final : public SourceStream,
                                public IAMStreamConfig,
                                public IAMDroppedFrames,
                                public ISpecifyPropertyPages {
 public:
  VirtualCapturePin(VirtualCaptureFilter* filter, std::u16string name, REFGUID category);
  ~VirtualCapturePin() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;

  // IAMStreamConfig. SetFormat (nullptr restores the default) works while the filter is
  // stopped and takes only what a capability offers: its subtype with the subtype's own
  // compression and bit count, a size within its range and steps, and a frame rate within its
  // range (VFW_E_INVALIDMEDIATYPE and no change otherwise). A rate off by the NTSC 1000/1001
  // (29.97 for a 30-only camera) is brought into the range, as camera drivers do; a device
  // with FrameRateRule::Nearest brings any rate to the nearest it supports. On a connected pin
  // only the connection's own picture is accepted, at any rate it supports: the stream takes
  // the new rate from its next start.
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

  // Control thread: the next start follows the filter's pause without counting the gap as drops.
  void Resynchronise() { resync_.store(true, std::memory_order_release); }

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadStart() override;
  void OnThreadStop() override;

 private:
  // The capability a type fits (size, subtype, layout), or -1.
  int MatchCapability(const AM_MEDIA_TYPE& mt) const;
  MediaType CapabilityType(int index) const;
  // The interval a stream of the capability takes for a requested one (0: the default rate).
  REFERENCE_TIME ClampInterval(int capability, REFERENCE_TIME interval) const;
  // The interval SetFormat applies for a requested one, or false when it refuses the rate.
  bool AcceptInterval(int capability, REFERENCE_TIME asked, REFERENCE_TIME* interval) const;
  // Control thread, filter stopped, formatMutex_ held: the connection's rate.
  void SetConnectionInterval(REFERENCE_TIME interval);

  VirtualCaptureFilter* const owner_;

  mutable std::mutex formatMutex_;
  MediaType format_;
  bool formatSet_ = false;

  // Streaming thread only.
  std::unique_ptr<FrameGenerator> generator_;
  std::vector<std::uint32_t> pixels_;
  std::chrono::steady_clock::time_point streamStart_;
  std::int64_t nextFrame_ = 0;
  REFERENCE_TIME interval_ = 0;

  std::atomic<bool> resync_{false};
  DroppedFrames dropped_;
};
