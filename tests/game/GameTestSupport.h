// Helpers for tests of the main window: a fresh window per test and synthetic camera frames.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "game/Video_capture_form.h"
#include "platform/toolkit/Bitmap.h"

class GameTest : public testing::Test {
 protected:
  void SetUp() override {
    // The game plays here without devices; the devices have tests of their own.
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "", 1);
    form = std::make_unique<TVideoCaptureForm>();
  }
  void TearDown() override { form.reset(); }

  // A frame whose pixel (x, y), counted from the top, has the colour fn(x, y) = {b, g, r}.
  static std::unique_ptr<TBitmap> MakeFrame(int width, int height, TPixelFormat format,
                                            const std::function<std::array<int, 3>(int, int)>& fn) {
    auto frame = std::make_unique<TBitmap>();
    frame->SetPixelFormat(format);
    frame->SetSize(width, height);
    const int bytes = BitsPerPixel(format) / 8;
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = frame->ScanLine(y);
      for (int x = 0; x < width; ++x) {
        const auto c = fn(x, y);
        std::uint8_t* p = row + x * bytes;
        if (format == pf16bit) {
          const auto v =
              static_cast<std::uint16_t>(((c[2] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[0] >> 3));
          std::memcpy(p, &v, 2);
          continue;
        }
        p[0] = static_cast<std::uint8_t>(c[0]);
        p[1] = static_cast<std::uint8_t>(c[1]);
        p[2] = static_cast<std::uint8_t>(c[2]);
        if (bytes == 4) p[3] = 0x5A;  // the unused byte must not matter
      }
    }
    return frame;
  }

  static std::unique_ptr<TBitmap> GrayFrame(int gray, TPixelFormat format = pf24bit) {
    return MakeFrame(320, 240, format, [gray](int, int) {
      return std::array<int, 3>{gray, gray, gray};
    });
  }

  void Deliver(const TBitmap& frame) {
    TFrameData data;
    data.Bitmap = const_cast<TBitmap*>(&frame);
    data.FrameNumber = ++frameNumber;
    form->CaptureControl1FrameCaptureCompleted(form->CaptureControl1, data, fc_TBitmap, QString(),
                                               true);
  }

  int Clean(int x, int y) const { return form->CleanLevels[x * form->FrameHeight + y]; }

  static TColor Pixel(const TBitmap& b, int x, int y) {
    const std::uint8_t* p = b.ScanLine(y) + 3 * x;
    return RGB(p[2], p[1], p[0]);
  }

  std::unique_ptr<TVideoCaptureForm> form;
  int frameNumber = 0;
};
