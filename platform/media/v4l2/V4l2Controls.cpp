#include "platform/media/v4l2/V4l2Controls.h"

#include <cstring>
#include <linux/videodev2.h>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Io.h"
#include "platform/media/v4l2/V4l2Log.h"

namespace {

struct Mapping {
  long property;
  std::uint32_t id;
  std::uint32_t autoId;
};

constexpr Mapping kVideoProcAmp[] = {
    {VideoProcAmp_Brightness, V4L2_CID_BRIGHTNESS, 0},
    {VideoProcAmp_Contrast, V4L2_CID_CONTRAST, 0},
    {VideoProcAmp_Hue, V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {VideoProcAmp_Saturation, V4L2_CID_SATURATION, 0},
    {VideoProcAmp_Sharpness, V4L2_CID_SHARPNESS, 0},
    {VideoProcAmp_Gamma, V4L2_CID_GAMMA, 0},
    {VideoProcAmp_WhiteBalance, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {VideoProcAmp_BacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {VideoProcAmp_Gain, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {VideoProcAmp_PowerlineFrequency, V4L2_CID_POWER_LINE_FREQUENCY, 0},
};

constexpr Mapping kCameraControl[] = {
    {CameraControl_Pan, V4L2_CID_PAN_ABSOLUTE, 0},
    {CameraControl_Tilt, V4L2_CID_TILT_ABSOLUTE, 0},
    {CameraControl_Zoom, V4L2_CID_ZOOM_ABSOLUTE, 0},
    {CameraControl_Exposure, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {CameraControl_Iris, V4L2_CID_IRIS_ABSOLUTE, 0},
    {CameraControl_Focus, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
};

bool Query(V4l2Io& io, int fd, std::uint32_t id, v4l2_queryctrl* q) {
  std::memset(q, 0, sizeof *q);
  q->id = id;
  return io.Ioctl(fd, VIDIOC_QUERYCTRL, q) == 0 && !(q->flags & V4L2_CTRL_FLAG_DISABLED);
}

bool MenuHas(V4l2Io& io, int fd, std::uint32_t id, std::uint32_t index) {
  v4l2_querymenu m{};
  m.id = id;
  m.index = index;
  return io.Ioctl(fd, VIDIOC_QUERYMENU, &m) == 0;
}

}  // namespace

V4l2Controls::V4l2Controls(std::shared_ptr<V4l2Io> io, int fd, std::string node, Interface which)
    : io_(std::move(io)),
      fd_(fd),
      node_(std::move(node)),
      autoFlag_(which == Interface::VideoProcAmp ? VideoProcAmp_Flags_Auto
                                                 : CameraControl_Flags_Auto) {
  const Mapping* begin =
      which == Interface::VideoProcAmp ? std::begin(kVideoProcAmp) : std::begin(kCameraControl);
  const Mapping* end =
      which == Interface::VideoProcAmp ? std::end(kVideoProcAmp) : std::end(kCameraControl);
  for (const Mapping* m = begin; m != end; ++m) {
    v4l2_queryctrl q;
    if (!Query(*io_, fd_, m->id, &q) || q.flags & V4L2_CTRL_FLAG_READ_ONLY) continue;
    if (q.type != V4L2_CTRL_TYPE_INTEGER && q.type != V4L2_CTRL_TYPE_MENU &&
        q.type != V4L2_CTRL_TYPE_BOOLEAN)
      continue;
    Entry e;
    e.property = m->property;
    e.id = m->id;
    e.name = reinterpret_cast<const char*>(q.name);
    e.min = q.minimum;
    e.max = q.maximum;
    e.step = q.step > 0 ? q.step : 1;
    e.defaultValue = q.default_value;
    v4l2_queryctrl a;
    if (m->autoId && Query(*io_, fd_, m->autoId, &a)) {
      if (m->autoId == V4L2_CID_EXPOSURE_AUTO) {
        // The exposure menu: manual, or the first automatic mode the camera has.
        e.autoOff = V4L2_EXPOSURE_MANUAL;
        if (MenuHas(*io_, fd_, m->autoId, V4L2_EXPOSURE_APERTURE_PRIORITY))
          e.autoOn = V4L2_EXPOSURE_APERTURE_PRIORITY;
        else if (MenuHas(*io_, fd_, m->autoId, V4L2_EXPOSURE_AUTO))
          e.autoOn = V4L2_EXPOSURE_AUTO;
        if (MenuHas(*io_, fd_, m->autoId, V4L2_EXPOSURE_MANUAL) && e.autoOn != e.autoOff)
          e.autoId = m->autoId;
      } else {
        e.autoId = m->autoId;
      }
    }
    entries_.push_back(std::move(e));
  }
}

const V4l2Controls::Entry* V4l2Controls::Find(long property) const {
  for (const Entry& e : entries_)
    if (e.property == property) return &e;
  return nullptr;
}

HRESULT V4l2Controls::GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                               long* capsFlags) const {
  if (!min || !max || !step || !defaultValue || !capsFlags) return E_POINTER;
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  *min = e->min;
  *max = e->max;
  *step = e->step;
  *defaultValue = e->defaultValue;
  *capsFlags = (autoFlag_ << 1) | (e->autoId ? autoFlag_ : 0);
  return S_OK;
}

HRESULT V4l2Controls::Get(long property, long* value, long* flags) const {
  if (!value || !flags) return E_POINTER;
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  v4l2_control c{e->id, 0};
  if (const int r = io_->Ioctl(fd_, VIDIOC_G_CTRL, &c); r < 0) {
    qCWarning(lcV4l2, "%s: reading %s failed: %s", node_.c_str(), e->name.c_str(), strerror(-r));
    return HResultFromErrno(-r);
  }
  *value = c.value;
  *flags = autoFlag_ << 1;
  if (e->autoId) {
    v4l2_control a{e->autoId, 0};
    if (io_->Ioctl(fd_, VIDIOC_G_CTRL, &a) == 0 && a.value != e->autoOff) *flags = autoFlag_;
  }
  return S_OK;
}

HRESULT V4l2Controls::Set(long property, long value, long flags) {
  const Entry* e = Find(property);
  if (!e) return E_PROP_ID_UNSUPPORTED;
  const long manual = autoFlag_ << 1;
  if (flags != autoFlag_ && flags != manual) return E_INVALIDARG;
  if (flags == autoFlag_ && !e->autoId) return E_INVALIDARG;
  if (value < e->min || value > e->max || (value - e->min) % e->step != 0) return E_INVALIDARG;
  if (flags == autoFlag_) return Write(e->autoId, e->autoOn, "automatic mode");
  // The value is written once the automatic mode is off: drivers refuse it before (EACCES).
  if (e->autoId)
    if (HRESULT hr = Write(e->autoId, e->autoOff, "manual mode"); FAILED(hr)) return hr;
  return Write(e->id, static_cast<std::int32_t>(value), e->name.c_str());
}

HRESULT V4l2Controls::Write(std::uint32_t id, std::int32_t value, const char* what) {
  v4l2_control c{id, value};
  if (const int r = io_->Ioctl(fd_, VIDIOC_S_CTRL, &c); r < 0) {
    qCWarning(lcV4l2, "%s: setting %s to %d failed: %s", node_.c_str(), what, value, strerror(-r));
    return HResultFromErrno(-r);
  }
  return S_OK;
}
