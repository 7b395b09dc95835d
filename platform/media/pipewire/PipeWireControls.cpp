#include "platform/media/pipewire/PipeWireControls.h"

#include <cmath>
#include <spa/param/props.h>

#include <QString>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/pipewire/PipeWireLog.h"

namespace {

struct Place {
  PipeWireControls::Interface which;
  long property;
};

// Where a node property goes: by SPA id, else by the V4L2 control name a camera monitor gives
// it. False for properties neither interface has a place for.
bool PlaceOf(const PipeWireControl& c, Place* place) {
  using I = PipeWireControls::Interface;
  static const std::pair<std::uint32_t, Place> kById[] = {
      {SPA_PROP_brightness, {I::VideoProcAmp, VideoProcAmp_Brightness}},
      {SPA_PROP_contrast, {I::VideoProcAmp, VideoProcAmp_Contrast}},
      {SPA_PROP_hue, {I::VideoProcAmp, VideoProcAmp_Hue}},
      {SPA_PROP_saturation, {I::VideoProcAmp, VideoProcAmp_Saturation}},
      {SPA_PROP_sharpness, {I::VideoProcAmp, VideoProcAmp_Sharpness}},
      {SPA_PROP_gamma, {I::VideoProcAmp, VideoProcAmp_Gamma}},
      {SPA_PROP_gain, {I::VideoProcAmp, VideoProcAmp_Gain}},
      {SPA_PROP_exposure, {I::CameraControl, CameraControl_Exposure}}};
  static const std::pair<const char*, Place> kByName[] = {
      {"white balance temperature", {I::VideoProcAmp, VideoProcAmp_WhiteBalance}},
      {"backlight compensation", {I::VideoProcAmp, VideoProcAmp_BacklightCompensation}},
      {"zoom, absolute", {I::CameraControl, CameraControl_Zoom}},
      {"focus, absolute", {I::CameraControl, CameraControl_Focus}},
      {"focus (absolute)", {I::CameraControl, CameraControl_Focus}},
      {"pan, absolute", {I::CameraControl, CameraControl_Pan}},
      {"tilt, absolute", {I::CameraControl, CameraControl_Tilt}}};
  for (const auto& [id, p] : kById)
    if (c.id == id) return *place = p, true;
  const QString name = QString::fromStdString(c.name).toLower();
  for (const auto& [text, p] : kByName)
    if (name == QLatin1String(text)) return *place = p, true;
  return false;
}

}  // namespace

PipeWireControls::PipeWireControls(PipeWireConnection& connection, const PipeWireCamera& camera,
                                   Interface which)
    : connection_(connection),
      nodeId_(camera.id),
      node_(camera.nodeName),
      manual_(which == Interface::VideoProcAmp ? VideoProcAmp_Flags_Manual
                                               : CameraControl_Flags_Manual) {
  for (const PipeWireControl& c : camera.controls) {
    Place place{};
    if (!PlaceOf(c, &place) || place.which != which || c.max <= c.min) continue;
    Entry e;
    e.property = place.property;
    e.control = c;
    e.scale = c.isFloat ? 100 : 1;
    auto scaled = [&](double v) { return std::lround(v * e.scale); };
    e.min = scaled(c.min);
    e.max = scaled(c.max);
    e.step = std::max(1L, scaled(c.step));
    e.defaultValue = scaled(c.defaultValue);
    e.value = scaled(c.value);
    if (!Find(e.property)) entries_.push_back(e);
  }
}

const PipeWireControls::Entry* PipeWireControls::Find(long property) const {
  for (const Entry& e : entries_)
    if (e.property == property) return &e;
  return nullptr;
}

HRESULT PipeWireControls::GetRange(long property, long* min, long* max, long* step,
                                   long* defaultValue, long* capsFlags) const {
  if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  *min = e->min;
  *max = e->max;
  *step = e->step;
  *defaultValue = e->defaultValue;
  *capsFlags = manual_;
  return S_OK;
}

HRESULT PipeWireControls::Get(long property, long* value, long* flags) const {
  if (!value || !flags) return E_POINTER;
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  std::lock_guard lock(mutex_);
  *value = e->value;
  *flags = manual_;
  return S_OK;
}

HRESULT PipeWireControls::Set(long property, long value, long flags) {
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  if (flags != manual_) return E_INVALIDARG;
  if (value < e->min || value > e->max || (value - e->min) % e->step != 0) return E_INVALIDARG;
  if (!connection_.SetControl(nodeId_, e->control, static_cast<double>(value) / e->scale)) {
    qCWarning(lcPipeWire, "%s: setting %s failed: the node is gone", node_.c_str(),
              e->control.name.c_str());
    return VFW_E_DEVICE_LOST;
  }
  std::lock_guard lock(mutex_);
  const_cast<Entry*>(e)->value = value;
  return S_OK;
}
