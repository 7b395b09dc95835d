// A PipeWire camera's source filter: one capture pin fed by a pw_stream from the camera node.
#pragma once

#include <atomic>
#include <memory>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/pipewire/PipeWireConnection.h"

class PipeWireControls;
template <typename Controls>
class CameraControlPart;

// Pin "Capture" (capture category) offers the node's formats. A node that goes away (or a
// daemon that does) while streaming posts EC_DEVICE_LOST once and fails every later start with
// VFW_E_DEVICE_LOST; a camera that comes back is a new filter, made from its listing. The filter
// answers IAMVideoProcAmp and IAMCameraControl for the properties the node offers (see
// PipeWireControls) and offers their property pages.
// Thread: control thread for state and interfaces; the pin streams on its own thread.
class PipeWireCaptureFilter final : public SourceFilter,
                                    public IAMVideoProcAmp,
                                    public ISpecifyPropertyPages {
 public:
  static HRESULT Create(std::shared_ptr<PipeWireConnection> connection, PipeWireCamera camera,
                        IBaseFilter** filter);
  ~PipeWireCaptureFilter() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  // IAMVideoProcAmp.
  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) override;
  HRESULT Set(long property, long value, long flags) override;
  HRESULT Get(long property, long* value, long* flags) override;

  // ISpecifyPropertyPages: image quality and camera control pages, as far as offered.
  HRESULT GetPages(CAUUID* pages) override;

  // Streaming or loop thread: posts EC_DEVICE_LOST, once per loss.
  void ReportDeviceLost();
  bool Lost() const { return lost_.load(std::memory_order_acquire); }
  const PipeWireCamera& Camera() const { return camera_; }
  PipeWireConnection& Connection() const { return *connection_; }

 protected:
  HRESULT OnRun(REFERENCE_TIME start) override;

 private:
  PipeWireCaptureFilter(std::shared_ptr<PipeWireConnection> connection, PipeWireCamera camera);

  std::shared_ptr<PipeWireConnection> connection_;
  const PipeWireCamera camera_;
  std::unique_ptr<PipeWireControls> procAmp_;
  std::unique_ptr<CameraControlPart<PipeWireControls>> cameraControl_;
  std::atomic<bool> lost_{false};
  std::atomic<bool> lossReported_{false};
};
