// Fuzz harness of the bitmap decoder: any bytes as a bitmap without file header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "platform/toolkit/Dib.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Not copied: the decoder must read only the bytes it was given.
  const QByteArray dib =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QString error;
  const QImage image = DecodeDib(dib, &error);
  if (image.isNull()) {
    FUZZ_CHECK(!error.isEmpty());  // every refusal says why
    return 0;
  }
  // A decoded picture has the header's size.
  BITMAPINFOHEADER h;
  std::memcpy(&h, data, sizeof h);
  FUZZ_CHECK(image.width() == h.biWidth &&
             image.height() == std::abs(static_cast<long long>(h.biHeight)));
  return 0;
}
