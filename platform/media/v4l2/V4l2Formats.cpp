#include "platform/media/v4l2/V4l2Formats.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <linux/videodev2.h>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/v4l2/V4l2Io.h"
#include "platform/media/v4l2/V4l2Log.h"

namespace {

// Rates offered from a stepwise or continuous interval range.
constexpr int kCommonRates[] = {60, 30, 25, 20, 15, 10, 5};
constexpr std::pair<int, int> kCommonSizes[] = {{1920, 1080}, {1280, 720}, {1024, 768},
                                                {800, 600},   {640, 480},  {352, 288},
                                                {320, 240},   {176, 144},  {160, 120}};

REFERENCE_TIME IntervalOf(const v4l2_fract& f) {
  if (f.denominator == 0) return 0;
  return static_cast<REFERENCE_TIME>(
      std::llround(static_cast<double>(f.numerator) * UNITS / f.denominator));
}

std::vector<REFERENCE_TIME> ReadIntervals(V4l2Io& io, int fd, std::uint32_t pixelformat, int w,
                                          int h) {
  std::vector<REFERENCE_TIME> intervals;
  for (std::uint32_t index = 0; index < 64; ++index) {
    v4l2_frmivalenum e{};
    e.index = index;
    e.pixel_format = pixelformat;
    e.width = static_cast<std::uint32_t>(w);
    e.height = static_cast<std::uint32_t>(h);
    if (io.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) < 0) break;  // EINVAL ends the list
    if (e.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      if (REFERENCE_TIME t = IntervalOf(e.discrete); t > 0) intervals.push_back(t);
      continue;
    }
    const REFERENCE_TIME shortest = IntervalOf(e.stepwise.min);
    const REFERENCE_TIME longest = IntervalOf(e.stepwise.max);
    if (shortest > 0) intervals.push_back(shortest);
    for (int rate : kCommonRates) {
      const REFERENCE_TIME t = UNITS / rate;
      if (t > shortest && t < longest) intervals.push_back(t);
    }
    if (longest > shortest) intervals.push_back(longest);
    break;
  }
  if (intervals.empty()) {
    // A driver that does not enumerate intervals streams at its current rate.
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    REFERENCE_TIME current = 0;
    if (io.Ioctl(fd, VIDIOC_G_PARM, &parm) == 0)
      current = IntervalOf(parm.parm.capture.timeperframe);
    intervals.push_back(current > 0 ? current : UNITS / 30);
  }
  // The first one offered is the default: drivers list their preferred rate first. The rest
  // follow shortest first.
  std::sort(intervals.begin() + 1, intervals.end());
  intervals.erase(std::unique(intervals.begin(), intervals.end()), intervals.end());
  return intervals;
}

}  // namespace

HRESULT HResultFromErrno(int error) {
  switch (error) {
    case EBUSY:
      return kDeviceBusy;
    case EACCES:
    case EPERM:
      return E_ACCESSDENIED;
    case ENODEV:
    case ENXIO:
    case ENOENT:
      return VFW_E_DEVICE_LOST;
    case EINVAL:
      return E_INVALIDARG;
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return E_FAIL;
  }
}

GUID SubtypeForPixelFormat(std::uint32_t pixelformat) {
  switch (pixelformat) {
    case V4L2_PIX_FMT_YUYV:
      return MEDIASUBTYPE_YUY2;
    case V4L2_PIX_FMT_UYVY:
      return MEDIASUBTYPE_UYVY;
    case V4L2_PIX_FMT_NV12:
      return MEDIASUBTYPE_NV12;
    case V4L2_PIX_FMT_YUV420:
      return MEDIASUBTYPE_I420;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
      return MEDIASUBTYPE_RGB24;  // rows are turned and ordered as a bitmap when copied
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
      return MEDIASUBTYPE_MJPG;
    default:
      return GUID_NULL;
  }
}

std::string FourccText(std::uint32_t f) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((f >> (8 * i)) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::vector<std::pair<int, int>> SampleSizes(std::uint32_t minWidth, std::uint32_t maxWidth,
                                             std::uint32_t stepWidth, std::uint32_t minHeight,
                                             std::uint32_t maxHeight, std::uint32_t stepHeight) {
  // The driver's 32-bit values are taken as they are (no sign, no overflow); the part of a
  // range beyond the largest frame side the framework takes is cut off.
  constexpr std::int64_t kMaxSide = 16384;
  const std::int64_t stepW = std::max<std::int64_t>(1, stepWidth);
  const std::int64_t stepH = std::max<std::int64_t>(1, stepHeight);
  const std::int64_t minW = minWidth, minH = minHeight;
  const std::int64_t maxW = std::min<std::int64_t>(maxWidth, kMaxSide);
  const std::int64_t maxH = std::min<std::int64_t>(maxHeight, kMaxSide);
  auto onGrid = [&](std::int64_t w, std::int64_t h) {
    return w >= minW && w <= maxW && h >= minH && h <= maxH && (w - minW) % stepW == 0 &&
           (h - minH) % stepH == 0;
  };
  std::vector<std::pair<int, int>> sizes;
  if (maxW <= 0 || maxH <= 0 || minW > maxW || minH > maxH) return sizes;
  sizes.emplace_back(static_cast<int>(maxW - (maxW - minW) % stepW),
                     static_cast<int>(maxH - (maxH - minH) % stepH));
  for (const auto& [w, h] : kCommonSizes)
    if (onGrid(w, h)) sizes.emplace_back(w, h);
  if (minW > 0 && minH > 0) sizes.emplace_back(static_cast<int>(minW), static_cast<int>(minH));
  std::sort(sizes.begin(), sizes.end(), std::greater<>());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  return sizes;
}

std::vector<V4l2Capability> ReadCapabilities(V4l2Io& io, int fd, const std::string& node,
                                             std::vector<std::string>* skipped) {
  std::vector<V4l2Capability> caps;
  for (std::uint32_t index = 0; index < 64; ++index) {
    v4l2_fmtdesc desc{};
    desc.index = index;
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io.Ioctl(fd, VIDIOC_ENUM_FMT, &desc) < 0) break;  // EINVAL ends the list
    const GUID subtype = SubtypeForPixelFormat(desc.pixelformat);
    if (subtype == GUID_NULL) {
      qCInfo(lcV4l2, "%s: format %s (%s) cannot be converted; left out", node.c_str(),
             FourccText(desc.pixelformat).c_str(), reinterpret_cast<const char*>(desc.description));
      if (skipped) skipped->push_back(FourccText(desc.pixelformat));
      continue;
    }
    std::vector<std::pair<int, int>> sizes;
    for (std::uint32_t s = 0; s < 256; ++s) {
      v4l2_frmsizeenum e{};
      e.index = s;
      e.pixel_format = desc.pixelformat;
      if (io.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &e) < 0) break;
      if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        sizes.emplace_back(e.discrete.width, e.discrete.height);
        continue;
      }
      const auto& r = e.stepwise;
      const bool continuous = e.type == V4L2_FRMSIZE_TYPE_CONTINUOUS;
      for (const auto& size :
           SampleSizes(r.min_width, r.max_width, continuous ? 1 : r.step_width, r.min_height,
                       r.max_height, continuous ? 1 : r.step_height))
        sizes.push_back(size);
      break;
    }
    if (sizes.empty()) {
      // A driver that does not enumerate sizes: the size it makes of its current one.
      v4l2_format f{};
      f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      if (io.Ioctl(fd, VIDIOC_G_FMT, &f) == 0) {
        f.fmt.pix.pixelformat = desc.pixelformat;
        if (io.Ioctl(fd, VIDIOC_TRY_FMT, &f) == 0 && f.fmt.pix.pixelformat == desc.pixelformat)
          sizes.emplace_back(f.fmt.pix.width, f.fmt.pix.height);
      }
      if (sizes.empty())
        qCInfo(lcV4l2, "%s: format %s has no frame size; left out", node.c_str(),
               FourccText(desc.pixelformat).c_str());
    }
    for (const auto& [w, h] : sizes) {
      if (w <= 0 || h <= 0 || w > 16384 || h > 16384) continue;
      V4l2Capability cap;
      cap.pixelformat = desc.pixelformat;
      cap.subtype = subtype;
      cap.width = w;
      cap.height = h;
      // The driver's row layout for the size, without changing its format.
      v4l2_format f{};
      f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      f.fmt.pix.pixelformat = desc.pixelformat;
      f.fmt.pix.width = static_cast<std::uint32_t>(w);
      f.fmt.pix.height = static_cast<std::uint32_t>(h);
      f.fmt.pix.field = V4L2_FIELD_NONE;
      if (io.Ioctl(fd, VIDIOC_TRY_FMT, &f) == 0 &&
          f.fmt.pix.width == static_cast<std::uint32_t>(w) &&
          f.fmt.pix.height == static_cast<std::uint32_t>(h)) {
        cap.bytesPerLine = f.fmt.pix.bytesperline;
        cap.sizeImage = f.fmt.pix.sizeimage;
      }
      cap.intervals = ReadIntervals(io, fd, desc.pixelformat, w, h);
      caps.push_back(std::move(cap));
    }
  }
  return caps;
}

MediaType CapabilityMediaType(const V4l2Capability& cap, REFERENCE_TIME interval) {
  if (interval <= 0) interval = cap.intervals.front();
  MediaType type = MediaType::Video(cap.subtype, cap.width, cap.height, interval);
  BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*type.Get());
  if (!bih) return type;
  if (cap.subtype == MEDIASUBTYPE_MJPG) {
    // A compressed frame is at most the driver's buffer size.
    if (cap.sizeImage > 0) bih->biSizeImage = cap.sizeImage;
    return type;
  }
  // RGB frames are rewritten as bitmaps when copied. Raw YUV keeps the driver's rows: a frame
  // size above the packed one says the rows are padded (the stride is that size over the rows).
  if (cap.subtype == MEDIASUBTYPE_RGB24 || cap.bytesPerLine == 0) return type;
  const bool planar = cap.subtype == MEDIASUBTYPE_NV12 || cap.subtype == MEDIASUBTYPE_I420;
  const std::uint64_t layout = planar ? std::uint64_t{cap.bytesPerLine} * cap.height * 3 / 2
                                      : std::uint64_t{cap.bytesPerLine} * cap.height;
  if (layout > bih->biSizeImage && layout <= 0xFFFFFFFFu) {
    bih->biSizeImage = static_cast<DWORD>(layout);
    type->lSampleSize = std::max<ULONG>(bih->biSizeImage, cap.sizeImage);
  }
  return type;
}

HRESULT CapabilityCount(const std::vector<V4l2Capability>& caps, int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(caps.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT CapabilityStreamCaps(const std::vector<V4l2Capability>& caps, int index, AM_MEDIA_TYPE** mt,
                             BYTE* configCaps) {
  if (!mt || !configCaps) return E_POINTER;
  if (index < 0) return E_INVALIDARG;
  if (index >= static_cast<int>(caps.size())) return S_FALSE;
  const V4l2Capability& cap = caps[static_cast<std::size_t>(index)];
  MediaType type = CapabilityMediaType(cap, 0);
  *mt = CreateMediaType(type.Get());
  if (!*mt) return E_OUTOFMEMORY;
  VIDEO_STREAM_CONFIG_CAPS c{};
  c.guid = FORMAT_VideoInfo;
  c.InputSize = {cap.width, cap.height};
  c.MinCroppingSize = c.MaxCroppingSize = c.InputSize;
  c.CropGranularityX = c.CropGranularityY = 1;
  c.MinOutputSize = c.MaxOutputSize = c.InputSize;
  const auto [shortest, longest] = std::minmax_element(cap.intervals.begin(), cap.intervals.end());
  c.MinFrameInterval = *shortest;
  c.MaxFrameInterval = *longest;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*type);
  const double bits = static_cast<double>(bih ? bih->biSizeImage : 0) * 8;
  c.MinBitsPerSecond = static_cast<LONG>(std::min(2.0e9, bits * UNITS / *longest));
  c.MaxBitsPerSecond = static_cast<LONG>(std::min(2.0e9, bits * UNITS / *shortest));
  std::memcpy(configCaps, &c, sizeof c);
  return S_OK;
}
