// Properties of a PipeWire camera node behind IAMVideoProcAmp and IAMCameraControl.
#pragma once

#include <mutex>
#include <vector>

#include "platform/com/Result.h"
#include "platform/media/pipewire/PipeWireConnection.h"

// The node's numeric properties that one interface has a place for: the standard ones by their
// SPA ids (brightness, contrast, saturation, hue, gamma, sharpness, gain, exposure) and the V4L2
// ones a camera monitor passes on by name (white balance, backlight compensation, zoom, focus,
// pan, tilt). Integer properties keep the node's units; a float property counts in hundredths,
// so a range of -1 to 1 is offered as -100 to 100. The nodes have no automatic modes of their
// own: every property is manual. Set writes the node's Props; Get answers the value last set,
// or the one the node had when it was listed.
// Thread: any; mutex_ guards the values.
class PipeWireControls {
 public:
  enum class Interface { VideoProcAmp, CameraControl };

  PipeWireControls(PipeWireConnection& connection, const PipeWireCamera& camera, Interface which);

  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) const;
  HRESULT Set(long property, long value, long flags);
  HRESULT Get(long property, long* value, long* flags) const;
  bool Empty() const { return entries_.empty(); }

 private:
  struct Entry {
    long property = 0;
    PipeWireControl control;
    double scale = 1;
    long min = 0, max = 0, step = 1, defaultValue = 0, value = 0;
  };
  const Entry* Find(long property) const;

  PipeWireConnection& connection_;
  const std::uint32_t nodeId_;
  const std::string node_;
  const long manual_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};
