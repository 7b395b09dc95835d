#include "platform/media/pipewire/PipeWireFormats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <spa/debug/types.h>
#include <spa/param/video/format-utils.h>
#include <spa/param/video/type-info.h>
#include <spa/pod/iter.h>

#include "platform/media/Guids.h"

namespace {

constexpr int kCommonRates[] = {60, 30, 25, 20, 15, 10, 5};

GUID SubtypeFor(std::uint32_t format) {
  switch (format) {
    case SPA_VIDEO_FORMAT_YUY2:
      return MEDIASUBTYPE_YUY2;
    case SPA_VIDEO_FORMAT_UYVY:
      return MEDIASUBTYPE_UYVY;
    case SPA_VIDEO_FORMAT_NV12:
      return MEDIASUBTYPE_NV12;
    case SPA_VIDEO_FORMAT_I420:
      return MEDIASUBTYPE_I420;
    case SPA_VIDEO_FORMAT_RGB:
    case SPA_VIDEO_FORMAT_BGR:
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_BGRx:
    case SPA_VIDEO_FORMAT_RGBA:
    case SPA_VIDEO_FORMAT_BGRA:
      return MEDIASUBTYPE_RGB24;
    case kPipeWireMjpeg:
      return MEDIASUBTYPE_MJPG;
    default:
      return GUID_NULL;
  }
}

// The values of a property: the default first, then the alternatives (an enum), or the
// bounds (a range, with *range set).
template <typename T>
std::vector<T> ChoiceValues(const spa_pod* pod, std::uint32_t type, bool* range) {
  *range = false;
  std::vector<T> values;
  if (!pod) return values;
  std::uint32_t count = 0, choice = 0;
  const spa_pod* value = spa_pod_get_values(pod, &count, &choice);
  if (value->type != type || count == 0) return values;
  const T* items = static_cast<const T*>(SPA_POD_BODY_CONST(value));
  if (choice == SPA_CHOICE_None) return {items[0]};
  if (choice == SPA_CHOICE_Range || choice == SPA_CHOICE_Step) {
    *range = count >= 3;
    return std::vector<T>(items, items + std::min<std::uint32_t>(count, 3));
  }
  // An enum repeats its default as the first alternative.
  values.push_back(items[0]);
  for (std::uint32_t i = 1; i < count; ++i)
    if (std::find_if(values.begin(), values.end(), [&](const T& v) {
          return std::memcmp(&v, &items[i], sizeof(T)) == 0;
        }) == values.end())
      values.push_back(items[i]);
  return values;
}

REFERENCE_TIME IntervalOf(const spa_fraction& rate) {
  if (rate.num == 0 || rate.denom == 0) return 0;
  return static_cast<REFERENCE_TIME>(
      std::llround(static_cast<double>(rate.denom) * UNITS / rate.num));
}

std::vector<REFERENCE_TIME> Intervals(const spa_pod_prop* prop) {
  bool range = false;
  std::vector<spa_fraction> rates =
      ChoiceValues<spa_fraction>(prop ? &prop->value : nullptr, SPA_TYPE_Fraction, &range);
  std::vector<REFERENCE_TIME> intervals;
  if (range) {
    // default, min, max rate: the default first, then the common rates between the bounds.
    const REFERENCE_TIME def = IntervalOf(rates[0]);
    const REFERENCE_TIME longest = IntervalOf(rates[1]);
    const REFERENCE_TIME shortest = IntervalOf(rates[2]);
    if (def > 0) intervals.push_back(def);
    if (shortest > 0) intervals.push_back(shortest);
    for (int rate : kCommonRates) {
      const REFERENCE_TIME t = UNITS / rate;
      if (t > shortest && (longest <= 0 || t < longest)) intervals.push_back(t);
    }
    if (longest > shortest) intervals.push_back(longest);
  } else {
    for (const spa_fraction& r : rates)
      if (REFERENCE_TIME t = IntervalOf(r); t > 0) intervals.push_back(t);
  }
  if (intervals.empty()) intervals.push_back(UNITS / 30);
  if (intervals.size() > 1) std::sort(intervals.begin() + 1, intervals.end());
  intervals.erase(std::unique(intervals.begin(), intervals.end()), intervals.end());
  return intervals;
}

}  // namespace

std::string PipeWireFormatName(std::uint32_t format) {
  if (format == kPipeWireMjpeg) return "MJPG";
  const char* name = spa_debug_type_find_short_name(spa_type_video_format, format);
  return name ? name : "format " + std::to_string(format);
}

void AddEnumFormat(const spa_pod* param, std::vector<V4l2Capability>* caps,
                   std::vector<std::string>* skipped) {
  if (!param || !spa_pod_is_object_type(param, SPA_TYPE_OBJECT_Format)) return;
  std::uint32_t mediaType = 0, mediaSubtype = 0;
  if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video)
    return;
  const auto* object = reinterpret_cast<const spa_pod_object*>(param);
  std::vector<std::uint32_t> formats;
  bool range = false;
  if (mediaSubtype == SPA_MEDIA_SUBTYPE_mjpg) {
    formats.push_back(kPipeWireMjpeg);
  } else if (mediaSubtype == SPA_MEDIA_SUBTYPE_raw) {
    const spa_pod_prop* prop = spa_pod_object_find_prop(object, nullptr, SPA_FORMAT_VIDEO_format);
    formats = ChoiceValues<std::uint32_t>(prop ? &prop->value : nullptr, SPA_TYPE_Id, &range);
    if (range) formats.clear();  // a range of format ids means nothing
  } else {
    const char* name = spa_debug_type_find_short_name(spa_type_media_subtype, mediaSubtype);
    skipped->push_back(name ? name : "unknown");
    return;
  }
  const spa_pod_prop* sizeProp = spa_pod_object_find_prop(object, nullptr, SPA_FORMAT_VIDEO_size);
  std::vector<spa_rectangle> sizes = ChoiceValues<spa_rectangle>(
      sizeProp ? &sizeProp->value : nullptr, SPA_TYPE_Rectangle, &range);
  std::vector<std::pair<int, int>> listed;
  if (range) {
    // default, min, max: the same handful of sizes the V4L2 provider offers for a range.
    listed = SampleSizes(sizes[1].width, sizes[2].width, 1, sizes[1].height, sizes[2].height, 1);
  } else {
    for (const spa_rectangle& s : sizes)
      listed.emplace_back(static_cast<int>(s.width), static_cast<int>(s.height));
  }
  const std::vector<REFERENCE_TIME> intervals =
      Intervals(spa_pod_object_find_prop(object, nullptr, SPA_FORMAT_VIDEO_framerate));
  for (std::uint32_t format : formats) {
    const GUID subtype = SubtypeFor(format);
    if (subtype == GUID_NULL) {
      skipped->push_back(PipeWireFormatName(format));
      continue;
    }
    for (const auto& [w, h] : listed) {
      if (w <= 0 || h <= 0) continue;
      const bool known = std::any_of(caps->begin(), caps->end(), [&](const V4l2Capability& c) {
        return c.pixelformat == format && c.width == w && c.height == h;
      });
      if (known) continue;
      V4l2Capability cap;
      cap.pixelformat = format;
      cap.subtype = subtype;
      cap.width = w;
      cap.height = h;
      if (format == kPipeWireMjpeg) cap.sizeImage = static_cast<std::uint32_t>(w * h * 2);
      cap.intervals = intervals;
      caps->push_back(std::move(cap));
    }
  }
}

const spa_pod* BuildConnectFormat(spa_pod_builder* b, const V4l2Capability& cap,
                                  REFERENCE_TIME interval) {
  if (interval <= 0) interval = cap.intervals.front();
  const spa_rectangle size =
      SPA_RECTANGLE(static_cast<std::uint32_t>(cap.width), static_cast<std::uint32_t>(cap.height));
  // The rate as a fraction of whole frames per 1001 or 1 seconds (29.97 stays 30000/1001).
  const double fps = static_cast<double>(UNITS) / static_cast<double>(interval);
  spa_fraction rate = SPA_FRACTION(static_cast<std::uint32_t>(std::lround(fps)), 1);
  if (std::abs(fps - std::lround(fps)) > 0.001)
    rate = SPA_FRACTION(static_cast<std::uint32_t>(std::lround(fps * 1001)), 1001);
  // The producer's rate is taken as it comes: a range from 1 to 1000 fps around the default.
  const spa_fraction slowest = SPA_FRACTION(0, 1), fastest = SPA_FRACTION(1000, 1);
  spa_pod_frame f;
  spa_pod_builder_push_object(b, &f, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_add(b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                      SPA_FORMAT_mediaSubtype,
                      SPA_POD_Id(cap.pixelformat == kPipeWireMjpeg ? SPA_MEDIA_SUBTYPE_mjpg
                                                                   : SPA_MEDIA_SUBTYPE_raw),
                      0);
  if (cap.pixelformat != kPipeWireMjpeg)
    spa_pod_builder_add(b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(cap.pixelformat), 0);
  spa_pod_builder_add(b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size),
                      SPA_FORMAT_VIDEO_framerate,
                      SPA_POD_CHOICE_RANGE_Fraction(&rate, &slowest, &fastest), 0);
  return static_cast<const spa_pod*>(spa_pod_builder_pop(b, &f));
}
