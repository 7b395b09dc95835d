// The system reference clock: a monotonic time in 100-nanosecond units.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/media/FilterInterfaces.h"

// Thread: any; the clock has no mutable state.
class SystemClock final : public IReferenceClock, public UnknownImpl {
 public:
  SystemClock() = default;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetTime(REFERENCE_TIME* time) override;
  // Event handles do not exist here: advise requests are refused with E_NOTIMPL.
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                     ULONG_PTR* cookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                         ULONG_PTR* cookie) override;
  HRESULT Unadvise(ULONG_PTR cookie) override;
};

// The monotonic time the system clock reports.
REFERENCE_TIME SystemClockNow();
