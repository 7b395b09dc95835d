// Analog parts of a virtual capture card: the crossbar, the TV tuner and their analog pins.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/FilterBase.h"
#include "platform/media/PinBase.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"

// Mediums wire the parts of one card together: the crossbar's output to the capture filter's
// analog input (kDecoderLink) and the tuner's output to the crossbar's tuner input (kTunerLink).
inline constexpr DWORD kDecoderLink = 0;
inline constexpr DWORD kTunerLink = 1;
// The medium of one link of the card named by displayName (the same name gives the same medium).
REGPINMEDIUM DeviceMedium(const std::u16string& displayName, DWORD link);

// Analog pins carry no samples; they only connect, with a MEDIATYPE_AnalogVideo type.
class AnalogInputPin final : public InputPin {
 public:
  AnalogInputPin(FilterBase* filter, std::u16string name) : InputPin(filter, std::move(name)) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;

 protected:
  HRESULT OnReceive(IMediaSample*) override { return S_OK; }
};

class AnalogOutputPin final : public OutputPin {
 public:
  AnalogOutputPin(FilterBase* filter, std::u16string name) : OutputPin(filter, std::move(name)) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;
};

// The crossbar: one input pin per named input, then the video output that feeds the decoder.
// Every video input can be routed to the output; input 0 is routed at first.
// Thread: control thread; the routing is atomic.
class VirtualCrossbar final : public FilterBase, public IAMCrossbar {
 public:
  explicit VirtualCrossbar(const VirtualDeviceConfig& config);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT get_PinCounts(long* outputCount, long* inputCount) override;
  HRESULT CanRoute(long outputIndex, long inputIndex) override;
  HRESULT Route(long outputIndex, long inputIndex) override;
  HRESULT get_IsRoutedTo(long outputIndex, long* inputIndex) override;
  HRESULT get_CrossbarPinInfo(BOOL isInput, long index, long* relatedIndex,
                              long* physicalType) override;

 private:
  std::vector<CrossbarInput> inputs_;
  std::atomic<long> routed_{0};
};

// The TV tuner: one analog video output; channels, country, mode and inputs are kept and read
// back. Thread: control thread (mutex_ guards the settings).
class VirtualTvTuner final : public FilterBase, public IAMTVTuner {
 public:
  explicit VirtualTvTuner(const VirtualDeviceConfig& config);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT put_Channel(long channel, long videoSubChannel, long audioSubChannel) override;
  HRESULT get_Channel(long* channel, long* videoSubChannel, long* audioSubChannel) override;
  HRESULT ChannelMinMax(long* channelMin, long* channelMax) override;
  HRESULT put_CountryCode(long countryCode) override;
  HRESULT get_CountryCode(long* countryCode) override;
  HRESULT put_TuningSpace(long tuningSpace) override;
  HRESULT get_TuningSpace(long* tuningSpace) override;
  HRESULT SignalPresent(long* signalStrength) override;
  HRESULT put_Mode(AMTunerModeType mode) override;
  HRESULT get_Mode(AMTunerModeType* mode) override;
  HRESULT GetAvailableModes(long* modes) override;
  HRESULT get_AvailableTVFormats(long* standards) override;
  HRESULT get_TVFormat(long* standard) override;
  HRESULT AutoTune(long channel, long* foundSignal) override;
  HRESULT StoreAutoTune() override;
  HRESULT get_NumInputConnections(long* count) override;
  HRESULT put_InputType(long index, TunerInputType inputType) override;
  HRESULT get_InputType(long index, TunerInputType* inputType) override;
  HRESULT put_ConnectInput(long index) override;
  HRESULT get_ConnectInput(long* index) override;
  HRESULT get_VideoFrequency(long* frequency) override;
  HRESULT get_AudioFrequency(long* frequency) override;

 private:
  static constexpr long kMinChannel = 2;
  static constexpr long kMaxChannel = 69;
  const long tvFormats_;
  const long tvFormat_;
  std::mutex mutex_;
  long channel_ = 4;
  long countryCode_ = 1;
  long tuningSpace_ = 0;
  AMTunerModeType mode_ = AMTUNER_MODE_TV;
  TunerInputType inputType_[2] = {TunerInputCable, TunerInputAntenna};
  long connectedInput_ = 0;
};
