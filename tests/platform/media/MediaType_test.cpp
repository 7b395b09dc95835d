// Tests of media types: GUID values, format blocks, copies and matching.
#include "platform/media/MediaType.h"

#include <gtest/gtest.h>

#include "platform/media/Guids.h"

namespace {

// Catches: a subtype or class identity differing from the value the capture control compares with.
TEST(MediaGuids, ValuesMatchThePlatform) {
  struct Case {
    const GUID& guid;
    const char* text;
  } cases[] = {
      {MEDIASUBTYPE_RGB1, "{E436EB78-524F-11CE-9F53-0020AF0BA770}"},
      {MEDIASUBTYPE_RGB32, "{E436EB7E-524F-11CE-9F53-0020AF0BA770}"},
      {MEDIASUBTYPE_YUY2, "{32595559-0000-0010-8000-00AA00389B71}"},
      {MEDIASUBTYPE_ARGB32, "{773C9AC0-3274-11D0-B724-00AA006C1A01}"},
      {MEDIASUBTYPE_MPEG2_VIDEO, "{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}"},
      {MEDIATYPE_Stream, "{E436EB83-524F-11CE-9F53-0020AF0BA770}"},
      {PIN_CATEGORY_CAPTURE, "{FB6C4281-0353-11D1-905F-0000C0CC16BA}"},
      {PIN_CATEGORY_PREVIEW, "{FB6C4282-0353-11D1-905F-0000C0CC16BA}"},
      {CLSID_FilterGraph, "{E436EBB3-524F-11CE-9F53-0020AF0BA770}"},
      {CLSID_CaptureGraphBuilder2, "{BF87B6E1-8C27-11D0-B3F0-00AA003761C5}"},
      {CLSID_VideoRenderer, "{70E102B0-5556-11CE-97C0-00AA0055595A}"},
      {CLSID_SmartTee, "{CC58E280-8AA1-11D1-B3F1-00AA003761C5}"},
      {CLSID_InfTee, "{F8388A40-D5BB-11D0-BE5A-0080C706568E}"},
      {CLSID_SystemDeviceEnum, "{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}"},
      {CLSID_VideoInputDeviceCategory, "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"},
      {CLSID_VfwCapture, "{1B544C22-FD0B-11CE-8C63-00AA0044B51E}"},
      {CLSID_DVVideoCodec, "{B1B77C00-C3E4-11CF-AF79-00AA00B67A42}"},
  };
  for (const Case& c : cases) EXPECT_EQ(GuidToString(c.guid), c.text);
}

// Catches: a video type whose bitmap header disagrees with its subtype (size, bits, compression).
TEST(MediaType, VideoBuildsConsistentHeader) {
  struct Case {
    const GUID& subtype;
    int bits;
    DWORD bytes;
    DWORD compression;
  } cases[] = {
      {MEDIASUBTYPE_RGB24, 24, 640 * 480 * 3, BI_RGB},
      {MEDIASUBTYPE_RGB32, 32, 640 * 480 * 4, BI_RGB},
      {MEDIASUBTYPE_RGB565, 16, 640 * 480 * 2, BI_BITFIELDS},
      {MEDIASUBTYPE_YUY2, 16, 640 * 480 * 2, MakeFourcc('Y', 'U', 'Y', '2')},
      {MEDIASUBTYPE_I420, 12, 640 * 480 * 3 / 2, MakeFourcc('I', '4', '2', '0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SubtypeName(c.subtype));
    MediaType mt = MediaType::Video(c.subtype, 640, 480, UNITS / 30);
    const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt);
    ASSERT_NE(bih, nullptr);
    EXPECT_EQ(bih->biBitCount, c.bits);
    EXPECT_EQ(bih->biSizeImage, c.bytes);
    EXPECT_EQ(bih->biCompression, c.compression);
    EXPECT_EQ(GetAvgTimePerFrame(*mt), UNITS / 30);
    EXPECT_EQ(mt.Width(), 640);
    EXPECT_EQ(mt.Height(), 480);
  }
  // RGB rows are padded to 4 bytes: 3 pixels of 24 bits take 12 bytes a row.
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_RGB24, 3, 2), 24u);
}

// Catches: frame sizes computed in 32 bits, so a frame of more than 4 GB gets a wrapped, too
// small size (RGB24 40000 x 40000 came out as 505032704 bytes) that buffers are made from.
TEST(MediaType, FramesTooLargeForADwordHaveNoSize) {
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_RGB24, 40000, 40000), 0u);
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_YUY2, 65536, 65536), 0u);
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_RGB32, 0x7FFFFFFF, 0x7FFFFFFF), 0u);
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_I420, 0x7FFFFFFF, 0x7FFFFFFF), 0u);
  // The largest that fits is still exact.
  EXPECT_EQ(SubtypeFrameBytes(MEDIASUBTYPE_RGB32, 32768, 32767), 32768u * 32767u * 4u);
  for (const GUID& subtype : {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_MJPG}) {
    SCOPED_TRACE(SubtypeName(subtype));
    MediaType mt = MediaType::Video(subtype, 40000, 40000, UNITS / 30);
    EXPECT_EQ(GetBitmapInfoHeader(*mt)->biSizeImage, 0u);
    EXPECT_EQ(mt->lSampleSize, 0u);
  }
}

// Catches: copies sharing the format block (double free) or pUnk not counted.
TEST(MediaType, CopyAndFreeOwnTheFormatBlock) {
  MediaType a = MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, 0);
  AM_MEDIA_TYPE* copy = CreateMediaType(a.Get());
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->pbFormat, a->pbFormat);
  EXPECT_TRUE(MediaTypesEqual(*copy, *a));
  DeleteMediaType(copy);
  MediaType b = a;
  EXPECT_TRUE(a == b);
  GetBitmapInfoHeader(*b.Get())->biWidth = 160;
  EXPECT_FALSE(a == b);
  EXPECT_EQ(a.Width(), 320);
  MediaType moved = std::move(b);
  EXPECT_EQ(moved.Width(), 160);
  EXPECT_EQ(b->pbFormat, nullptr);
  DeleteMediaType(nullptr);
}

// Catches: wildcard matching treating GUID_NULL as a value, or ignoring a given subtype.
TEST(MediaType, PartialMatching) {
  MediaType full = MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, 0);
  AM_MEDIA_TYPE partial{};
  EXPECT_TRUE(MediaTypeMatchesPartial(*full, partial));
  partial.majortype = MEDIATYPE_Video;
  EXPECT_TRUE(MediaTypeMatchesPartial(*full, partial));
  partial.subtype = MEDIASUBTYPE_RGB32;
  EXPECT_FALSE(MediaTypeMatchesPartial(*full, partial));
  partial.subtype = MEDIASUBTYPE_RGB24;
  partial.formattype = FORMAT_VideoInfo2;
  EXPECT_FALSE(MediaTypeMatchesPartial(*full, partial));
}

// Catches: a bitmap header read past a format block that is too short.
TEST(MediaType, ShortFormatBlockHasNoHeader) {
  MediaType mt;
  mt->majortype = MEDIATYPE_Video;
  mt->formattype = FORMAT_VideoInfo;
  mt.SetFormat(nullptr, sizeof(VIDEOINFOHEADER) - 4);
  EXPECT_EQ(GetBitmapInfoHeader(*mt), nullptr);
  mt->formattype = FORMAT_VideoInfo2;
  mt.SetFormat(nullptr, sizeof(VIDEOINFOHEADER));
  EXPECT_EQ(GetBitmapInfoHeader(*mt), nullptr);
}

}  // namespace
