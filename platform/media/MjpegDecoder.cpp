#include "platform/media/MjpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <jpeglib.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data are expected from cameras; the frame is judged by its outcome.
void OnMessage(j_common_ptr) {}

const GUID* const kOutputs[] = {&MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB24};

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
  // Only bottom-up output of the same size: that is what DecodeJpegFrame writes.
  if (!ob || ob->biWidth != ib->biWidth || ob->biHeight != std::abs(ib->biHeight) ||
      ob->biBitCount != SubtypeBitCount(out.subtype))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT MjpegDecoder::GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) {
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int>(std::size(kOutputs))) return VFW_S_NO_MORE_ITEMS;
  const BITMAPINFOHEADER* ib = GetBitmapInfoHeader(in);
  if (!ib) return VFW_E_NOT_CONNECTED;
  *out = MediaType::Video(*kOutputs[position], ib->biWidth, std::abs(ib->biHeight),
                          GetAvgTimePerFrame(in));
  return S_OK;
}

HRESULT MjpegDecoder::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const BITMAPINFOHEADER* ob = GetBitmapInfoHeader(*Output()->CurrentMediaType());
  if (!DecodeJpegFrame(src, in->GetActualDataLength(), ob->biWidth, ob->biHeight, ob->biBitCount,
                       dst, out->GetSize()))
    return S_FALSE;  // a damaged frame: dropped and counted
  out->SetActualDataLength(DibRowBytes(ob->biWidth, ob->biBitCount) * ob->biHeight);
  out->SetSyncPoint(TRUE);
  return S_OK;
}
