// The video transform of the filter library: rotation by quarter turns (mirrored or not) or
// half-size deinterlacing of RGB24 and RGB32 video.
#pragma once

#include "capture/filters/FilterApi.h"
#include "platform/media/TransformFilter.h"

// Rotation swaps width and height for odd quarter turns; half-size deinterlacing keeps one field
// at half width and half height and takes precedence when both are set. The output keeps the
// input's subtype and row order.
// Thread: SetParams and connections on the control thread, only while stopped and unconnected
// downstream, so Transform (upstream streaming thread) reads params_ without a lock.
class VideoTransform final : public TransformFilter, public ITransformSetup {
 public:
  VideoTransform();

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return NonDelegatingQueryInterface(iid, object);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetParams(TransformParams* params) override;
  // VFW_E_NOT_STOPPED while running, VFW_E_ALREADY_CONNECTED once the output is connected.
  HRESULT SetParams(const TransformParams* params) override;

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override;
  HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) override;
  HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

 private:
  // The output's width and height for an input size.
  void OutputSize(int width, int height, int* outWidth, int* outHeight) const;

  TransformParams params_{};
};
