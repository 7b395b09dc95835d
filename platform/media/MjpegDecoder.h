// Motion-JPEG decoder: MJPG samples to RGB32 or RGB24 frames, with libjpeg-turbo.
#pragma once

#include <vector>

#include "platform/media/TransformFilter.h"

// A frame that cannot be decoded (corrupt or short) is dropped and counted, not an error: cameras
// send such frames now and then. Output frames are bottom-up RGB at the input's size or any
// smaller size the downstream pin asks for; the output types offered are the decoder's own
// scales 1, 1/2, 1/4 and 1/8, full size first.
// Thread: as TransformFilter.
class MjpegDecoder final : public TransformFilter {
 public:
  MjpegDecoder();

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override;
  HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
  HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

 private:
  std::vector<BYTE> scratch_;  // the streaming thread's intermediate pictures
};

// Decodes one JPEG image into bottom-up RGB32 or RGB24 rows of the given size. False if the data
// is not a JPEG of exactly that size.
bool DecodeJpegFrame(const BYTE* data, long bytes, int width, int height, int bitCount, BYTE* out,
                     long outBytes);

// Decodes one JPEG image of any size into bottom-up RGB32 or RGB24 rows of width x height:
// libjpeg-turbo decodes at the smallest of its scales 1/8, 1/4, 1/2, 1 that is still at least
// the target's size, which skips most of the inverse transform and colour work, and libyuv scales
// the rest of the way (box filter). scratch holds the intermediate pictures. False for data that is
// not a whole JPEG.
bool DecodeJpegScaled(const BYTE* data, long bytes, int width, int height, int bitCount, BYTE* out,
                      long outBytes, std::vector<BYTE>& scratch);
