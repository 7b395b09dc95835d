#include "platform/media/ColorConverter.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <libyuv.h>

namespace {

bool IsYuvSubtype(REFGUID s) {
  return s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_YUYV || s == MEDIASUBTYPE_UYVY ||
         s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_IYUV || s == MEDIASUBTYPE_YV12 ||
         s == MEDIASUBTYPE_NV12;
}

bool IsRgbInput(REFGUID s) {
  return s == MEDIASUBTYPE_RGB24 || s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_ARGB32 ||
         s == MEDIASUBTYPE_RGB565 || s == MEDIASUBTYPE_RGB555;
}

const GUID* const kOutputs[] = {&MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB24, &MEDIASUBTYPE_RGB565,
                                &MEDIASUBTYPE_RGB555};

bool IsPackedYuv(REFGUID s) {
  return s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_YUYV || s == MEDIASUBTYPE_UYVY;
}

bool IsPlanarYuv(REFGUID s) {
  return s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_IYUV || s == MEDIASUBTYPE_YV12 ||
         s == MEDIASUBTYPE_NV12;
}

// The luma (or packed) row stride of a YUV input. Rows are packed unless the frame size says
// otherwise: capture drivers pad rows (V4L2 bytesperline), and a frame size of exactly stride x
// rows (x 3/2 for 4:2:0) with a stride above the packed row gives that stride.
long YuvStride(REFGUID s, int w, int h, DWORD sizeImage) {
  const long packed = IsPackedYuv(s) ? 2L * w : w;
  if (h <= 0 || sizeImage == 0) return packed;
  const bool planar = IsPlanarYuv(s);
  const long stride =
      planar ? static_cast<long>(sizeImage) * 2 / (3L * h) : static_cast<long>(sizeImage) / h;
  const long size = planar ? stride * h * 3 / 2 : stride * h;
  if (stride > packed && size == static_cast<long>(sizeImage) &&
      (!planar || (stride % 2 == 0 && h % 2 == 0)))
    return stride;
  return packed;
}

// Bytes the input frame must have, with its row layout.
long InputBytesNeeded(REFGUID s, int w, int h, long stride) {
  if (IsPackedYuv(s)) return stride * h;
  if (IsPlanarYuv(s)) {
    if (stride > w) return stride * h + stride * ((h + 1) / 2);
    return static_cast<long>(w) * h + 2L * ((w + 1) / 2) * ((h + 1) / 2);
  }
  return static_cast<long>(DibRowBytes(w, SubtypeBitCount(s))) * h;
}

// Converts the input into 32-bit rows (B, G, R, A in memory) of dst. Height negative flips.
// stride is the input's (luma) row stride for YUV.
bool ToArgb(REFGUID s, const BYTE* in, long stride, int w, int h, BYTE* dst, int dstStride) {
  const int absH = std::abs(h);
  const int st = static_cast<int>(stride);
  int r = -1;
  if (s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_YUYV) {
    r = libyuv::YUY2ToARGB(in, st, dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_UYVY) {
    r = libyuv::UYVYToARGB(in, st, dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_IYUV || s == MEDIASUBTYPE_YV12) {
    const bool padded = st > w;
    const int cw = padded ? st / 2 : (w + 1) / 2, ch = (absH + 1) / 2;
    const BYTE* y = in;
    const BYTE* u = in + static_cast<long>(st) * absH;
    const BYTE* v = u + static_cast<long>(cw) * ch;
    if (s == MEDIASUBTYPE_YV12) std::swap(u, v);  // YV12 stores V before U
    r = libyuv::I420ToARGB(y, st, u, cw, v, cw, dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_NV12) {
    const BYTE* uv = in + static_cast<long>(st) * absH;
    r = libyuv::NV12ToARGB(in, st, uv, st > w ? st : 2 * ((w + 1) / 2), dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_ARGB32) {
    r = libyuv::ARGBCopy(in, DibRowBytes(w, 32), dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_RGB24) {
    r = libyuv::RGB24ToARGB(in, DibRowBytes(w, 24), dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_RGB565) {
    r = libyuv::RGB565ToARGB(in, DibRowBytes(w, 16), dst, dstStride, w, h);
  } else if (s == MEDIASUBTYPE_RGB555) {
    r = libyuv::ARGB1555ToARGB(in, DibRowBytes(w, 16), dst, dstStride, w, h);
  }
  return r == 0;
}

bool FromArgb(const BYTE* argb, int argbStride, REFGUID s, BYTE* out, int w, int h) {
  int r = -1;
  if (s == MEDIASUBTYPE_RGB24)
    r = libyuv::ARGBToRGB24(argb, argbStride, out, DibRowBytes(w, 24), w, h);
  else if (s == MEDIASUBTYPE_RGB565)
    r = libyuv::ARGBToRGB565(argb, argbStride, out, DibRowBytes(w, 16), w, h);
  else if (s == MEDIASUBTYPE_RGB555)
    r = libyuv::ARGBToARGB1555(argb, argbStride, out, DibRowBytes(w, 16), w, h);
  return r == 0;
}

}  // namespace

bool ConvertFrame(const AM_MEDIA_TYPE& inType, const BYTE* in, long inBytes,
                  const AM_MEDIA_TYPE& outType, BYTE* out, long outBytes,
                  std::vector<BYTE>& scratch) {
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(inType);
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(outType);
  if (!ib || !ob || !in || !out) return false;
  const int w = ib->biWidth, h = std::abs(ib->biHeight);
  if (w <= 0 || h <= 0 || ob->biWidth != w || std::abs(ob->biHeight) != h) return false;
  if (!ColorConverter::IsInputSubtype(inType.subtype) ||
      !ColorConverter::IsOutputSubtype(outType.subtype))
    return false;
  const long stride = IsYuvSubtype(inType.subtype)
                          ? YuvStride(inType.subtype, w, h, ib->biSizeImage)
                          : static_cast<long>(DibRowBytes(w, SubtypeBitCount(inType.subtype)));
  if (inBytes < InputBytesNeeded(inType.subtype, w, h, stride)) return false;
  const int outBits = SubtypeBitCount(outType.subtype);
  if (outBytes < static_cast<long>(DibRowBytes(w, outBits)) * h) return false;

  // YUV is always stored top row first; RGB bottom row first unless its height is negative.
  const bool inTopDown = IsYuvSubtype(inType.subtype) || ib->biHeight < 0;
  const bool outTopDown = ob->biHeight < 0;
  const int signedH = inTopDown != outTopDown ? -h : h;  // libyuv flips on a negative height

  if (outType.subtype == MEDIASUBTYPE_RGB32)
    return ToArgb(inType.subtype, in, stride, w, signedH, out, DibRowBytes(w, 32));
  const int argbStride = w * 4;
  scratch.resize(static_cast<std::size_t>(argbStride) * h);
  return ToArgb(inType.subtype, in, stride, w, signedH, scratch.data(), argbStride) &&
         FromArgb(scratch.data(), argbStride, outType.subtype, out, w, h);
}

ColorConverter::ColorConverter() : TransformFilter(CLSID_Colour, u"Color Space Converter") {}

bool ColorConverter::IsInputSubtype(REFGUID subtype) {
  return IsYuvSubtype(subtype) || IsRgbInput(subtype);
}

bool ColorConverter::IsOutputSubtype(REFGUID subtype) {
  for (const GUID* s : kOutputs)
    if (*s == subtype) return true;
  return false;
}

HRESULT ColorConverter::CheckInputType(const AM_MEDIA_TYPE& in) {
  if (!(in.majortype == MEDIATYPE_Video) || !IsInputSubtype(in.subtype))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(in);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0) return VFW_E_TYPE_NOT_ACCEPTED;
  // Packed and planar chroma covers pixel pairs.
  if (IsYuvSubtype(in.subtype) && (bih->biWidth % 2 != 0)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT ColorConverter::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
  if (CheckInputType(in) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!(out.majortype == MEDIATYPE_Video) || !IsOutputSubtype(out.subtype))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(in);
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(out);
  if (!ob || ob->biWidth != ib->biWidth || std::abs(ob->biHeight) != std::abs(ib->biHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  if (ob->biBitCount != SubtypeBitCount(out.subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
  // A conversion to the same type is no conversion: the graph must not insert us for it.
  if (in.subtype == out.subtype && ib->biHeight == ob->biHeight) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT ColorConverter::GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) {
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int>(std::size(kOutputs))) return VFW_S_NO_MORE_ITEMS;
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(in);
  if (!ib) return VFW_E_NOT_CONNECTED;
  *out = MediaType::Video(*kOutputs[position], ib->biWidth, std::abs(ib->biHeight),
                          GetAvgTimePerFrame(in));
  return S_OK;
}

HRESULT ColorConverter::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const AM_MEDIA_TYPE& inType = *Input()->CurrentMediaType();
  const AM_MEDIA_TYPE& outType = *Output()->CurrentMediaType();
  // A short frame (a device that delivered part of one) is dropped, not an error.
  if (!ConvertFrame(inType, src, in->GetActualDataLength(), outType, dst, out->GetSize(), argb_))
    return S_FALSE;
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(outType);
  out->SetActualDataLength(DibRowBytes(ob->biWidth, ob->biBitCount) * std::abs(ob->biHeight));
  return S_OK;
}
