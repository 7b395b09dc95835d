#include "platform/media/MediaType.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  FreeMediaType(*mt);
  CoTaskMemFree(mt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (!target || !source) return E_POINTER;
  if (target == source) return S_OK;
  *target = *source;
  if (source->cbFormat && source->pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (!target->pbFormat) {
      std::memset(target, 0, sizeof *target);
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->pbFormat = nullptr;
    target->cbFormat = 0;
  }
  if (target->pUnk) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, source))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (!(a.majortype == b.majortype) || !(a.subtype == b.subtype) ||
      !(a.formattype == b.formattype) || a.cbFormat != b.cbFormat)
    return false;
  if (a.cbFormat == 0) return true;
  if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
  return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE& partial) {
  if (!(partial.majortype == GUID_NULL) && !(partial.majortype == full.majortype)) return false;
  if (!(partial.subtype == GUID_NULL) && !(partial.subtype == full.subtype)) return false;
  if (!(partial.formattype == GUID_NULL)) {
    if (!(partial.formattype == full.formattype)) return false;
    if (partial.cbFormat && partial.pbFormat) {
      if (partial.cbFormat != full.cbFormat || !full.pbFormat) return false;
      if (std::memcmp(partial.pbFormat, full.pbFormat, partial.cbFormat) != 0) return false;
    }
  }
  return true;
}

const BITMAPINFOHEADER* GetBitmapInfoHeader(const AM_MEDIA_TYPE& mt) {
  if (!mt.pbFormat) return nullptr;
  if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
    return &reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
  if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(mt.pbFormat)->bmiHeader;
  return nullptr;
}

BITMAPINFOHEADER* GetBitmapInfoHeader(AM_MEDIA_TYPE& mt) {
  return const_cast<BITMAPINFOHEADER*>(GetBitmapInfoHeader(static_cast<const AM_MEDIA_TYPE&>(mt)));
}

REFERENCE_TIME GetAvgTimePerFrame(const AM_MEDIA_TYPE& mt) {
  if (!mt.pbFormat) return 0;
  if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame;
  if (mt.formattype == FORMAT_VideoInfo2 && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
    return reinterpret_cast<const VIDEOINFOHEADER2*>(mt.pbFormat)->AvgTimePerFrame;
  return 0;
}

namespace {

struct SubtypeInfo {
  const GUID* subtype;
  const char* name;
  int bitCount;  // bits per pixel of the frame; 0 for compressed formats
  bool rgb;
};

constexpr SubtypeInfo kSubtypes[] = {
    {&MEDIASUBTYPE_RGB1, "RGB1", 1, true},      {&MEDIASUBTYPE_RGB4, "RGB4", 4, true},
    {&MEDIASUBTYPE_RGB8, "RGB8", 8, true},      {&MEDIASUBTYPE_RGB565, "RGB565", 16, true},
    {&MEDIASUBTYPE_RGB555, "RGB555", 16, true}, {&MEDIASUBTYPE_RGB24, "RGB24", 24, true},
    {&MEDIASUBTYPE_RGB32, "RGB32", 32, true},   {&MEDIASUBTYPE_ARGB32, "ARGB32", 32, true},
    {&MEDIASUBTYPE_YUY2, "YUY2", 16, false},    {&MEDIASUBTYPE_YUYV, "YUYV", 16, false},
    {&MEDIASUBTYPE_UYVY, "UYVY", 16, false},    {&MEDIASUBTYPE_Y422, "Y422", 16, false},
    {&MEDIASUBTYPE_I420, "I420", 12, false},    {&MEDIASUBTYPE_IYUV, "IYUV", 12, false},
    {&MEDIASUBTYPE_YV12, "YV12", 12, false},    {&MEDIASUBTYPE_NV12, "NV12", 12, false},
    {&MEDIASUBTYPE_MJPG, "MJPG", 0, false},     {&MEDIASUBTYPE_MPEG2_VIDEO, "MPEG2", 0, false},
    {&MEDIASUBTYPE_dvsd, "dvsd", 0, false},     {&MEDIASUBTYPE_dvhd, "dvhd", 0, false},
    {&MEDIASUBTYPE_dvsl, "dvsl", 0, false},
};

const SubtypeInfo* FindSubtype(REFGUID subtype) {
  for (const SubtypeInfo& info : kSubtypes)
    if (*info.subtype == subtype) return &info;
  return nullptr;
}

}  // namespace

int SubtypeBitCount(REFGUID subtype) {
  const SubtypeInfo* info = FindSubtype(subtype);
  return info ? info->bitCount : 0;
}

bool IsRgbSubtype(REFGUID subtype) {
  const SubtypeInfo* info = FindSubtype(subtype);
  return info && info->rgb;
}

DWORD SubtypeFrameBytes(REFGUID subtype, int width, int height) {
  const int bits = SubtypeBitCount(subtype);
  if (bits == 0 || width <= 0 || height <= 0) return 0;
  // In 64 bits, and 0 for a frame a DWORD cannot hold rather than a wrapped size.
  constexpr std::uint64_t kMax = 0xFFFFFFFFu;
  const auto w = static_cast<std::uint64_t>(width);
  const auto h = static_cast<std::uint64_t>(height);
  if (IsRgbSubtype(subtype)) {
    const std::uint64_t row = (w * bits + 31) / 32 * 4;
    return row <= kMax / h ? static_cast<DWORD>(row * h) : 0;
  }
  // Planar 4:2:0 formats need even sizes; packed 4:2:2 an even width.
  return w * h <= kMax * 8 / bits ? static_cast<DWORD>(w * h * bits / 8) : 0;
}

std::string SubtypeName(REFGUID subtype) {
  const SubtypeInfo* info = FindSubtype(subtype);
  return info ? info->name : GuidToString(subtype);
}

MediaType::MediaType() {
  std::memset(&mt_, 0, sizeof mt_);
}

MediaType::MediaType(const AM_MEDIA_TYPE& source) : MediaType() {
  CopyMediaType(&mt_, &source);
}

MediaType::MediaType(const MediaType& other) : MediaType() {
  CopyMediaType(&mt_, &other.mt_);
}

MediaType::MediaType(MediaType&& other) noexcept : mt_(other.mt_) {
  std::memset(&other.mt_, 0, sizeof other.mt_);
}

MediaType& MediaType::operator=(const MediaType& other) {
  if (this != &other) {
    Clear();
    CopyMediaType(&mt_, &other.mt_);
  }
  return *this;
}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
  if (this != &other) {
    Clear();
    mt_ = other.mt_;
    std::memset(&other.mt_, 0, sizeof other.mt_);
  }
  return *this;
}

MediaType::~MediaType() {
  FreeMediaType(mt_);
}

void MediaType::Clear() {
  FreeMediaType(mt_);
  std::memset(&mt_, 0, sizeof mt_);
}

bool MediaType::SetFormat(const void* data, ULONG size) {
  BYTE* block = nullptr;
  if (size) {
    block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!block) return false;
    if (data)
      std::memcpy(block, data, size);
    else
      std::memset(block, 0, size);
  }
  if (mt_.pbFormat) CoTaskMemFree(mt_.pbFormat);
  mt_.pbFormat = block;
  mt_.cbFormat = size;
  return true;
}

MediaType MediaType::Video(REFGUID subtype, int width, int height, REFERENCE_TIME avgTimePerFrame) {
  MediaType mt;
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = subtype;
  mt->formattype = FORMAT_VideoInfo;
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = avgTimePerFrame;
  BITMAPINFOHEADER& bih = vih.bmiHeader;
  bih.biSize = sizeof(BITMAPINFOHEADER);
  bih.biWidth = width;
  bih.biHeight = height;
  bih.biPlanes = 1;
  const int bits = SubtypeBitCount(subtype);
  bih.biBitCount = static_cast<std::uint16_t>(bits ? bits : 24);
  if (IsRgbSubtype(subtype))
    bih.biCompression = subtype == MEDIASUBTYPE_RGB565 ? BI_BITFIELDS : BI_RGB;
  else
    bih.biCompression = subtype.Data1;
  bih.biSizeImage = SubtypeFrameBytes(subtype, width, height);
  if (bih.biSizeImage == 0 && width > 0 && height > 0) {
    // A compressed frame is given room for 3 bytes a pixel, as far as a DWORD holds it.
    const std::uint64_t room =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3;
    bih.biSizeImage = room <= 0xFFFFFFFFu ? static_cast<DWORD>(room) : 0;
  }
  if (avgTimePerFrame > 0)
    vih.dwBitRate = static_cast<DWORD>(std::min<long long>(
        0xFFFFFFFFll, static_cast<long long>(bih.biSizeImage) * 8 * UNITS / avgTimePerFrame));
  vih.rcSource = {0, 0, width, height};
  vih.rcTarget = {0, 0, width, height};
  mt->bFixedSizeSamples = SubtypeBitCount(subtype) != 0;
  mt->bTemporalCompression = FALSE;
  mt->lSampleSize = mt->bFixedSizeSamples ? bih.biSizeImage : 0;
  mt.SetFormat(&vih, sizeof vih);
  return mt;
}

int MediaType::Width() const {
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt_);
  return bih ? bih->biWidth : 0;
}

int MediaType::Height() const {
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt_);
  return bih ? std::abs(bih->biHeight) : 0;
}
