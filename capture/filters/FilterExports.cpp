// The creation exports of the filter library, found by name after the library is loaded.
#include "capture/filters/FilterApi.h"
#include "capture/filters/Grabber.h"
#include "capture/filters/VideoTransform.h"
#include "platform/com/ComPtr.h"

#define FILTER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

template <class Filter, class... Args>
HRESULT Create(IBaseFilter** filter, Args... args) {
  if (!filter) return E_POINTER;
  *filter = MakeComObject<Filter>(args...).Detach();
  return S_OK;
}

HRESULT NotProvided(IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  return E_NOTIMPL;
}

}  // namespace

FILTER_EXPORT HRESULT CreateLocalGrabberInstance(IBaseFilter** filter) {
  return Create<GrabberFilter>(filter, true);
}

FILTER_EXPORT HRESULT CreateLocalGrabberInstanceNoModify(IBaseFilter** filter) {
  return Create<GrabberFilter>(filter, false);
}

FILTER_EXPORT HRESULT CreateLocalTransformInstance(IBaseFilter** filter) {
  return Create<VideoTransform>(filter);
}

// The clock, push source and raw file writer are not part of this library yet.
FILTER_EXPORT HRESULT CreateLocalCustClckInstance(IBaseFilter** filter) {
  return NotProvided(filter);
}

FILTER_EXPORT HRESULT CreateLocalPushSourceInstance(IBaseFilter** filter) {
  return NotProvided(filter);
}

FILTER_EXPORT HRESULT CreateLocalCFrwInstance(IBaseFilter** filter) {
  return NotProvided(filter);
}

// Every export matches the creation function type the loader calls through.
static_assert(std::is_same_v<decltype(&CreateLocalGrabberInstance), FilterCreateFunction>);
