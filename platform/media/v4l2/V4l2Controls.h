// Image and camera controls of a V4L2 node behind IAMVideoProcAmp and IAMCameraControl.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/Result.h"

class V4l2Io;

// The properties of one interface that the node has a control for, with their ranges read
// once. A property with an automatic control (white balance, gain, hue, exposure, focus) offers
// the automatic flag; choosing it switches the automatic control on, choosing manual switches
// it off before the value is written. Values are the driver's units.
// Thread: any; every call goes to the driver, which serialises them.
class V4l2Controls {
 public:
  enum class Interface { VideoProcAmp, CameraControl };

  V4l2Controls(std::shared_ptr<V4l2Io> io, int fd, std::string node, Interface which);

  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) const;
  HRESULT Set(long property, long value, long flags);
  HRESULT Get(long property, long* value, long* flags) const;
  bool Empty() const { return entries_.empty(); }

  struct Entry {
    long property = 0;
    std::uint32_t id = 0;
    std::string name;
    long min = 0, max = 0, step = 1, defaultValue = 0;
    std::uint32_t autoId = 0;  // 0: no automatic mode
    std::int32_t autoOn = 1, autoOff = 0;
  };
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  const Entry* Find(long property) const;
  HRESULT Write(std::uint32_t id, std::int32_t value, const char* what);

  std::shared_ptr<V4l2Io> io_;
  int fd_;
  std::string node_;
  long autoFlag_;
  std::vector<Entry> entries_;
};
