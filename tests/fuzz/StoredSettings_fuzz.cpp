// Fuzz harness of the settings read back from the store: fuzzed values of any type and size are
// written over a device's stored settings and the capture control's globals, then the real
// loading code runs over them: the stored tables read directly, and a control that opens the
// device (stored formats, size, subtype, inputs) and starts and stops its preview (stored image
// quality, camera control and crossbar routing applied to the device).
//
// Input: one byte of flags, then records until the input ends. Flags: bit 0 stores device
// settings, bit 1 image quality, bit 2 camera control, bit 3 starts the preview. A record is a
// value name (an index into the names the loading code reads), a type (0-4: the store's types,
// 5: the value is deleted, 6 and 7: types the store does not know), a length and that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QWidget>

#include "capture/CaptureCtl.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/RegistrySettings.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Application.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/StoredSettingNames.h"

namespace {

struct StoredValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

// A camera with every part whose state the control stores.
VirtualDeviceConfig Camera() {
  VirtualDeviceConfig c;
  c.friendlyName = u"Fuzz Camera";
  c.displayName = u"@device:pnp:fuzz-camera";
  for (GUID subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24}) {
    VideoCapability cap;
    cap.subtype = subtype;
    cap.width = 160;
    cap.height = 120;
    cap.minWidth = 80;
    cap.minHeight = 60;
    cap.maxWidth = 320;
    cap.maxHeight = 240;
    cap.stepX = 80;
    cap.stepY = 60;
    c.capabilities.push_back(cap);
  }
  c.videoProcAmp = DefaultVideoProcAmp();
  c.cameraControl = {{CameraControl_Zoom, 100, 400, 10, 100, CameraControl_Flags_Manual},
                     {CameraControl_Focus, 0, 255, 1, 0, CameraControl_Flags_Manual}};
  c.crossbarInputs = {{u"Tuner", PhysConn_Video_Tuner},
                      {u"Composite", PhysConn_Video_Composite},
                      {u"SVideo", PhysConn_Video_SVideo}};
  c.analogVideoDecoder = true;
  c.tvTuner = true;
  return c;
}

void Idle() {
  bool done = false;
  if (TSyncManager* manager = SyncManager()) manager->OnIdle(done);
}

HKEY OpenKey(const QString& path) {
  HKEY key = nullptr;
  FUZZ_CHECK(RegCreateKeyEx(HKEY_CURRENT_USER, path.toUtf8().constData(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS);
  return key;
}

// The store, the camera and the control's runs over them. Thread: UI (libFuzzer and the replay
// call the harness on the main thread, which owns the application object).
class Fixture {
 public:
  explicit Fixture(const QString& workDir) {
    QDir::setCurrent(workDir);  // the control's trace lands here
    CheckRegistryVersion();
    ScriptedDevices::Instance()->Clear();
    FUZZ_CHECK(ScriptedDevices::Instance()->Add(Camera()) == S_OK);
    // A first run discovers the device; what it stores is where every later run starts from.
    RunControl(0x0F);
    deviceKey_ = DeviceList(dk_VideoDevices)->RegistryKey(0);
    FinalizeCaptureUnit();
    FUZZ_CHECK(!deviceKey_.isEmpty());
    baseline_ = ReadValues(deviceKey_);
    FUZZ_CHECK(!baseline_.empty());

    names_ = StoredSettingNames();
  }

  void Run(const std::uint8_t* data, std::size_t size) {
    Restore();
    const int flags = size > 0 ? data[0] : 0;
    WriteRecords(data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    LoadTablesDirectly();
    RunControl(flags);
    FinalizeCaptureUnit();
  }

 private:
  static std::vector<StoredValue> ReadValues(const QString& path) {
    std::vector<StoredValue> values;
    HKEY key = OpenKey(path);
    for (DWORD i = 0;; ++i) {
      char name[512];
      DWORD nameSize = sizeof name;
      BYTE bytes[4096];
      DWORD byteCount = sizeof bytes;
      StoredValue v;
      if (RegEnumValue(key, i, name, &nameSize, nullptr, &v.type, bytes, &byteCount) !=
          ERROR_SUCCESS)
        break;
      v.name.assign(name, nameSize);
      v.bytes.assign(bytes, bytes + byteCount);
      values.push_back(std::move(v));
    }
    RegCloseKey(key);
    return values;
  }

  // The store as the discovering run left it: the device's values, no globals.
  void Restore() {
    RegDeleteTree(HKEY_CURRENT_USER, deviceKey_.toUtf8().constData());
    RegDeleteTree(HKEY_CURRENT_USER, GlobalRegistryKey().toUtf8().constData());
    HKEY key = OpenKey(deviceKey_);
    for (const StoredValue& v : baseline_)
      FUZZ_CHECK(RegSetValueEx(key, v.name.c_str(), 0, v.type, v.bytes.data(),
                               static_cast<DWORD>(v.bytes.size())) == ERROR_SUCCESS);
    RegCloseKey(key);
  }

  void WriteRecords(const std::uint8_t* data, std::size_t size) {
    HKEY device = OpenKey(deviceKey_);
    HKEY global = OpenKey(GlobalRegistryKey());
    std::size_t at = 0;
    while (at + 3 <= size) {
      const StoredSettingName& name = names_[data[at] % names_.size()];
      const int type = data[at + 1] % 8;
      const std::size_t length = std::min<std::size_t>(data[at + 2], size - at - 3);
      const BYTE* bytes = data + at + 3;
      at += 3 + length;
      HKEY key = name.global ? global : device;
      if (type == 5) {
        RegDeleteValue(key, name.name.c_str());
        continue;
      }
      // Unknown types and a REG_DWORD of the wrong size are the store's to refuse.
      const DWORD stored = type == 6 ? 7 : type == 7 ? 0xFFFFFFFFu : static_cast<DWORD>(type);
      RegSetValueEx(key, name.name.c_str(), 0, stored, bytes, static_cast<DWORD>(length));
    }
    RegCloseKey(global);
    RegCloseKey(device);
  }

  void LoadTablesDirectly() {
    TRegistry2 reg;
    FUZZ_CHECK(reg.OpenKey(deviceKey_, false));
    TVideoRegSave video;
    video.LoadRange(reg, video.Count() - 1, false);
    for (int i = 0; i < kVideoQualityRecords; ++i) ReadControlRecord(video.VideoQualityBlock(), i);
    for (int i = 0; i < kCameraControlRecords; ++i)
      ReadControlRecord(video.CameraControlBlock(), i);
    for (int i = 0; i < video.Count(); ++i)
      FUZZ_CHECK(video[i].DataSize >= 0 && video[i].DataSize <= video[i].Capacity);
    TAudioRegSave audio;
    audio.LoadRange(reg, audio.Count() - 1, true);
    TGlobalRegSave global;
    global.Reset();
    global.Load();
  }

  void RunControl(int flags) {
    auto control = std::make_unique<TCaptureControl>(&parent_);
    control->SetStoreDeviceSettingsInRegistry(flags & 1);
    control->SetVideoQualitySettings(flags & 2);
    control->SetCameraControlSettings(flags & 4);
    Idle();
    Idle();
    control->VideoSizes();
    control->VideoSize();
    if (flags & 8) {
      control->StartPreview();
      control->StopPreview();
    }
    control.reset();
    QCoreApplication::processEvents();
  }

  QWidget parent_;
  QString deviceKey_;
  std::vector<StoredValue> baseline_;
  std::vector<StoredSettingName> names_;
};

Fixture* fixture = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted");
  qunsetenv("FROSTWIPE_VIRTUAL_DEVICES");
  QLoggingCategory::setFilterRules(QStringLiteral("frostwipe.*.info=false"));
  // A store of this run's own, never the user's.
  static QTemporaryDir dir;
  qputenv("FROSTWIPE_REGISTRY", dir.filePath("registry.db").toLocal8Bit());
  // Both live as long as the process: widgets must not outlive the application object.
  new TApplication(*argc, *argv);
  fixture = new Fixture(dir.path());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fixture->Run(data, size);
  return 0;
}
