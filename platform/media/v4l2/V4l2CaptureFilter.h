// A V4L2 camera's source filter: one capture pin streaming from the node, its controls and pages.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/SourceFilter.h"

class V4l2Io;
class V4l2Controls;
template <typename Controls>
class CameraControlPart;

// The filter owns the open file of the node for its whole life. Pin "Capture" (capture
// category) streams by memory-mapped buffers; the filter answers IAMVideoProcAmp and
// IAMCameraControl for the controls the camera has, and offers their property pages. A camera
// that goes away while streaming posts EC_DEVICE_LOST once and fails every later start with
// VFW_E_DEVICE_LOST.
// Thread: control thread for state and interfaces; the pin streams on its own thread.
class V4l2CaptureFilter final : public SourceFilter,
                                public IAMVideoProcAmp,
                                public ISpecifyPropertyPages {
 public:
  // Opens the node and reads its capabilities and controls. A node this user may not open
  // gives E_ACCESSDENIED and a log line naming the "video" group.
  static HRESULT Create(std::shared_ptr<V4l2Io> io, const std::string& node,
                        const std::u16string& friendlyName, IBaseFilter** filter);
  ~V4l2CaptureFilter() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IAMVideoProcAmp.
  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) override;
  HRESULT Set(long property, long value, long flags) override;
  HRESULT Get(long property, long* value, long* flags) override;

  // ISpecifyPropertyPages: image quality and camera control pages, as far as offered.
  HRESULT GetPages(CAUUID* pages) override;

  V4l2Io& Io() const { return *io_; }
  int Fd() const { return fd_; }
  const std::string& Node() const { return node_; }
  // Any thread: whether the camera went away.
  bool Lost() const { return lost_.load(std::memory_order_acquire); }
  // Streaming thread: marks the camera lost and posts EC_DEVICE_LOST (once).
  void ReportDeviceLost();

 protected:
  HRESULT OnRun(REFERENCE_TIME start) override;

 private:
  V4l2CaptureFilter(std::shared_ptr<V4l2Io> io, std::string node, int fd,
                    const std::u16string& friendlyName);

  std::shared_ptr<V4l2Io> io_;
  const std::string node_;
  const int fd_;
  std::unique_ptr<V4l2Controls> procAmp_;
  std::unique_ptr<CameraControlPart<V4l2Controls>> cameraControl_;
  std::atomic<bool> lost_{false};
  std::atomic<bool> lossReported_{false};
};
