#include "platform/media/virtual/VirtualCaptureFilter.h"

#include "platform/media/CameraControlPart.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/PropertyFrame.h"
#include "platform/media/PropertyPages.h"
#include "platform/media/virtual/VirtualAnalog.h"
#include "platform/media/virtual/VirtualCapturePin.h"

// ---- ControlTable

ControlTable::ControlTable(const std::vector<ControlRange>& ranges, long autoFlag)
    : ranges_(ranges), autoFlag_(autoFlag) {
  for (const ControlRange& r : ranges_) {
    if (r.property < 0 || r.property >= static_cast<long>(slots_.size())) continue;
    ControlSlot& slot = slots_[static_cast<std::size_t>(r.property)];
    slot.range = &r;
    slot.value.store(r.defaultValue);
    // A property that can run by itself starts in automatic mode, as camera drivers do.
    slot.flags.store(r.capsFlags & autoFlag_ ? autoFlag_ : (r.capsFlags & ~autoFlag_));
  }
}

const ControlSlot* ControlTable::Slot(long property) const {
  if (property < 0 || property >= static_cast<long>(slots_.size())) return nullptr;
  const ControlSlot& slot = slots_[static_cast<std::size_t>(property)];
  return slot.range ? &slot : nullptr;
}

bool ControlTable::Empty() const {
  return ranges_.empty();
}

HRESULT ControlTable::GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                               long* capsFlags) const {
  if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
  const ControlSlot* slot = Slot(property);
  if (!slot) return E_PROP_ID_UNSUPPORTED;
  *min = slot->range->min;
  *max = slot->range->max;
  *step = slot->range->step;
  *defaultValue = slot->range->defaultValue;
  *capsFlags = slot->range->capsFlags;
  return S_OK;
}

HRESULT ControlTable::Set(long property, long value, long flags) {
  const ControlSlot* found = Slot(property);
  if (!found) return E_PROP_ID_UNSUPPORTED;
  auto& slot = const_cast<ControlSlot&>(*found);
  const ControlRange& r = *slot.range;
  // Exactly one of automatic and manual, and only a mode the property offers.
  const long manual = autoFlag_ << 1;
  if (flags != autoFlag_ && flags != manual) return E_INVALIDARG;
  if (!(r.capsFlags & flags)) return E_INVALIDARG;
  if (value < r.min || value > r.max) return E_INVALIDARG;
  if (r.step > 1 && (value - r.min) % r.step != 0) return E_INVALIDARG;
  slot.value.store(value, std::memory_order_relaxed);
  slot.flags.store(flags, std::memory_order_relaxed);
  return S_OK;
}

HRESULT ControlTable::Get(long property, long* value, long* flags) const {
  if (!value || !flags) return E_POINTER;
  const ControlSlot* slot = Slot(property);
  if (!slot) return E_PROP_ID_UNSUPPORTED;
  *value = slot->value.load(std::memory_order_relaxed);
  *flags = slot->flags.load(std::memory_order_relaxed);
  return S_OK;
}

long ControlTable::Value(long property, long fallback) const {
  const ControlSlot* slot = Slot(property);
  if (!slot) return fallback;
  // In automatic mode the device keeps its own (default) setting.
  if (slot->flags.load(std::memory_order_relaxed) == autoFlag_) return slot->range->defaultValue;
  return slot->value.load(std::memory_order_relaxed);
}

// ---- configuration of the demo camera

std::vector<ControlRange> DefaultVideoProcAmp() {
  return {
      {VideoProcAmp_Brightness, -100, 100, 1, 0, VideoProcAmp_Flags_Manual},
      {VideoProcAmp_Contrast, 0, 200, 1, 100, VideoProcAmp_Flags_Manual},
      {VideoProcAmp_Saturation, 0, 200, 1, 100, VideoProcAmp_Flags_Manual},
  };
}

// The display names carry a revision of the built-in cameras' format offer: a store keeps each
// device's discovered formats under its name, so a camera whose offer changed (revision 1: RGB32
// in place of RGB24) must not be taken for the one a store remembers.
VirtualDeviceConfig DemoCameraConfig() {
  VirtualDeviceConfig config;
  config.friendlyName = kDemoCameraName;
  config.displayName =
      u"@device:pnp:\\\\?\\frostwipe#demo-camera#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  config.driver = DriverKind::Wdm;
  config.capturePin = true;
  config.scene = "demo";
  // RGB32 rather than RGB24: the picture is synthesised in 32 bits and shown in 32 bits, so the
  // default RGB subtype reaches the screen without a conversion.
  for (const GUID& subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB32})
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{320, 240}, std::pair{160, 120}}) {
      VideoCapability cap;
      cap.subtype = subtype;
      cap.width = w;
      cap.height = h;
      config.capabilities.push_back(cap);
    }
  config.frameRateRule = FrameRateRule::Nearest;
  config.videoProcAmp = DefaultVideoProcAmp();
  return config;
}

VirtualDeviceConfig TouchCameraConfig() {
  VirtualDeviceConfig config = DemoCameraConfig();
  config.friendlyName = kTouchCameraName;
  config.displayName =
      u"@device:pnp:\\\\?\\frostwipe#touch-camera#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  config.scene = "touch";
  return config;
}

// ---- VirtualCaptureFilter

VirtualCaptureFilter::VirtualCaptureFilter(VirtualDeviceConfig config, DevicePresence presence)
    : SourceFilter(config.driver == DriverKind::Vfw ? CLSID_VfwCapture : CLSID_Proxy,
                   config.friendlyName),
      config_(std::move(config)),
      presence_(std::move(presence)),
      procAmp_(config_.videoProcAmp, VideoProcAmp_Flags_Auto),
      cameraControl_(std::make_unique<CameraControlPart<ControlTable>>(
          this, std::make_unique<ControlTable>(config_.cameraControl, CameraControl_Flags_Auto))),
      tvFormat_(config_.tvFormat) {
  if (config_.capturePin)
    AddPin(std::make_unique<VirtualCapturePin>(this, u"Capture", PIN_CATEGORY_CAPTURE));
  if (config_.previewPin)
    AddPin(std::make_unique<VirtualCapturePin>(this, u"Preview", PIN_CATEGORY_PREVIEW));
  if (!config_.crossbarInputs.empty()) {
    auto input = std::make_unique<AnalogInputPin>(this, u"Analog Video In");
    input->SetCategory(PIN_CATEGORY_ANALOGVIDEOIN);
    input->SetMedium(DeviceMedium(config_.displayName, kDecoderLink));
    AddPin(std::move(input));
  }
}

VirtualCaptureFilter::~VirtualCaptureFilter() = default;

HRESULT VirtualCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!procAmp_.Empty() && MatchInterface<IAMVideoProcAmp>(this, iid, object)) return S_OK;
  if (!cameraControl_->Empty() && iid == IID_IAMCameraControl) {
    cameraControl_->AddRef();
    *object = static_cast<IAMCameraControl*>(cameraControl_.get());
    return S_OK;
  }
  if (MatchInterface<ISpecifyPropertyPages>(this, iid, object)) return S_OK;
  if (config_.analogVideoDecoder && MatchInterface<IAMAnalogVideoDecoder>(this, iid, object))
    return S_OK;
  if (config_.driver == DriverKind::Vfw && MatchInterface<IAMVfwCaptureDialogs>(this, iid, object))
    return S_OK;
  return SourceFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT VirtualCaptureFilter::GetRange(long property, long* min, long* max, long* step,
                                       long* defaultValue, long* capsFlags) {
  return procAmp_.GetRange(property, min, max, step, defaultValue, capsFlags);
}
HRESULT VirtualCaptureFilter::Set(long property, long value, long flags) {
  return procAmp_.Set(property, value, flags);
}
HRESULT VirtualCaptureFilter::Get(long property, long* value, long* flags) {
  return procAmp_.Get(property, value, flags);
}

PictureAdjust VirtualCaptureFilter::Adjust() const {
  PictureAdjust a;
  a.brightness = procAmp_.Value(VideoProcAmp_Brightness, 0);
  a.contrast = procAmp_.Value(VideoProcAmp_Contrast, 100);
  a.saturation = procAmp_.Value(VideoProcAmp_Saturation, 100);
  return a;
}

HRESULT VirtualCaptureFilter::GetPages(CAUUID* pages) {
  return DeviceControlPages(!procAmp_.Empty(), !cameraControl_->Empty(), pages);
}

// ---- IAMAnalogVideoDecoder

HRESULT VirtualCaptureFilter::get_AvailableTVFormats(long* standards) {
  if (!standards) return E_POINTER;
  *standards = config_.tvFormats;
  return S_OK;
}
HRESULT VirtualCaptureFilter::put_TVFormat(long standard) {
  // Exactly one standard, and one the decoder offers.
  if (standard == 0 || (standard & (standard - 1)) != 0 || !(config_.tvFormats & standard))
    return E_INVALIDARG;
  tvFormat_.store(standard);
  return S_OK;
}
HRESULT VirtualCaptureFilter::get_TVFormat(long* standard) {
  if (!standard) return E_POINTER;
  *standard = tvFormat_.load();
  return S_OK;
}
HRESULT VirtualCaptureFilter::get_HorizontalLocked(long* locked) {
  if (!locked) return E_POINTER;
  *locked = 1;
  return S_OK;
}
HRESULT VirtualCaptureFilter::put_VCRHorizontalLocking(long locking) {
  vcrLocking_.store(locking ? 1 : 0);
  return S_OK;
}
HRESULT VirtualCaptureFilter::get_VCRHorizontalLocking(long* locking) {
  if (!locking) return E_POINTER;
  *locking = vcrLocking_.load();
  return S_OK;
}
HRESULT VirtualCaptureFilter::get_NumberOfLines(long* lines) {
  if (!lines) return E_POINTER;
  // NTSC and PAL-M have 525 lines; the other standards 625.
  const long standard = tvFormat_.load();
  *lines = (standard & (AnalogVideo_NTSC_M | AnalogVideo_NTSC_M_J | AnalogVideo_NTSC_433 |
                        AnalogVideo_PAL_M | AnalogVideo_PAL_60))
               ? 525
               : 625;
  return S_OK;
}
HRESULT VirtualCaptureFilter::put_OutputEnable(long enable) {
  outputEnable_.store(enable ? 1 : 0);
  return S_OK;
}
HRESULT VirtualCaptureFilter::get_OutputEnable(long* enable) {
  if (!enable) return E_POINTER;
  *enable = outputEnable_.load();
  return S_OK;
}

// ---- IAMVfwCaptureDialogs

HRESULT VirtualCaptureFilter::HasDialog(int dialog) {
  if (dialog != VfwCaptureDialog_Source && dialog != VfwCaptureDialog_Format &&
      dialog != VfwCaptureDialog_Display)
    return E_INVALIDARG;
  return (config_.vfwDialogs & dialog) ? S_OK : S_FALSE;
}

HRESULT VirtualCaptureFilter::ShowDialog(int dialog, HWND owner) {
  if (HasDialog(dialog) != S_OK) return E_INVALIDARG;
  // The format dialog changes the stream format, which only a stopped filter allows.
  if (dialog == VfwCaptureDialog_Format && !IsStopped()) return VFW_E_NOT_STOPPED;
  IUnknown* object = static_cast<IBaseFilter*>(this);
  CLSID page = CLSID_VideoProcAmpPropertyPage;
  ComPtr<IPin> pin;
  if (dialog == VfwCaptureDialog_Format) {
    PinBase* first = GetPin(0);
    if (!first || first->Direction() != PINDIR_OUTPUT) return E_FAIL;
    pin = first;
    object = pin.Get();
    page = CLSID_VideoStreamConfigPropertyPage;
  }
  const char16_t* caption = dialog == VfwCaptureDialog_Format   ? u"Video Format"
                            : dialog == VfwCaptureDialog_Source ? u"Video Source"
                                                                : u"Video Display";
  return OleCreatePropertyFrame(owner, 0, 0, caption, 1, &object, 1, &page, 0, 0, nullptr);
}

HRESULT VirtualCaptureFilter::SendDriverMessage(int, int, long, long) {
  return E_NOTIMPL;
}

// ---- state and loss

bool VirtualCaptureFilter::Alive() const {
  return !lost_.load(std::memory_order_acquire) && presence_->load(std::memory_order_acquire);
}

void VirtualCaptureFilter::ReportDeviceLost() {
  lost_.store(true, std::memory_order_release);
  if (lossReported_.exchange(true)) return;
  // The filter's identity (its IUnknown as QueryInterface answers it, which need not be the
  // IBaseFilter pointer) tells the application which device went; no reference is passed.
  IUnknown* identity = nullptr;
  NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  if (identity) identity->Release();  // the filter lives on: the graph holds it
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(identity), 0);
}

bool VirtualCaptureFilter::CountFrame() {
  const long produced = framesProduced_.fetch_add(1, std::memory_order_relaxed);
  const long limit = config_.failures.loseAfterFrames;
  return limit < 0 || produced < limit;
}

HRESULT VirtualCaptureFilter::OnPause() {
  if (!started_ && !Alive()) return VFW_E_DEVICE_LOST;
  started_ = true;
  // Running to paused: the time spent paused is not a run of dropped frames.
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (auto* capture = dynamic_cast<VirtualCapturePin*>(pin)) capture->Resynchronise();
  return S_OK;
}

HRESULT VirtualCaptureFilter::OnRun(REFERENCE_TIME start) {
  if (FAILED(config_.failures.runResult)) return config_.failures.runResult;
  if (!Alive()) return VFW_E_DEVICE_LOST;
  return SourceFilter::OnRun(start);
}

void VirtualCaptureFilter::OnStop() {
  started_ = false;
}
