#include "platform/media/NullRenderer.h"

NullRenderer::NullRenderer() : RendererBase(CLSID_NullRenderer, u"Null Renderer") {}

HRESULT NullRenderer::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  return mt.majortype == GUID_NULL ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
}

HRESULT NullRenderer::DoRenderSample(IMediaSample*) {
  return S_OK;
}
