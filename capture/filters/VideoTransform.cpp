#include "capture/filters/VideoTransform.h"

#include <cstdlib>

#include "capture/filters/PictureOps.h"

namespace {

constexpr CLSID kClsidVideoTransform = MakeGuid("{C3E8147A-6D2B-4F05-8B91-E07A35D2C6F4}");

bool IsSupportedSubtype(REFGUID subtype) {
  return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32;
}

PictureView ViewOf(BYTE* bits, const BITMAPINFOHEADER& h) {
  return PictureView{
      bits,         h.biWidth,     std::abs(h.biHeight), DibRowBytes(h.biWidth, h.biBitCount),
      h.biBitCount, h.biHeight < 0};
}

}  // namespace

VideoTransform::VideoTransform() : TransformFilter(kClsidVideoTransform, u"Video Transform") {}

HRESULT VideoTransform::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_ITransformSetup) {
    AddRef();
    *object = static_cast<ITransformSetup*>(this);
    return S_OK;
  }
  return TransformFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT VideoTransform::GetParams(TransformParams* params) {
  if (!params) return E_POINTER;
  *params = params_;
  return S_OK;
}

HRESULT VideoTransform::SetParams(const TransformParams* params) {
  if (!params) return E_POINTER;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  if (Output()->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (params->Rotation < 0 || params->Rotation > 7) return E_INVALIDARG;
  // Only the input's subtype is produced.
  if (!(params->OutputSubtype == GUID_NULL)) return E_INVALIDARG;
  params_ = *params;
  return S_OK;
}

void VideoTransform::OutputSize(int width, int height, int* outWidth, int* outHeight) const {
  if (params_.HalfSizeDeinterlacing) {
    *outWidth = std::max(1, width / 2);
    *outHeight = std::max(1, height / 2);
  } else if (params_.Rotation & 1) {
    *outWidth = height;
    *outHeight = width;
  } else {
    *outWidth = width;
    *outHeight = height;
  }
}

HRESULT VideoTransform::CheckInputType(const AM_MEDIA_TYPE& in) {
  if (!(in.majortype == MEDIATYPE_Video) || !IsSupportedSubtype(in.subtype)) return S_FALSE;
  const BITMAPINFOHEADER* h = in.formattype == FORMAT_VideoInfo ? GetBitmapInfoHeader(in) : nullptr;
  if (!h || h->biWidth <= 0 || h->biHeight == 0 || h->biBitCount != SubtypeBitCount(in.subtype))
    return S_FALSE;
  return S_OK;
}

HRESULT VideoTransform::CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) {
  if (!(out.majortype == MEDIATYPE_Video) || !(out.subtype == in.subtype)) return S_FALSE;
  const BITMAPINFOHEADER* hin = GetBitmapInfoHeader(in);
  const BITMAPINFOHEADER* hout =
      out.formattype == FORMAT_VideoInfo ? GetBitmapInfoHeader(out) : nullptr;
  if (!hin || !hout || hout->biBitCount != hin->biBitCount) return S_FALSE;
  int width = 0, height = 0;
  OutputSize(hin->biWidth, std::abs(hin->biHeight), &width, &height);
  if (hout->biWidth != width || std::abs(hout->biHeight) != height) return S_FALSE;
  return S_OK;
}

HRESULT VideoTransform::GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const BITMAPINFOHEADER* hin = GetBitmapInfoHeader(in);
  if (!hin) return VFW_E_INVALIDMEDIATYPE;
  int width = 0, height = 0;
  OutputSize(hin->biWidth, std::abs(hin->biHeight), &width, &height);
  *out = MediaType::Video(in.subtype, width, height, GetAvgTimePerFrame(in));
  // Keep the input's row order.
  if (hin->biHeight < 0) GetBitmapInfoHeader(*out->Get())->biHeight = -height;
  return S_OK;
}

HRESULT VideoTransform::Transform(IMediaSample* in, IMediaSample* out) {
  const BITMAPINFOHEADER* hin = GetBitmapInfoHeader(*Input()->CurrentMediaType());
  const BITMAPINFOHEADER* hout = GetBitmapInfoHeader(*Output()->CurrentMediaType());
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  if (!hin || !hout || FAILED(in->GetPointer(&from)) || FAILED(out->GetPointer(&to)))
    return E_UNEXPECTED;
  const PictureView source = ViewOf(from, *hin);
  const PictureView target = ViewOf(to, *hout);
  const long inBytes = static_cast<long>(source.strideBytes) * source.height;
  const long outBytes = static_cast<long>(target.strideBytes) * target.height;
  // A short input sample is dropped and counted, not an error of the stream.
  if (in->GetActualDataLength() < inBytes) return S_FALSE;
  if (out->GetSize() < outBytes) return E_UNEXPECTED;
  if (params_.HalfSizeDeinterlacing)
    DeinterlaceHalfSize(source, target);
  else
    RotatePicture(source, target, params_.Rotation & 3, params_.Rotation >= 4);
  return out->SetActualDataLength(outBytes);
}
