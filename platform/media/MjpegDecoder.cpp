#include "platform/media/MjpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>
#include <libyuv.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool truncated = false;
};

void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data are expected from cameras; the frame is judged by its outcome.
void OnMessage(j_common_ptr) {}

// Notes a frame that ends before its picture does (the decoder fills the rest with grey).
void OnEmit(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<ErrorManager*>(info->err)->truncated = true;
}

const GUID* const kOutputs[] = {&MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB24};
// The decoder's own scales, in eighths, largest first.
constexpr int kScaleEighths[] = {8, 4, 2, 1};

// A side at a scale, rounded up as libjpeg-turbo rounds it.
long ScaledSide(long side, int eighths) {
  return (side * eighths + 7) / 8;
}

}  // namespace

// Plain C-style on purpose: longjmp leaves this frame, so it holds no objects with destructors.
bool DecodeJpegFrame(const BYTE* data, long bytes, int width, int height, int bitCount, BYTE* out,
                     long outBytes) {
  if (!data || bytes < 4 || !out || (bitCount != 24 && bitCount != 32)) return false;
  const long stride = DibRowBytes(width, bitCount);
  if (outBytes < stride * height) return false;
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(bytes));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      static_cast<int>(info.image_width) != width ||
      static_cast<int>(info.image_height) != height) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = bitCount == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    // Bottom-up bitmap: picture row r goes to stored row height - 1 - r.
    JSAMPROW row = out + stride * (height - 1 - static_cast<long>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

namespace {

// Reads the header and decodes at the smallest of the scales 1/8, 1/4, 1/2 and 1 (the ones
// libjpeg-turbo runs with SIMD) that is at least width x height, into top-down BGRX rows from
// reserve; C-style like DecodeJpegFrame, as longjmp leaves it.
bool DecodeAtScale(const BYTE* data, long bytes, int width, int height,
                   BYTE* (*reserve)(void*, long), void* context, int* scaledWidth,
                   int* scaledHeight, BYTE** pixels) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  errors.base.emit_message = OnEmit;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(bytes));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRX;
  info.scale_denom = 8;
  for (info.scale_num = 1; info.scale_num < 8; info.scale_num *= 2) {
    jpeg_calc_output_dimensions(&info);
    if (static_cast<int>(info.output_width) >= width &&
        static_cast<int>(info.output_height) >= height)
      break;
  }
  jpeg_start_decompress(&info);
  const long stride = 4L * info.output_width;
  BYTE* target = reserve(context, stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = target + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  *scaledWidth = static_cast<int>(info.output_width);
  *scaledHeight = static_cast<int>(info.output_height);
  *pixels = target;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return !errors.truncated;
}

}  // namespace

bool DecodeJpegScaled(const BYTE* data, long bytes, int width, int height, int bitCount, BYTE* out,
                      long outBytes, std::vector<BYTE>& scratch) {
  if (!data || bytes < 4 || !out || width <= 0 || height <= 0 || (bitCount != 24 && bitCount != 32))
    return false;
  const long stride = DibRowBytes(width, bitCount);
  if (outBytes < stride * height) return false;
  // scratch: the decoded picture first, then (for RGB24) the scaled BGRX picture.
  const long finalBytes = bitCount == 24 ? 4L * width * height : 0;
  struct Context {
    std::vector<BYTE>* scratch;
    long extra;
  } context{&scratch, finalBytes};
  int w = 0, h = 0;
  BYTE* decoded = nullptr;
  auto reserve = [](void* c, long size) -> BYTE* {
    auto* ctx = static_cast<Context*>(c);
    ctx->scratch->resize(static_cast<std::size_t>(size + ctx->extra));
    return ctx->scratch->data();
  };
  if (!DecodeAtScale(data, bytes, width, height, reserve, &context, &w, &h, &decoded)) return false;
  // A negative source height turns the top-down picture into bottom-up rows.
  if (bitCount == 32)
    return libyuv::ARGBScale(decoded, 4 * w, w, -h, out, static_cast<int>(stride), width, height,
                             libyuv::kFilterBox) == 0;
  BYTE* argb = scratch.data() + 4L * w * h;
  return libyuv::ARGBScale(decoded, 4 * w, w, -h, argb, 4 * width, width, height,
                           libyuv::kFilterBox) == 0 &&
         libyuv::ARGBToRGB24(argb, 4 * width, out, static_cast<int>(stride), width, height) == 0;
}

MjpegDecoder::MjpegDecoder() : TransformFilter(CLSID_MjpegDec, u"MJPEG Decompressor") {}

HRESULT MjpegDecoder::CheckInputType(const AM_MEDIA_TYPE& in) {
  if (!(in.majortype == MEDIATYPE_Video) || !(in.subtype == MEDIASUBTYPE_MJPG))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(in);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT MjpegDecoder::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
  if (CheckInputType(in) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!(out.majortype == MEDIATYPE_Video) ||
      !(out.subtype == MEDIASUBTYPE_RGB32 || out.subtype == MEDIASUBTYPE_RGB24))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(in);
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(out);
  // Bottom-up output of the input's size or smaller: smaller frames are decoded at a reduced
  // scale and scaled the rest of the way.
  if (!ob || ob->biWidth <= 0 || ob->biWidth > ib->biWidth || ob->biHeight <= 0 ||
      ob->biHeight > std::abs(ib->biHeight) || ob->biBitCount != SubtypeBitCount(out.subtype))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT MjpegDecoder::GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) {
  if (position < 0) return E_INVALIDARG;
  // Each scale in both subtypes, full size first.
  const int subtypes = static_cast<int>(std::size(kOutputs));
  if (position >= subtypes * static_cast<int>(std::size(kScaleEighths))) return VFW_S_NO_MORE_ITEMS;
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(in);
  if (!ib) return VFW_E_NOT_CONNECTED;
  const int eighths = kScaleEighths[position / subtypes];
  *out = MediaType::Video(*kOutputs[position % subtypes], ScaledSide(ib->biWidth, eighths),
                          ScaledSide(std::abs(ib->biHeight), eighths), GetAvgTimePerFrame(in));
  return S_OK;
}

HRESULT MjpegDecoder::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(*Input()->CurrentMediaType());
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(*Output()->CurrentMediaType());
  const bool fullSize = ob->biWidth == ib->biWidth && ob->biHeight == std::abs(ib->biHeight);
  const bool decoded =
      fullSize ? DecodeJpegFrame(src, in->GetActualDataLength(), ob->biWidth, ob->biHeight,
                                 ob->biBitCount, dst, out->GetSize())
               : DecodeJpegScaled(src, in->GetActualDataLength(), ob->biWidth, ob->biHeight,
                                  ob->biBitCount, dst, out->GetSize(), scratch_);
  if (!decoded) return S_FALSE;  // a damaged frame: dropped and counted
  out->SetActualDataLength(DibRowBytes(ob->biWidth, ob->biBitCount) * ob->biHeight);
  out->SetSyncPoint(TRUE);
  return S_OK;
}
