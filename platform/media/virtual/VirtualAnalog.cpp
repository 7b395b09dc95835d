#include "platform/media/virtual/VirtualAnalog.h"

#include <functional>

namespace {

MediaType AnalogVideoType() {
  MediaType mt;
  mt->majortype = MEDIATYPE_AnalogVideo;
  mt->subtype = MEDIASUBTYPE_AnalogVideo_NTSC_M;
  mt->formattype = FORMAT_None;
  return mt;
}

HRESULT CheckAnalog(const AM_MEDIA_TYPE& mt) {
  return mt.majortype == MEDIATYPE_AnalogVideo ? S_OK : S_FALSE;
}

}  // namespace

REGPINMEDIUM DeviceMedium(const std::u16string& displayName, DWORD link) {
  // A GUID of the card's own (two different hashes of its name) keeps cards apart.
  const std::size_t h1 = std::hash<std::u16string>{}(displayName);
  const std::size_t h2 = std::hash<std::u16string>{}(displayName + u"#medium");
  GUID g{};
  g.Data1 = static_cast<DWORD>(h1);
  g.Data2 = static_cast<WORD>(h1 >> 32);
  g.Data3 = static_cast<WORD>(h1 >> 48);
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(h2 >> (i * 8));
  return REGPINMEDIUM{g, link, 0};
}

HRESULT AnalogInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  return CheckAnalog(mt);
}
HRESULT AnalogInputPin::GetMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = AnalogVideoType();
  return S_OK;
}
HRESULT AnalogOutputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  return CheckAnalog(mt);
}
HRESULT AnalogOutputPin::GetMediaType(int position, MediaType* mt) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = AnalogVideoType();
  return S_OK;
}

// ---- crossbar

VirtualCrossbar::VirtualCrossbar(const VirtualDeviceConfig& config)
    : FilterBase(CLSID_Proxy, config.friendlyName + u" Crossbar"), inputs_(config.crossbarInputs) {
  for (const CrossbarInput& in : inputs_) {
    auto pin = std::make_unique<AnalogInputPin>(this, in.name);
    if (in.physicalType == PhysConn_Video_Tuner && config.tvTuner)
      pin->SetMedium(DeviceMedium(config.displayName, kTunerLink));
    AddPin(std::move(pin));
  }
  auto out = std::make_unique<AnalogOutputPin>(this, u"Video Decoder Out");
  out->SetMedium(DeviceMedium(config.displayName, kDecoderLink));
  AddPin(std::move(out));
}

HRESULT VirtualCrossbar::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IAMCrossbar>(this, iid, object)) return S_OK;
  return FilterBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT VirtualCrossbar::get_PinCounts(long* outputCount, long* inputCount) {
  if (!outputCount || !inputCount) return E_POINTER;
  *outputCount = 1;
  *inputCount = static_cast<long>(inputs_.size());
  return S_OK;
}

HRESULT VirtualCrossbar::CanRoute(long outputIndex, long inputIndex) {
  if (outputIndex != 0 || inputIndex < 0 || inputIndex >= static_cast<long>(inputs_.size()))
    return S_FALSE;
  // Audio connectors cannot feed the video decoder.
  return inputs_[static_cast<std::size_t>(inputIndex)].physicalType < PhysConn_Audio_Tuner
             ? S_OK
             : S_FALSE;
}

HRESULT VirtualCrossbar::Route(long outputIndex, long inputIndex) {
  if (CanRoute(outputIndex, inputIndex) != S_OK) return E_INVALIDARG;
  routed_.store(inputIndex);
  return S_OK;
}

HRESULT VirtualCrossbar::get_IsRoutedTo(long outputIndex, long* inputIndex) {
  if (!inputIndex) return E_POINTER;
  if (outputIndex != 0) return E_INVALIDARG;
  *inputIndex = routed_.load();
  return S_OK;
}

HRESULT VirtualCrossbar::get_CrossbarPinInfo(BOOL isInput, long index, long* relatedIndex,
                                             long* physicalType) {
  if (!relatedIndex || !physicalType) return E_POINTER;
  *relatedIndex = -1;
  if (isInput) {
    if (index < 0 || index >= static_cast<long>(inputs_.size())) return E_INVALIDARG;
    *physicalType = inputs_[static_cast<std::size_t>(index)].physicalType;
    return S_OK;
  }
  if (index != 0) return E_INVALIDARG;
  *physicalType = PhysConn_Video_VideoDecoder;
  return S_OK;
}

// ---- tuner

VirtualTvTuner::VirtualTvTuner(const VirtualDeviceConfig& config)
    : FilterBase(CLSID_Proxy, config.friendlyName + u" TV Tuner"),
      tvFormats_(config.tvFormats),
      tvFormat_(config.tvFormat) {
  auto out = std::make_unique<AnalogOutputPin>(this, u"Analog Video");
  out->SetMedium(DeviceMedium(config.displayName, kTunerLink));
  AddPin(std::move(out));
}

HRESULT VirtualTvTuner::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IAMTVTuner>(this, iid, object)) return S_OK;
  return FilterBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT VirtualTvTuner::put_Channel(long channel, long, long) {
  if (channel < kMinChannel || channel > kMaxChannel) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  channel_ = channel;
  return S_OK;
}
HRESULT VirtualTvTuner::get_Channel(long* channel, long* videoSubChannel, long* audioSubChannel) {
  if (!channel || !videoSubChannel || !audioSubChannel) return E_POINTER;
  std::lock_guard lock(mutex_);
  *channel = channel_;
  *videoSubChannel = -1;
  *audioSubChannel = -1;
  return S_OK;
}
HRESULT VirtualTvTuner::ChannelMinMax(long* channelMin, long* channelMax) {
  if (!channelMin || !channelMax) return E_POINTER;
  *channelMin = kMinChannel;
  *channelMax = kMaxChannel;
  return S_OK;
}
HRESULT VirtualTvTuner::put_CountryCode(long countryCode) {
  std::lock_guard lock(mutex_);
  countryCode_ = countryCode;
  return S_OK;
}
HRESULT VirtualTvTuner::get_CountryCode(long* countryCode) {
  if (!countryCode) return E_POINTER;
  std::lock_guard lock(mutex_);
  *countryCode = countryCode_;
  return S_OK;
}
HRESULT VirtualTvTuner::put_TuningSpace(long tuningSpace) {
  std::lock_guard lock(mutex_);
  tuningSpace_ = tuningSpace;
  return S_OK;
}
HRESULT VirtualTvTuner::get_TuningSpace(long* tuningSpace) {
  if (!tuningSpace) return E_POINTER;
  std::lock_guard lock(mutex_);
  *tuningSpace = tuningSpace_;
  return S_OK;
}
HRESULT VirtualTvTuner::SignalPresent(long* signalStrength) {
  if (!signalStrength) return E_POINTER;
  *signalStrength = 1;  // AMTUNER_SIGNALPRESENT: every channel carries the test picture
  return S_OK;
}
HRESULT VirtualTvTuner::put_Mode(AMTunerModeType mode) {
  if (mode != AMTUNER_MODE_TV) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  mode_ = mode;
  return S_OK;
}
HRESULT VirtualTvTuner::get_Mode(AMTunerModeType* mode) {
  if (!mode) return E_POINTER;
  std::lock_guard lock(mutex_);
  *mode = mode_;
  return S_OK;
}
HRESULT VirtualTvTuner::GetAvailableModes(long* modes) {
  if (!modes) return E_POINTER;
  *modes = AMTUNER_MODE_TV;
  return S_OK;
}
HRESULT VirtualTvTuner::get_AvailableTVFormats(long* standards) {
  if (!standards) return E_POINTER;
  *standards = tvFormats_;
  return S_OK;
}
HRESULT VirtualTvTuner::get_TVFormat(long* standard) {
  if (!standard) return E_POINTER;
  *standard = tvFormat_;
  return S_OK;
}
HRESULT VirtualTvTuner::AutoTune(long channel, long* foundSignal) {
  if (!foundSignal) return E_POINTER;
  if (HRESULT hr = put_Channel(channel, -1, -1); FAILED(hr)) return hr;
  *foundSignal = 1;
  return S_OK;
}
HRESULT VirtualTvTuner::StoreAutoTune() {
  return S_OK;
}
HRESULT VirtualTvTuner::get_NumInputConnections(long* count) {
  if (!count) return E_POINTER;
  *count = 2;
  return S_OK;
}
HRESULT VirtualTvTuner::put_InputType(long index, TunerInputType inputType) {
  if (index < 0 || index > 1) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  inputType_[index] = inputType;
  return S_OK;
}
HRESULT VirtualTvTuner::get_InputType(long index, TunerInputType* inputType) {
  if (!inputType) return E_POINTER;
  if (index < 0 || index > 1) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  *inputType = inputType_[index];
  return S_OK;
}
HRESULT VirtualTvTuner::put_ConnectInput(long index) {
  if (index < 0 || index > 1) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  connectedInput_ = index;
  return S_OK;
}
HRESULT VirtualTvTuner::get_ConnectInput(long* index) {
  if (!index) return E_POINTER;
  std::lock_guard lock(mutex_);
  *index = connectedInput_;
  return S_OK;
}
HRESULT VirtualTvTuner::get_VideoFrequency(long* frequency) {
  if (!frequency) return E_POINTER;
  std::lock_guard lock(mutex_);
  // A plain channel raster: 55.25 MHz for channel 2, 6 MHz apart.
  *frequency = 55250000 + (channel_ - kMinChannel) * 6000000;
  return S_OK;
}
HRESULT VirtualTvTuner::get_AudioFrequency(long* frequency) {
  if (!frequency) return E_POINTER;
  long video = 0;
  get_VideoFrequency(&video);
  *frequency = video + 4500000;
  return S_OK;
}
