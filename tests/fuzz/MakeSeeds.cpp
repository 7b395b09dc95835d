// Writes the seed corpus of the fuzz harnesses: a few valid and near-valid inputs each.
//   fuzz_make_seeds <corpus folder>
// Run by hand when a harness or its input format changes; the output is committed.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/toolkit/DibTypes.h"
#include "tests/fuzz/StoredSettingNames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
std::filesystem::path root;

void Write(const std::string& harness, const std::string& name, const Bytes& bytes) {
  const std::filesystem::path folder = root / harness;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& harness, const std::string& name, const std::string& text) {
  Write(harness, name, Bytes(text.begin(), text.end()));
}

template <typename T>
void Append(Bytes& out, const T& value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

// ---- bitmaps ----

Bytes Dib(int width, int height, int bits, std::uint32_t compression, int colours,
          std::uint32_t headerSize = 40) {
  BITMAPINFOHEADER h{};
  h.biSize = headerSize;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<std::uint16_t>(bits);
  h.biCompression = compression;
  h.biClrUsed = static_cast<std::uint32_t>(colours);
  Bytes out;
  Append(out, h);
  out.resize(headerSize, 0);
  // RGB565 masks: after a 40-byte header, inside a larger one.
  const std::uint32_t masks[] = {0xF800u, 0x07E0u, 0x001Fu};
  if (compression == BI_BITFIELDS && headerSize == 40)
    out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(masks),
               reinterpret_cast<const std::uint8_t*>(masks) + sizeof masks);
  else if (compression == BI_BITFIELDS)
    std::memcpy(out.data() + 40, masks, sizeof masks);
  const int paletteSize = bits <= 8 ? (colours ? colours : 1 << bits) : 0;
  for (int i = 0; i < paletteSize; ++i)
    Append(out, RGBQUAD{std::uint8_t(i * 7), std::uint8_t(i * 3), std::uint8_t(255 - i), 0});
  const int rows = height < 0 ? -height : height;
  for (int y = 0; y < rows; ++y)
    for (int b = 0; b < DibRowBytes(width, bits); ++b) out.push_back(std::uint8_t(y * 31 + b * 17));
  return out;
}

void DibSeeds() {
  Write("dib", "palette8", Dib(4, 3, 8, BI_RGB, 0));
  Write("dib", "palette4-topdown", Dib(5, -5, 4, BI_RGB, 16));
  Write("dib", "palette1-two-colours", Dib(9, 2, 1, BI_RGB, 2));
  Write("dib", "rgb24", Dib(3, 3, 24, BI_RGB, 0));
  Write("dib", "rgb32", Dib(2, 2, 32, BI_RGB, 0));
  Write("dib", "rgb555", Dib(3, 2, 16, BI_RGB, 0));
  Write("dib", "rgb565-bitfields", Dib(3, 2, 16, BI_BITFIELDS, 0));
  Write("dib", "rgb565-bitfields-large-header", Dib(3, 2, 16, BI_BITFIELDS, 0, 56));
  Bytes truncated = Dib(6, 4, 24, BI_RGB, 0);
  truncated.resize(truncated.size() - 5);
  Write("dib", "rgb24-truncated", truncated);
  Bytes many = Dib(2, 2, 8, BI_RGB, 0);
  many[32] = 0x01;  // biClrUsed 257
  many[33] = 0x01;
  Write("dib", "palette8-too-many-colours", many);
}

// ---- MJPEG frames ----

struct Encoder {
  bool grey = false;
  bool progressive = false;
  int hSampling = 2, vSampling = 2;
};

Bytes Jpeg(int width, int height, const Encoder& e) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = e.grey ? 1 : 3;
  info.in_color_space = e.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 80, TRUE);
  if (!e.grey) {
    info.comp_info[0].h_samp_factor = e.hSampling;
    info.comp_info[0].v_samp_factor = e.vSampling;
  }
  if (e.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  Bytes row(static_cast<std::size_t>(width) * info.input_components);
  while (info.next_scanline < info.image_height) {
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] = std::uint8_t(i * 5 + info.next_scanline * 9);
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

// Cameras leave out the Huffman tables (DHT segments) and rely on the standard ones.
Bytes WithoutHuffmanTables(const Bytes& jpeg) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const int marker = jpeg[at + 1];
    const std::size_t length = static_cast<std::size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    if (marker != 0xC4) out.insert(out.end(), jpeg.begin() + at, jpeg.begin() + at + 2 + length);
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  out.insert(out.end(), jpeg.begin() + at, jpeg.end());
  return out;
}

void Frame(const std::string& name, int width, int height, bool rgb24, const Bytes& jpeg) {
  Bytes out{std::uint8_t(rgb24 ? 1 : 0), std::uint8_t((width - 1) & 0xFF),
            std::uint8_t((width - 1) >> 8), std::uint8_t((height - 1) & 0xFF),
            std::uint8_t((height - 1) >> 8)};
  out.insert(out.end(), jpeg.begin(), jpeg.end());
  Write("mjpeg", name, out);
}

void MjpegSeeds() {
  const Bytes frame = Jpeg(32, 24, {});
  Frame("rgb32-420", 32, 24, false, frame);
  Frame("rgb24-422-odd-size", 17, 13, true, Jpeg(17, 13, {false, false, 2, 1}));
  Frame("no-huffman-tables", 32, 24, false, WithoutHuffmanTables(frame));
  Frame("grey", 16, 16, true, Jpeg(16, 16, {true}));
  Frame("progressive", 24, 16, false, Jpeg(24, 16, {false, true}));
  Frame("truncated", 32, 24, false, Bytes(frame.begin(), frame.begin() + frame.size() / 2));
  Frame("size-differs", 24, 32, false, frame);
  Bytes damaged = frame;
  for (std::size_t i = damaged.size() / 2; i < damaged.size() - 2; i += 7) damaged[i] ^= 0x5A;
  Frame("damaged", 32, 24, true, damaged);
}

// ---- scripted devices ----

void ScriptedSeeds() {
  WriteText("scripted_devices", "minimal", R"([{"friendlyName": "A"}])");
  WriteText("scripted_devices", "every-field", R"({"devices": [{
  "friendlyName": "USB Camera", "displayName": "@device:pnp:\\\\?\\usb#vid_1234\\global",
  "category": "video", "driver": "WDM", "pins": ["capture", "preview"],
  "capabilities": [
    {"subtype": "YUY2", "width": 640, "height": 480, "minWidth": 160, "minHeight": 120,
     "maxWidth": 640, "maxHeight": 480, "stepX": 160, "stepY": 120,
     "frameRate": 30, "minFrameRate": 5, "maxFrameRate": 30},
    {"subtype": "MJPG", "width": 64, "height": 48, "frameRate": 15}],
  "scene": "pattern",
  "videoProcAmp": [{"property": "Brightness", "min": -100, "max": 100, "step": 1,
                    "default": 0, "auto": false}],
  "cameraControl": [{"property": "Zoom", "min": 100, "max": 400, "default": 100}],
  "crossbar": ["Tuner", "Composite", {"name": "SVideo", "type": 3}],
  "analogVideoDecoder": {"standards": ["NTSC_M", "PAL_B"], "current": "PAL_B"},
  "tvTuner": true, "vfwDialogs": ["source", "format", "display"],
  "fail": {"setFormat": false, "create": false, "run": false, "loseAfterFrames": 30},
  "plugged": true}]})");
  WriteText("scripted_devices", "odd-sizes-every-subtype", R"([{"friendlyName": "Odd",
  "capabilities": [
    {"subtype": "I420", "width": 18, "height": 14}, {"subtype": "NV12", "width": 16, "height": 10},
    {"subtype": "YV12", "width": 2, "height": 2}, {"subtype": "UYVY", "width": 8, "height": 5},
    {"subtype": "RGB565", "width": 5, "height": 3}, {"subtype": "RGB555", "width": 1, "height": 1},
    {"subtype": "RGB32", "width": 9, "height": 2, "maxWidth": 33, "maxHeight": 17, "stepX": 8,
     "stepY": 5},
    {"subtype": "{32595559-0000-0010-8000-00AA00389B71}", "width": 12, "height": 7}]}])");
  WriteText("scripted_devices", "vfw-audio-and-compressors", R"([
  {"friendlyName": "Old", "driver": "vfw", "vfwDialogs": ["format"], "fail": {"setFormat": true}},
  {"friendlyName": "Mic", "category": "audio"},
  {"friendlyName": "Codec", "category": "videoCompressor", "plugged": false},
  {"friendlyName": "Sound", "category": "audioCompressor"}])");
  WriteText(
      "scripted_devices", "duplicate-names",
      R"([{"friendlyName": "A", "displayName": "@x"}, {"friendlyName": "B", "displayName": "@X"}])");
  WriteText(
      "scripted_devices", "rates-the-wrong-way-round",
      R"([{"friendlyName": "A", "capabilities": [{"minFrameRate": 60, "maxFrameRate": 10}]}])");
  WriteText("scripted_devices", "unknown-key", R"([{"friendlyName": "A", "colour": 1}])");
  WriteText("scripted_devices", "not-json", R"([{"friendlyName": "A")");
}

// ---- stored settings ----

void StoredSettingsSeeds() {
  const std::vector<StoredSettingName> names = StoredSettingNames();
  auto index = [&](const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i].name == name) return std::uint8_t(i);
    std::fprintf(stderr, "no stored setting %s\n", name.c_str());
    std::exit(1);
  };
  auto record = [&](Bytes& out, const std::string& name, DWORD type, const Bytes& data) {
    out.push_back(index(name));
    out.push_back(std::uint8_t(type));
    out.push_back(std::uint8_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  };
  auto dword = [](std::int32_t v) {
    Bytes b;
    Append(b, v);
    return b;
  };
  auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  auto textz = [](const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
  };
  const std::uint8_t all = 0x0F;
  Write("stored_settings", "as-discovered", Bytes{all});
  Write("stored_settings", "as-discovered-no-preview", Bytes{0x07});
  Bytes b{all};
  record(b, "VideoSize", REG_DWORD, dword(3));
  record(b, "VideoSubtype", REG_DWORD, dword(1));
  record(b, "VideoInput", REG_DWORD, dword(1));
  Write("stored_settings", "chosen-size-and-subtype", b);
  b = {all};
  record(b, "VideoSize", REG_DWORD, dword(-7));
  record(b, "VideoSubtype", REG_DWORD, dword(-1));
  record(b, "VideoInput", REG_DWORD, dword(99));
  record(b, "ANTVFormat", REG_DWORD, dword(-1));
  Write("stored_settings", "indexes-out-of-range", b);
  b = {all};
  record(b, "VideoSize", REG_SZ, textz("3"));
  record(b, "_DeviceDiscovered", REG_BINARY, Bytes{1});
  record(b, "VideoQualityValuesSize", REG_SZ, text("240"));
  Write("stored_settings", "wrong-types", b);
  b = {all};
  record(b, "VideoQualityValues", REG_BINARY, Bytes(17, 0xAB));
  record(b, "CameraControlValues", REG_BINARY, Bytes(168, 0xFF));
  record(b, "CameraControlValuesSize", REG_DWORD, dword(100000));
  record(b, "VideoQualityAuto", REG_DWORD, dword(0));
  record(b, "CameraControlAuto", REG_DWORD, dword(0));
  record(b, "TVChannel", REG_DWORD, Bytes{1, 2});
  Write("stored_settings", "wrong-sizes", b);
  b = {all};
  record(b, "AMVideoCrossbar", REG_SZ, textz("2!1!0"));
  record(b, "VideoInputs", REG_SZ, textz("Tuner\r\nComposite\r\n"));
  record(b, "FMT000", REG_SZ, text(" 99999x99999"));
  record(b, "FMT001", REG_BINARY, Bytes{1, 2, 3});
  record(b, "SUB000", 5, {});
  record(b, "_LastClipPlayed", REG_EXPAND_SZ, Bytes(40, 'x'));
  record(b, "_LastRecordingFileName", 6, textz("a"));
  Write("stored_settings", "crossbar-lists-and-globals", b);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <corpus folder>\n");
    return 2;
  }
  root = argv[1];
  DibSeeds();
  MjpegSeeds();
  ScriptedSeeds();
  StoredSettingsSeeds();
  return 0;
}
