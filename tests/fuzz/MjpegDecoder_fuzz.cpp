// Fuzz harness of the MJPEG path: one camera frame decoded into the connection's picture.
//
// Input: a 5-byte prefix, then the frame. Prefix: flags (bit 0: RGB24 instead of RGB32, bit 1:
// an output buffer one byte short), width and height (16 bits each, little-endian, taken modulo
// 1024 and at least 1), the size the media type promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/media/MjpegDecoder.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const bool rgb24 = data[0] & 1;
  const bool shortBuffer = data[0] & 2;
  const int width = (data[1] | data[2] << 8) % 1024 + 1;
  const int height = (data[3] | data[4] << 8) % 1024 + 1;
  const int bits = rgb24 ? 24 : 32;
  const long needed = DibRowBytes(width, bits) * static_cast<long>(height);
  // Exactly as large as promised, so that a write past the picture is caught.
  std::vector<BYTE> out(static_cast<std::size_t>(needed - (shortBuffer ? 1 : 0)));
  // The frame is copied so that its allocation ends where the frame ends.
  const std::vector<BYTE> frame(data + 5, data + size);
  const bool decoded = DecodeJpegFrame(frame.data(), static_cast<long>(frame.size()), width, height,
                                       bits, out.data(), static_cast<long>(out.size()));
  FUZZ_CHECK(!(decoded && shortBuffer));  // a buffer too small is refused
  return 0;
}
