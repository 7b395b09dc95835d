// A filter module loaded with dlopen by the media tests: an inverting video transform built on
// the lean filter base, and probes of the process-wide tables as the module sees them.
#include <cstring>

#include "platform/com/ComApi.h"
#include "platform/media/TransformFilter.h"

namespace {

constexpr CLSID kClsidInvertTransform = MakeGuid("{5C0A7E21-3B49-4D1E-9F0C-2A6B8D4E1F37}");

// Copies each sample with every byte inverted. Thread: as TransformFilter.
class InvertTransform final : public TransformFilter {
 public:
  InvertTransform() : TransformFilter(kClsidInvertTransform, u"Invert Transform") {}

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override {
    return in.majortype == MEDIATYPE_Video && in.subtype == MEDIASUBTYPE_RGB32 ? S_OK : S_FALSE;
  }
  HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override {
    return in.subtype == out.subtype ? S_OK : S_FALSE;
  }
  HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *out = MediaType(in);
    return S_OK;
  }
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
    BYTE* from = nullptr;
    BYTE* to = nullptr;
    in->GetPointer(&from);
    out->GetPointer(&to);
    const long bytes = in->GetActualDataLength();
    if (bytes > out->GetSize()) return E_UNEXPECTED;
    for (long i = 0; i < bytes; ++i) to[i] = static_cast<BYTE>(~from[i]);
    return out->SetActualDataLength(bytes);
  }
};

}  // namespace

extern "C" {

// Creates the transform; *filter gets the caller's reference.
__attribute__((visibility("default"))) HRESULT CreateInvertTransformInstance(IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = MakeComObject<InvertTransform>().Detach();
  return S_OK;
}

// Creates an object of clsid from the module's side of the class registry.
__attribute__((visibility("default"))) HRESULT ModuleCreateInstance(const CLSID* clsid,
                                                                    const IID* iid, void** object) {
  return CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, *iid, object);
}

// The calling thread's initialisation count as the module sees it.
__attribute__((visibility("default"))) int ModuleCoInitializeCount() {
  return CoInitializeCount();
}

// The module's identity of IBaseFilter, for comparison with the program's.
__attribute__((visibility("default"))) const IID* ModuleIidOfBaseFilter() {
  return &IID_IBaseFilter;
}

}  // extern "C"
