// The null renderer: takes any samples and discards them (counted).
#pragma once

#include "platform/media/RendererBase.h"

// Thread: as RendererBase.
class NullRenderer final : public RendererBase {
 public:
  NullRenderer();
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
};
