// A virtual capture device's filter: capture and preview pins that stream generated frames,
// with the image controls, stream formats, analog decoder and driver dialogs it is given.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/virtual/FramePacker.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"

template <typename Controls>
class CameraControlPart;

// Whether the hardware behind a filter is still there; the provider clears it on unplug and
// every filter made for the device sees it on its next frame.
using DevicePresence = std::shared_ptr<std::atomic<bool>>;

// One controllable property: its range (nullptr: not offered) and its current value and flags.
struct ControlSlot {
  const ControlRange* range = nullptr;
  std::atomic<long> value{0};
  std::atomic<long> flags{0};
};

// The controls of one interface (IAMVideoProcAmp or IAMCameraControl) with range checks.
// Thread: any; values are atomic so the streaming thread reads them while the UI sets them.
class ControlTable {
 public:
  ControlTable(const std::vector<ControlRange>& ranges, long autoFlag);
  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) const;
  HRESULT Set(long property, long value, long flags);
  HRESULT Get(long property, long* value, long* flags) const;
  long Value(long property, long fallback) const;
  bool Empty() const;

 private:
  const ControlSlot* Slot(long property) const;
  std::vector<ControlRange> ranges_;
  std::array<ControlSlot, 16> slots_;
  long autoFlag_;
};

// The filter. Pins: "Capture" and/or "Preview" (video, each with IAMStreamConfig,
// IAMDroppedFrames and a stream format page), and "Analog Video In" when the device has a
// crossbar. A device that is lost (unplugged, or by its failure plan) posts EC_DEVICE_LOST once,
// stops producing, and fails every later start with VFW_E_DEVICE_LOST.
// Thread: control thread for state and interfaces; pins stream on their own threads.
class VirtualCaptureFilter final : public SourceFilter,
                                   public IAMVideoProcAmp,
                                   public ISpecifyPropertyPages,
                                   public IAMAnalogVideoDecoder,
                                   public IAMVfwCaptureDialogs {
 public:
  VirtualCaptureFilter(VirtualDeviceConfig config, DevicePresence presence);
  ~VirtualCaptureFilter() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IAMVideoProcAmp.
  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) override;
  HRESULT Set(long property, long value, long flags) override;
  HRESULT Get(long property, long* value, long* flags) override;

  // ISpecifyPropertyPages: image quality and camera control pages, as far as offered.
  HRESULT GetPages(CAUUID* pages) override;

  // IAMAnalogVideoDecoder (only answered when the device has one).
  HRESULT get_AvailableTVFormats(long* standards) override;
  HRESULT put_TVFormat(long standard) override;
  HRESULT get_TVFormat(long* standard) override;
  HRESULT get_HorizontalLocked(long* locked) override;
  HRESULT put_VCRHorizontalLocking(long locking) override;
  HRESULT get_VCRHorizontalLocking(long* locking) override;
  HRESULT get_NumberOfLines(long* lines) override;
  HRESULT put_OutputEnable(long enable) override;
  HRESULT get_OutputEnable(long* enable) override;

  // IAMVfwCaptureDialogs (only answered for vfw devices). The dialogs are property frames:
  // source shows the image controls, format the capture pin's stream format, display the
  // image controls again.
  HRESULT HasDialog(int dialog) override;
  HRESULT ShowDialog(int dialog, HWND owner) override;
  HRESULT SendDriverMessage(int dialog, int message, long data1, long data2) override;

  const VirtualDeviceConfig& Config() const { return config_; }
  // Any thread: the image controls as the packer applies them.
  PictureAdjust Adjust() const;
  // Any thread: false once the device was unplugged or lost by its plan.
  bool Alive() const;
  // Streaming thread: marks the device lost and posts EC_DEVICE_LOST (once per filter).
  void ReportDeviceLost();
  // Streaming thread: counts one frame against the failure plan; false once the plan says the
  // device is gone.
  bool CountFrame();

 protected:
  HRESULT OnPause() override;
  HRESULT OnRun(REFERENCE_TIME start) override;
  void OnStop() override;

 private:
  const VirtualDeviceConfig config_;
  DevicePresence presence_;
  ControlTable procAmp_;
  std::unique_ptr<CameraControlPart<ControlTable>> cameraControl_;
  std::atomic<bool> lost_{false};
  std::atomic<bool> lossReported_{false};
  std::atomic<long> framesProduced_{0};
  bool started_ = false;  // control thread: left the stopped state successfully
  std::atomic<long> tvFormat_;
  std::atomic<long> vcrLocking_{0};
  std::atomic<long> outputEnable_{1};
};
