#include "platform/com/Unknown.h"

HRESULT UnknownImpl::NonDelegatingQueryInterface(REFIID, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG UnknownImpl::AddRefImpl() {
  if (owner_) return owner_->AddRefImpl();
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG UnknownImpl::ReleaseImpl() {
  if (owner_) return owner_->ReleaseImpl();
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

ULONG UnknownImpl::RefCount() const {
  if (owner_) return owner_->RefCount();
  return refs_.load(std::memory_order_acquire);
}
