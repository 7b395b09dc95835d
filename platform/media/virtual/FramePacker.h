// Writes a generated xRGB frame into a sample in the stream's format, with the image controls.
#pragma once

#include <cstdint>

#include "platform/com/Guid.h"
#include "platform/com/Types.h"

// Image controls of a virtual camera (IAMVideoProcAmp units).
struct PictureAdjust {
  long brightness = 0;    // -100 .. 100: added to every channel, 100 = +128
  long contrast = 100;    // 0 .. 200 percent around mid grey
  long saturation = 100;  // 0 .. 200 percent of the colour difference
  bool Neutral() const { return brightness == 0 && contrast == 100 && saturation == 100; }
};

// Packs width x height top-down 0xFFRRGGBB pixels as subtype: RGB24/RGB32/RGB565/RGB555
// bottom-up with rows padded to 4 bytes, YUY2/UYVY/I420/IYUV/YV12/NV12 in BT.601 limited range,
// MJPG as a JPEG picture. Returns the bytes written; 0 for a subtype it cannot write or a
// buffer that is too small.
long PackFrame(const std::uint32_t* pixels, int width, int height, REFGUID subtype,
               const PictureAdjust& adjust, BYTE* out, long outBytes);

// Whether PackFrame writes this subtype.
bool CanPackSubtype(REFGUID subtype);
