// Motion-JPEG decoder: MJPG samples to RGB32 or RGB24 frames, with libjpeg-turbo.
#pragma once

#include "platform/media/TransformFilter.h"

// A frame that cannot be decoded (corrupt or short) is dropped and counted, not an error: cameras
// send such frames now and then. Output frames are bottom-up RGB.
// Thread: as TransformFilter.
class MjpegDecoder final : public TransformFilter {
 public:
  MjpegDecoder();

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override;
  HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
  HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
};

// Decodes one JPEG image into bottom-up RGB32 or RGB24 rows of the given size. False if the data
// is not a JPEG of exactly that size.
bool DecodeJpegFrame(const BYTE* data, long bytes, int width, int height, int bitCount, BYTE* out,
                     long outBytes);
