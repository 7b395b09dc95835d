// Stream capabilities of a V4L2 node: pixel formats mapped to subtypes, frame sizes, intervals.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/media/MediaType.h"

class V4l2Io;

// One format at one size, as IAMStreamConfig offers it. The row layout is what the driver
// answers to VIDIOC_TRY_FMT for it (padding included).
struct V4l2Capability {
  std::uint32_t pixelformat = 0;
  GUID subtype = GUID_NULL;
  int width = 0;
  int height = 0;
  std::uint32_t bytesPerLine = 0;
  std::uint32_t sizeImage = 0;
  std::vector<REFERENCE_TIME> intervals;  // shortest first; never empty
};

// The errno of a failed call as a result code: EBUSY, EACCES, ENODEV, EINVAL, ENOMEM have
// their own; anything else is E_FAIL.
HRESULT HResultFromErrno(int error);
// The result code of EBUSY (HRESULT_FROM_WIN32(ERROR_BUSY)): the camera is in use elsewhere.
inline constexpr HRESULT kDeviceBusy = MakeFailure(0x800700AA);

// The subtype a pixel format is delivered as, GUID_NULL for one the framework cannot convert.
GUID SubtypeForPixelFormat(std::uint32_t pixelformat);
// "YUYV", "MJPG"... for logs.
std::string FourccText(std::uint32_t pixelformat);

// The handful of sizes a stepwise or continuous range stands for: its largest and smallest
// size and the common sizes on its grid in between (320x240 whenever the grid has it),
// largest first.
std::vector<std::pair<int, int>> SampleSizes(std::uint32_t minWidth, std::uint32_t maxWidth,
                                             std::uint32_t stepWidth, std::uint32_t minHeight,
                                             std::uint32_t maxHeight, std::uint32_t stepHeight);

// Enumerates an open node's formats, sizes and frame intervals. Formats that cannot be
// converted are left out, logged, and named in *skipped.
std::vector<V4l2Capability> ReadCapabilities(V4l2Io& io, int fd, const std::string& node,
                                             std::vector<std::string>* skipped);

// The media type a capability streams with at the interval (0: its default). Raw formats carry
// the driver's padded frame size in biSizeImage, which tells converters the row stride.
MediaType CapabilityMediaType(const V4l2Capability& capability, REFERENCE_TIME interval);

// IAMStreamConfig::GetNumberOfCapabilities and GetStreamCaps over a list of capabilities, each
// one size (nothing is scaled) with its frame intervals.
HRESULT CapabilityCount(const std::vector<V4l2Capability>& caps, int* count, int* size);
HRESULT CapabilityStreamCaps(const std::vector<V4l2Capability>& caps, int index, AM_MEDIA_TYPE** mt,
                             BYTE* configCaps);
