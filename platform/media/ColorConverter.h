// Colour space converter: YUY2, UYVY, I420/IYUV, NV12 and RGB to RGB24, RGB32, RGB565, RGB555.
#pragma once

#include <vector>

#include "platform/media/TransformFilter.h"

// Output frames are bottom-up RGB of the input's size. YUV input rows may be padded: a frame
// size (biSizeImage) of exactly stride x rows (x 3/2 for 4:2:0) gives the stride. Conversion uses
// libyuv (BT.601, limited range for YUV input). Thread: as TransformFilter.
class ColorConverter final : public TransformFilter {
 public:
  ColorConverter();

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override;
  HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
  HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

  static bool IsInputSubtype(REFGUID subtype);
  static bool IsOutputSubtype(REFGUID subtype);

 private:
  std::vector<BYTE> argb_;  // streaming thread: intermediate frame for non-RGB32 outputs
};

// Converts one frame between the media types (both with bitmap headers, same size). Returns
// false for an unsupported pair or a too small source or target; used by the converter and tests.
bool ConvertFrame(const AM_MEDIA_TYPE& inType, const BYTE* in, long inBytes,
                  const AM_MEDIA_TYPE& outType, BYTE* out, long outBytes,
                  std::vector<BYTE>& scratch);
