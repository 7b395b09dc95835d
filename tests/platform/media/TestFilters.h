// Filters for the media tests: a synthetic frame source, a recording sink, a fake crossbar and a
// fake device enumerator that lists it.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/com/ComApi.h"
#include "platform/media/Interfaces.h"
#include "platform/media/RendererBase.h"
#include "platform/media/SourceFilter.h"

// Fills one frame of the connected type; frame counts from 0.
using FrameFiller =
    std::function<void(const AM_MEDIA_TYPE& mt, BYTE* data, long bytes, long frame)>;

struct SourceOptions {
  std::vector<MediaType> types;  // offered in this order
  int frameIntervalMs = 0;       // 0: as fast as downstream takes them
  FrameFiller fill;              // nullptr: zero bytes
  long failAtFrame = -1;         // FillBuffer fails with failCode at this frame
  HRESULT failCode = E_FAIL;
  long endAtFrame = -1;                  // FillBuffer ends the stream (S_FALSE) at this frame
  GUID category = PIN_CATEGORY_CAPTURE;  // GUID_NULL: none
  HRESULT pauseResult = S_OK;            // a failure here makes Pause (and so Run) fail
};

class SyntheticSource;

class SyntheticStream final : public SourceStream {
 public:
  SyntheticStream(SyntheticSource* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;
  long FramesFilled() const { return frame_.load(); }

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadStart() override;

 private:
  SyntheticSource* owner_;
  std::atomic<long> frame_{0};
};

// Thread: control thread; its stream fills frames on the streaming thread.
class SyntheticSource final : public SourceFilter {
 public:
  explicit SyntheticSource(SourceOptions options, std::u16string name = u"Synthetic Source");
  ~SyntheticSource() override;
  const SourceOptions& Options() const { return options_; }
  SyntheticStream* Stream() const { return stream_; }
  // An analog input wired to medium (for crossbar tests).
  InputPin* AddAnalogInput(const REGPINMEDIUM& medium);

 protected:
  HRESULT OnPause() override { return options_.pauseResult; }

 private:
  SourceOptions options_;
  SyntheticStream* stream_;
};

// Keeps a copy of the last sample and counts all; accepts the given subtypes (empty: any video).
class RecordingSink final : public RendererBase {
 public:
  explicit RecordingSink(std::vector<GUID> subtypes = {}, std::u16string name = u"Recording Sink");
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  long Count() const { return count_.load(); }
  std::vector<BYTE> LastFrame() const;
  // Makes the next render calls block until released (to hold frames in flight).
  void SetRenderDelayMs(int ms) { delayMs_.store(ms); }

 private:
  std::vector<GUID> subtypes_;
  std::atomic<long> count_{0};
  std::atomic<int> delayMs_{0};
  mutable std::mutex mutex_;  // guards last_
  std::vector<BYTE> last_;
};

// A crossbar with one analog video output wired to outputMedium and one tuner input wired to
// inputMedium (GUID_NULL medium: no input).
class FakeCrossbar final : public FilterBase, public IAMCrossbar {
 public:
  FakeCrossbar(const REGPINMEDIUM& outputMedium, const REGPINMEDIUM& inputMedium);
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT get_PinCounts(long* outputCount, long* inputCount) override;
  HRESULT CanRoute(long outputIndex, long inputIndex) override;
  HRESULT Route(long outputIndex, long inputIndex) override;
  HRESULT get_IsRoutedTo(long outputIndex, long* inputIndex) override;
  HRESULT get_CrossbarPinInfo(BOOL isInput, long index, long* relatedIndex,
                              long* physicalType) override;

 private:
  long routed_ = 0;
};

// A stand-in for the system device enumerator listing the given crossbars (by friendly name)
// in AM_KSCATEGORY_CROSSBAR; registered over CLSID_SystemDeviceEnum while it lives.
struct FakeCrossbarDevice {
  std::u16string friendlyName;
  REGPINMEDIUM outputMedium;
  REGPINMEDIUM inputMedium;
};

class FakeDeviceEnumRegistration {
 public:
  explicit FakeDeviceEnumRegistration(std::vector<FakeCrossbarDevice> crossbars);
  int BindCount() const { return *binds_; }

 private:
  std::shared_ptr<int> binds_;
  ScopedClassRegistration registration_;
};

// Builds a test medium.
REGPINMEDIUM TestMedium(DWORD id);
