#include "platform/media/ReferenceClock.h"

#include <chrono>

REFERENCE_TIME SystemClockNow() {
  using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, UNITS>>;
  return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

HRESULT SystemClock::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IReferenceClock>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = SystemClockNow();
  return S_OK;
}

HRESULT SystemClock::AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, ULONG_PTR* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

HRESULT SystemClock::AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, ULONG_PTR* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

HRESULT SystemClock::Unadvise(ULONG_PTR) {
  return S_FALSE;
}
