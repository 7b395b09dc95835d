// IAMCameraControl as a part of a capture filter, answered by the filter's camera controls.
#pragma once

#include <memory>
#include <utility>

#include "platform/com/Unknown.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/FilterBase.h"

// IAMCameraControl's methods share their names with IAMVideoProcAmp's, so one class cannot
// implement both: the filter implements IAMVideoProcAmp and holds this part, which takes its
// identity and references from the filter. Controls has GetRange, Set, Get and Empty in the
// interface's shape (V4L2, PipeWire or virtual device controls).
// Thread: that of the owning filter's interfaces; the part holds no state of its own.
template <typename Controls>
class CameraControlPart final : public IAMCameraControl, public UnknownImpl {
 public:
  CameraControlPart(FilterBase* owner, std::unique_ptr<Controls> controls)
      : UnknownImpl(owner), owner_(owner), controls_(std::move(controls)) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return owner_->QueryInterface(iid, object);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                   long* capsFlags) override {
    return controls_->GetRange(property, min, max, step, defaultValue, capsFlags);
  }
  HRESULT Set(long property, long value, long flags) override {
    return controls_->Set(property, value, flags);
  }
  HRESULT Get(long property, long* value, long* flags) override {
    return controls_->Get(property, value, flags);
  }
  bool Empty() const { return controls_->Empty(); }

 private:
  FilterBase* owner_;
  std::unique_ptr<Controls> controls_;
};
