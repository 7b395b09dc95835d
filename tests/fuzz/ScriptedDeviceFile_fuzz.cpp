// Fuzz harness of the scripted-device file: any bytes loaded as the file, then every device it
// describes made into a filter whose formats, controls and packed frames are exercised.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "platform/com/ComPtr.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/MediaType.h"
#include "platform/media/virtual/FramePacker.h"
#include "platform/media/virtual/ScriptedDeviceFile.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// Frames larger than this are not packed: the bounds of the file allow 256 MB, which would make
// each run take seconds.
constexpr long kMaxPackedBytes = 1 << 20;

void PackOneFrame(const AM_MEDIA_TYPE& mt) {
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  if (!bih || !CanPackSubtype(mt.subtype) || bih->biWidth <= 0 || bih->biHeight == 0) return;
  const long bytes = static_cast<long>(bih->biSizeImage);
  const long long pixels = static_cast<long long>(bih->biWidth) * std::abs(bih->biHeight);
  if (bytes <= 0 || bytes > kMaxPackedBytes || pixels > kMaxPackedBytes) return;
  std::vector<std::uint32_t> picture(static_cast<std::size_t>(pixels), 0xFF806040u);
  // Exactly the size the media type gives, so that a write past it is caught.
  std::vector<BYTE> out(static_cast<std::size_t>(bytes));
  PackFrame(picture.data(), bih->biWidth, std::abs(bih->biHeight), mt.subtype, PictureAdjust{},
            out.data(), bytes);
}

void ExerciseStreamConfig(IPin* pin, bool refusesFormats) {
  ComPtr<IEnumMediaTypes> types;
  if (SUCCEEDED(pin->EnumMediaTypes(types.GetAddressOf())) && types) {
    AM_MEDIA_TYPE* mt = nullptr;
    for (int i = 0; i < 64 && types->Next(1, &mt, nullptr) == S_OK; ++i) DeleteMediaType(mt);
  }
  ComPtr<IAMStreamConfig> config = ComQuery<IAMStreamConfig>(pin);
  if (!config) return;
  int count = 0, size = 0;
  FUZZ_CHECK(config->GetNumberOfCapabilities(&count, &size) == S_OK);
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    FUZZ_CHECK(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) == S_OK && mt);
    PackOneFrame(*mt);
    // What a capability offers, SetFormat takes.
    const HRESULT set = config->SetFormat(mt);
    FUZZ_CHECK(refusesFormats || set == S_OK);
    DeleteMediaType(mt);
    AM_MEDIA_TYPE* current = nullptr;
    if (config->GetFormat(&current) == S_OK) DeleteMediaType(current);
  }
  config->SetFormat(nullptr);
}

void ExerciseFilter(IBaseFilter* filter, bool refusesFormats) {
  ComPtr<IEnumPins> pins;
  if (SUCCEEDED(filter->EnumPins(pins.GetAddressOf())) && pins) {
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK)
      ExerciseStreamConfig(pin.Get(), refusesFormats);
  }
  long min, max, step, def, flags, value;
  if (ComPtr<IAMVideoProcAmp> amp = ComQuery<IAMVideoProcAmp>(filter))
    for (long p = 0; p < 16; ++p)
      if (SUCCEEDED(amp->GetRange(p, &min, &max, &step, &def, &flags))) {
        amp->Set(p, max, flags);
        amp->Get(p, &value, &flags);
      }
  if (ComPtr<IAMCameraControl> camera = ComQuery<IAMCameraControl>(filter))
    for (long p = 0; p < 16; ++p)
      if (SUCCEEDED(camera->GetRange(p, &min, &max, &step, &def, &flags))) {
        camera->Set(p, min, flags);
        camera->Get(p, &value, &flags);
      }
  if (ComPtr<IAMAnalogVideoDecoder> decoder = ComQuery<IAMAnalogVideoDecoder>(filter)) {
    long standards = 0;
    decoder->get_AvailableTVFormats(&standards);
    decoder->put_TVFormat(standards & -standards);
    decoder->get_NumberOfLines(&value);
  }
  if (ComPtr<IAMCrossbar> crossbar = ComQuery<IAMCrossbar>(filter)) {
    long outputs = 0, inputs = 0;
    crossbar->get_PinCounts(&outputs, &inputs);
    for (long o = 0; o < outputs; ++o)
      for (long i = 0; i < inputs; ++i)
        if (crossbar->CanRoute(o, i) == S_OK) crossbar->Route(o, i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Only the file given here is read, never one the environment names.
  qunsetenv("FROSTWIPE_VIRTUAL_DEVICES");
  // Each plugged device is logged; at thousands of runs a second that is all the log would say.
  QLoggingCategory::setFilterRules(QStringLiteral("frostwipe.*.info=false"));
  static QCoreApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("devices.json"));
  {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  const std::shared_ptr<ScriptedDevices> devices = ScriptedDevices::Instance();
  devices->Clear();
  QString error;
  const HRESULT loaded = devices->LoadFile(path, &error);
  FUZZ_CHECK(SUCCEEDED(loaded) || !error.isEmpty());  // every refusal says why
  // Devices told to refuse formats are allowed to; the check below is for the others.
  std::vector<ScriptedDeviceEntry> parsed;
  ParseScriptedDevices(
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
      &parsed, nullptr);
  bool refusesFormats = false;
  for (const ScriptedDeviceEntry& entry : parsed)
    refusesFormats = refusesFormats || entry.config.failures.refuseSetFormat;
  for (REFGUID category : {CLSID_VideoInputDeviceCategory, CLSID_AudioInputDeviceCategory,
                           CLSID_VideoCompressorCategory, CLSID_AudioCompressorCategory,
                           AM_KSCATEGORY_CROSSBAR, AM_KSCATEGORY_TVTUNER}) {
    const std::vector<DeviceDescription> listed = devices->ListDevices(category);
    // All or nothing: a refused file leaves no device behind.
    FUZZ_CHECK(SUCCEEDED(loaded) || listed.empty());
    for (const DeviceDescription& d : listed) {
      IBaseFilter* raw = nullptr;
      if (FAILED(devices->CreateFilter(category, d.displayName, &raw))) continue;
      ComPtr<IBaseFilter> filter;
      filter.Attach(raw);
      ExerciseFilter(filter.Get(), refusesFormats);
    }
  }
  devices->Clear();
  // Plugging announced the devices to the user-interface thread; those calls run here.
  QCoreApplication::processEvents();
  return 0;
}
