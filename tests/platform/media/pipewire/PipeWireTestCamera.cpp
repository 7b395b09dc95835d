// A camera node for tests: a PipeWire output stream (media class Video/Source, role Camera)
// offering the formats named on the command line and drawing a moving pattern.
//
//   pipewire_test_camera --name NAME [--description TEXT] [--role ROLE] [--pad BYTES]
//                        [--speed STEP] [--prop KEY=VALUE]... [--control NAME=MIN:MAX:DEF]...
//                        [--dmabuf]
//                        FORMAT...
//   FORMAT: YUY2|UYVY|NV12|I420|RGB|BGR|RGBx|BGRx|MJPG ":" W "x" H ["-" W2 "x" H2] ["@" FPS]
//
// Luma at (x, y) in frame n is (x + y + STEP * n) mod 256 (STEP 1 unless given), chroma 128; RGB
// formats carry the luma in every channel. Rows are padded by --pad bytes. The header metadata
// carries the frame number as sequence and the time as pts. A control (brightness, contrast,
// saturation, hue, gamma, sharpness, gain, exposure) is offered as an integer property of the
// node; a value set on it is printed as "control NAME VALUE". Commands on standard input, one a
// line:
//   gap N      the next frame's sequence number jumps by N (frames "lost" at the source)
//   stall      stop sending frames;  resume  send again
//   formats FORMAT...   offer these formats instead
//   quit       leave (end of input too)
// Prints "ready" on standard output once the node is announced.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/param/props.h>
#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

struct Offer {
  spa_video_format format = SPA_VIDEO_FORMAT_UNKNOWN;
  bool mjpg = false;
  spa_rectangle size{}, maxSize{};
  bool range = false;
  int fps = 30;
};

struct Control {
  std::string name;
  std::uint32_t id = 0;
  int min = 0, max = 0, def = 0, value = 0;
};

struct Camera {
  pw_main_loop* loop = nullptr;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  spa_source* timer = nullptr;
  spa_source* input = nullptr;
  std::vector<Offer> offers;
  spa_video_info_raw raw{};
  bool haveFormat = false;
  int pad = 0;
  int speed = 1;
  bool dmabuf = false;
  std::uint64_t frame = 0;
  std::uint64_t sequence = 0;
  bool stalled = false;
  bool announced = false;
  std::vector<Control> controls;
};

bool ParseControl(const std::string& text, Control* control) {
  static const std::pair<const char*, std::uint32_t> kIds[] = {{"brightness", SPA_PROP_brightness},
                                                               {"contrast", SPA_PROP_contrast},
                                                               {"saturation", SPA_PROP_saturation},
                                                               {"hue", SPA_PROP_hue},
                                                               {"gamma", SPA_PROP_gamma},
                                                               {"sharpness", SPA_PROP_sharpness},
                                                               {"gain", SPA_PROP_gain},
                                                               {"exposure", SPA_PROP_exposure}};
  const std::size_t eq = text.find('=');
  control->name = text.substr(0, eq);
  for (const auto& [name, id] : kIds)
    if (control->name == name) control->id = id;
  if (control->id == 0 || eq == std::string::npos ||
      std::sscanf(text.c_str() + eq + 1, "%d:%d:%d", &control->min, &control->max, &control->def) !=
          3)
    return false;
  control->value = control->def;
  return true;
}

// Offers the controls (PropInfo) and their values (Props) as node parameters.
void PushControls(Camera* c) {
  if (c->controls.empty()) return;
  std::vector<std::uint8_t> storage(4096);
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage.data(), static_cast<uint32_t>(storage.size()));
  std::vector<const spa_pod*> params;
  for (const Control& k : c->controls)
    params.push_back(static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id, SPA_POD_Id(k.id),
        SPA_PROP_INFO_description, SPA_POD_String(k.name.c_str()), SPA_PROP_INFO_type,
        SPA_POD_CHOICE_STEP_Int(k.def, k.min, k.max, 1))));
  spa_pod_frame f;
  spa_pod_builder_push_object(&b, &f, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
  for (const Control& k : c->controls) {
    spa_pod_builder_prop(&b, k.id, 0);
    spa_pod_builder_int(&b, k.value);
  }
  params.push_back(static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &f)));
  pw_stream_update_params(c->stream, params.data(), static_cast<uint32_t>(params.size()));
}

bool ParseOffer(const std::string& text, Offer* offer) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string name = text.substr(0, colon);
  struct Named {
    const char* name;
    spa_video_format format;
  };
  static const Named kNames[] = {{"YUY2", SPA_VIDEO_FORMAT_YUY2}, {"UYVY", SPA_VIDEO_FORMAT_UYVY},
                                 {"NV12", SPA_VIDEO_FORMAT_NV12}, {"I420", SPA_VIDEO_FORMAT_I420},
                                 {"RGB", SPA_VIDEO_FORMAT_RGB},   {"BGR", SPA_VIDEO_FORMAT_BGR},
                                 {"RGBx", SPA_VIDEO_FORMAT_RGBx}, {"BGRx", SPA_VIDEO_FORMAT_BGRx}};
  offer->mjpg = name == "MJPG";
  for (const Named& n : kNames)
    if (name == n.name) offer->format = n.format;
  if (!offer->mjpg && offer->format == SPA_VIDEO_FORMAT_UNKNOWN) return false;
  unsigned w = 0, h = 0, w2 = 0, h2 = 0;
  int fps = 30;
  const char* rest = text.c_str() + colon + 1;
  if (std::sscanf(rest, "%ux%u-%ux%u@%d", &w, &h, &w2, &h2, &fps) >= 4) {
    offer->range = true;
  } else if (std::sscanf(rest, "%ux%u@%d", &w, &h, &fps) < 2) {
    return false;
  }
  offer->size = {w, h};
  offer->maxSize = {w2, h2};
  offer->fps = fps;
  return true;
}

const spa_pod* BuildOffer(spa_pod_builder* b, const Offer& o) {
  spa_pod_frame f;
  spa_pod_builder_push_object(b, &f, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_add(b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                      SPA_FORMAT_mediaSubtype,
                      SPA_POD_Id(o.mjpg ? SPA_MEDIA_SUBTYPE_mjpg : SPA_MEDIA_SUBTYPE_raw), 0);
  if (!o.mjpg) spa_pod_builder_add(b, SPA_FORMAT_VIDEO_format, SPA_POD_Id(o.format), 0);
  if (o.range)
    spa_pod_builder_add(b, SPA_FORMAT_VIDEO_size,
                        SPA_POD_CHOICE_RANGE_Rectangle(&o.maxSize, &o.size, &o.maxSize), 0);
  else
    spa_pod_builder_add(b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&o.size), 0);
  const spa_fraction rate = SPA_FRACTION(static_cast<uint32_t>(o.fps), 1);
  spa_pod_builder_add(b, SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate), 0);
  return static_cast<const spa_pod*>(spa_pod_builder_pop(b, &f));
}

// Bytes per row before padding, and the frame size, for the negotiated format.
void Layout(const Camera& c, int* stride, int* frameBytes) {
  const int w = static_cast<int>(c.raw.size.width), h = static_cast<int>(c.raw.size.height);
  int row = 2 * w;
  switch (c.raw.format) {
    case SPA_VIDEO_FORMAT_NV12:
    case SPA_VIDEO_FORMAT_I420:
      row = w;
      break;
    case SPA_VIDEO_FORMAT_RGB:
    case SPA_VIDEO_FORMAT_BGR:
      row = 3 * w;
      break;
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_BGRx:
      row = 4 * w;
      break;
    default:
      break;
  }
  *stride = row + c.pad;
  const bool planar =
      c.raw.format == SPA_VIDEO_FORMAT_NV12 || c.raw.format == SPA_VIDEO_FORMAT_I420;
  *frameBytes = planar ? *stride * h * 3 / 2 : *stride * h;
}

void Draw(const Camera& c, std::uint8_t* out, int stride) {
  const int w = static_cast<int>(c.raw.size.width), h = static_cast<int>(c.raw.size.height);
  const int n = static_cast<int>((c.frame * static_cast<std::uint64_t>(c.speed)) & 0xFF);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = out + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t l = static_cast<std::uint8_t>(x + y + n);
      switch (c.raw.format) {
        case SPA_VIDEO_FORMAT_YUY2:
          row[2 * x] = l;
          row[2 * x + 1] = 128;
          break;
        case SPA_VIDEO_FORMAT_UYVY:
          row[2 * x] = 128;
          row[2 * x + 1] = l;
          break;
        case SPA_VIDEO_FORMAT_NV12:
        case SPA_VIDEO_FORMAT_I420:
          row[x] = l;
          break;
        case SPA_VIDEO_FORMAT_RGB:
        case SPA_VIDEO_FORMAT_BGR:
          std::memset(row + 3 * x, l, 3);
          break;
        default:
          std::memset(row + 4 * x, l, 4);
          break;
      }
    }
  }
  if (c.raw.format == SPA_VIDEO_FORMAT_NV12 || c.raw.format == SPA_VIDEO_FORMAT_I420)
    std::memset(out + static_cast<std::ptrdiff_t>(h) * stride, 128,
                static_cast<std::size_t>(stride) * h / 2);
}

void OnProcess(void* data) {
  auto* c = static_cast<Camera*>(data);
  pw_buffer* b = pw_stream_dequeue_buffer(c->stream);
  if (!b) return;
  spa_buffer* buf = b->buffer;
  std::uint8_t* out = static_cast<std::uint8_t*>(buf->datas[0].data);
  if ((!out && !c->dmabuf) || !c->haveFormat) {
    pw_stream_queue_buffer(c->stream, b);
    return;
  }
  int stride = 0, bytes = 0;
  Layout(*c, &stride, &bytes);
  if (static_cast<std::uint32_t>(bytes) > buf->datas[0].maxsize) bytes = 0;
  if (bytes > 0 && out) Draw(*c, out, stride);
  if (auto* h = static_cast<spa_meta_header*>(
          spa_buffer_find_meta_data(buf, SPA_META_Header, sizeof(spa_meta_header)))) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    h->pts = now.tv_sec * 1000000000LL + now.tv_nsec;
    h->flags = 0;
    h->seq = c->sequence;
    h->dts_offset = 0;
  }
  buf->datas[0].chunk->offset = 0;
  buf->datas[0].chunk->size = static_cast<std::uint32_t>(bytes);
  buf->datas[0].chunk->stride = stride;
  ++c->frame;
  ++c->sequence;
  pw_stream_queue_buffer(c->stream, b);
}

void OnTimer(void* data, uint64_t) {
  auto* c = static_cast<Camera*>(data);
  if (!c->stalled && c->haveFormat) pw_stream_trigger_process(c->stream);
}

void OnParamChanged(void* data, uint32_t id, const spa_pod* param) {
  auto* c = static_cast<Camera*>(data);
  if (id == SPA_PARAM_Props && param && spa_pod_is_object(param)) {
    const spa_pod_prop* prop;
    SPA_POD_OBJECT_FOREACH(reinterpret_cast<const spa_pod_object*>(param), prop) {
      for (Control& k : c->controls) {
        std::int32_t value = 0;
        if (k.id != prop->key || spa_pod_get_int(&prop->value, &value) < 0) continue;
        k.value = value;
        std::printf("control %s %d\n", k.name.c_str(), value);
        std::fflush(stdout);
      }
    }
    PushControls(c);
    return;
  }
  if (id != SPA_PARAM_Format || !param) return;
  spa_video_info info{};
  if (spa_format_parse(param, &info.media_type, &info.media_subtype) < 0) return;
  if (info.media_subtype != SPA_MEDIA_SUBTYPE_raw) {
    c->haveFormat = false;  // MJPEG is only offered, never drawn
    return;
  }
  spa_format_video_raw_parse(param, &c->raw);
  c->haveFormat = true;
  int stride = 0, bytes = 0;
  Layout(*c, &stride, &bytes);
  std::uint8_t buffer[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[2];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
      SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
      SPA_PARAM_BUFFERS_size, SPA_POD_Int(bytes), SPA_PARAM_BUFFERS_stride, SPA_POD_Int(stride),
      SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd)));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  pw_stream_update_params(c->stream, params, 2);
  const int fps = c->raw.framerate.num && c->raw.framerate.denom
                      ? static_cast<int>(c->raw.framerate.num / c->raw.framerate.denom)
                      : 30;
  timespec interval{0, 1000000000L / (fps > 0 ? fps : 30)};
  pw_loop_update_timer(pw_main_loop_get_loop(c->loop), c->timer, &interval, &interval, false);
}

void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
  auto* c = static_cast<Camera*>(data);
  if (state == PW_STREAM_STATE_ERROR) std::fprintf(stderr, "test camera: %s\n", error);
  if (!c->announced && (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING)) {
    c->announced = true;
    std::printf("ready %u\n", pw_stream_get_node_id(c->stream));
    std::fflush(stdout);
  }
}

// --dmabuf: the camera's own buffers, announced as DMA-BUF and not mappable (as a GPU's would be
// to a program without its driver); their memory is a memfd nobody draws into.
void OnAddBuffer(void* data, pw_buffer* b) {
  auto* c = static_cast<Camera*>(data);
  if (!c->dmabuf) return;
  int stride = 0, bytes = 0;
  Layout(*c, &stride, &bytes);
  spa_data& d = b->buffer->datas[0];
  d.type = SPA_DATA_DmaBuf;
  d.flags = SPA_DATA_FLAG_READWRITE;
  d.fd = memfd_create("test-camera-dmabuf", MFD_CLOEXEC);
  if (d.fd >= 0 && ftruncate(d.fd, bytes) != 0) std::perror("test camera: ftruncate");
  d.mapoffset = 0;
  d.maxsize = static_cast<std::uint32_t>(bytes);
  d.data = nullptr;
}

void OnRemoveBuffer(void* data, pw_buffer* b) {
  auto* c = static_cast<Camera*>(data);
  if (c->dmabuf && b->buffer->datas[0].fd >= 0) close(static_cast<int>(b->buffer->datas[0].fd));
}

const pw_stream_events kEvents = [] {
  pw_stream_events e{};
  e.version = PW_VERSION_STREAM_EVENTS;
  e.add_buffer = OnAddBuffer;
  e.remove_buffer = OnRemoveBuffer;
  e.state_changed = OnStateChanged;
  e.param_changed = OnParamChanged;
  e.process = OnProcess;
  return e;
}();

// Replaces the offered formats (space-separated FORMATs) on the live node.
void Reoffer(Camera* c, const std::string& formats) {
  std::vector<std::uint8_t> storage(4096);
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage.data(), static_cast<uint32_t>(storage.size()));
  std::vector<const spa_pod*> params;
  std::size_t start = 0;
  while (start < formats.size()) {
    std::size_t end = formats.find(' ', start);
    if (end == std::string::npos) end = formats.size();
    Offer o;
    if (end > start && ParseOffer(formats.substr(start, end - start), &o))
      params.push_back(BuildOffer(&b, o));
    start = end + 1;
  }
  pw_stream_update_params(c->stream, params.data(), static_cast<uint32_t>(params.size()));
}

void OnInput(void* data, int fd, uint32_t) {
  auto* c = static_cast<Camera*>(data);
  static std::string pending;
  char chunk[256];
  const ssize_t n = read(fd, chunk, sizeof chunk);
  if (n <= 0) {
    pw_main_loop_quit(c->loop);
    return;
  }
  pending.append(chunk, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = pending.find('\n')) != std::string::npos) {
    const std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    unsigned gap = 0;
    if (std::sscanf(line.c_str(), "gap %u", &gap) == 1)
      c->sequence += gap;
    else if (line == "stall")
      c->stalled = true;
    else if (line == "resume")
      c->stalled = false;
    else if (line == "quit")
      pw_main_loop_quit(c->loop);
    else if (line.rfind("formats ", 0) == 0)
      Reoffer(c, line.substr(8));
  }
}

void OnSignal(void* data, int) {
  pw_main_loop_quit(static_cast<Camera*>(data)->loop);
}

}  // namespace

int main(int argc, char** argv) {
  pw_init(&argc, &argv);
  Camera c;
  std::string name = "frostwipe-test-camera", description = "Test Camera", role = "Camera";
  std::vector<std::string> extra;  // KEY=VALUE node properties
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--name" && i + 1 < argc) {
      name = argv[++i];
    } else if (arg == "--description" && i + 1 < argc) {
      description = argv[++i];
    } else if (arg == "--role" && i + 1 < argc) {
      role = argv[++i];
    } else if (arg == "--prop" && i + 1 < argc) {
      extra.emplace_back(argv[++i]);
    } else if (arg == "--control" && i + 1 < argc) {
      Control k;
      if (!ParseControl(argv[++i], &k)) {
        std::fprintf(stderr, "test camera: bad control \"%s\"\n", argv[i]);
        return 2;
      }
      c.controls.push_back(k);
    } else if (arg == "--speed" && i + 1 < argc) {
      c.speed = std::atoi(argv[++i]);
    } else if (arg == "--dmabuf") {
      c.dmabuf = true;
    } else if (arg == "--pad" && i + 1 < argc) {
      c.pad = std::atoi(argv[++i]);
    } else {
      Offer o;
      if (!ParseOffer(arg, &o)) {
        std::fprintf(stderr, "test camera: bad format \"%s\"\n", arg.c_str());
        return 2;
      }
      c.offers.push_back(o);
    }
  }
  if (c.offers.empty()) return 2;
  c.loop = pw_main_loop_new(nullptr);
  pw_loop* loop = pw_main_loop_get_loop(c.loop);
  pw_loop_add_signal(loop, SIGINT, OnSignal, &c);
  pw_loop_add_signal(loop, SIGTERM, OnSignal, &c);
  c.timer = pw_loop_add_timer(loop, OnTimer, &c);
  c.input = pw_loop_add_io(loop, STDIN_FILENO, SPA_IO_IN | SPA_IO_HUP, false, OnInput, &c);
  pw_properties* props =
      pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_MEDIA_TYPE, "Video",
                        PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, role.c_str(),
                        PW_KEY_NODE_NAME, name.c_str(), PW_KEY_NODE_DESCRIPTION,
                        description.c_str(), PW_KEY_OBJECT_PATH, ("test:" + name).c_str(), nullptr);
  for (const std::string& kv : extra) {
    const std::size_t eq = kv.find('=');
    if (eq != std::string::npos)
      pw_properties_set(props, kv.substr(0, eq).c_str(), kv.c_str() + eq + 1);
  }
  c.stream = pw_stream_new_simple(loop, name.c_str(), props, &kEvents, &c);
  std::vector<std::uint8_t> storage(4096);
  spa_pod_builder b = SPA_POD_BUILDER_INIT(storage.data(), static_cast<uint32_t>(storage.size()));
  std::vector<const spa_pod*> params;
  for (const Offer& o : c.offers) params.push_back(BuildOffer(&b, o));
  const int r = pw_stream_connect(
      c.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS |
                                   (c.dmabuf ? PW_STREAM_FLAG_ALLOC_BUFFERS : 0)),
      params.data(), static_cast<uint32_t>(params.size()));
  if (r < 0) {
    std::fprintf(stderr, "test camera: cannot connect: %s\n", spa_strerror(r));
    return 1;
  }
  PushControls(&c);
  pw_main_loop_run(c.loop);
  pw_stream_destroy(c.stream);
  pw_main_loop_destroy(c.loop);
  pw_deinit();
  return 0;
}
