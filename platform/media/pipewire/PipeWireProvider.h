// The PipeWire device provider: cameras a desktop hands out as PipeWire nodes.
#pragma once

#include <memory>
#include <mutex>

#include "platform/media/DeviceEnumerator.h"

class PipeWireConnection;

// Lists the camera nodes of the PipeWire daemon (see PipeWireConnection) in the video input
// category, display names "@device:pipewire:<node name>", and makes their capture filters. The
// connection starts at the first listing, so a program that never lists devices never talks
// to the daemon.
// Thread: any; mutex_ guards connection_.
class PipeWireProvider final : public DeviceProvider {
 public:
  PipeWireProvider();
  ~PipeWireProvider() override;

  std::vector<DeviceDescription> ListDevices(REFGUID category) override;
  HRESULT CreateFilter(REFGUID category, const std::u16string& displayName,
                       IBaseFilter** filter) override;

  std::shared_ptr<PipeWireConnection> Connection();

 private:
  std::mutex mutex_;
  std::shared_ptr<PipeWireConnection> connection_;
};

// Registers a PipeWireProvider under "pipewire".
void RegisterPipeWireProvider(DeviceProviderRegistry& registry);

// The `--list-cameras` paragraphs of the PipeWire cameras, each marked "(PipeWire)"; empty when
// there is none or no daemon. Called on the application's thread, it runs the event loop (at
// most a few seconds) until the camera portal has answered and the cameras are listed.
std::string DescribePipeWireCameras();
