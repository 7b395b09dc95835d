// Tests of scripted devices: the device file, plugging and the device-change broadcast, pins
// by category, and the analog parts a capture graph builder pulls in.
#include "platform/media/virtual/ScriptedDevices.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "DeviceTestSupport.h"
#include "platform/media/DeviceNotify.h"
#include "platform/media/virtual/ScriptedDeviceFile.h"

namespace {

constexpr const char* kFullDevice = R"({ "devices": [ {
  "friendlyName": "TV Card",
  "displayName": "@device:pnp:\\\\?\\pci#tvcard#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
  "driver": "WDM",
  "pins": ["capture", "preview"],
  "capabilities": [ { "subtype": "UYVY", "width": 720, "height": 576, "minWidth": 180, "minHeight": 144,
                      "maxWidth": 720, "maxHeight": 576, "frameRate": 25, "minFrameRate": 5 },
                    { "subtype": "RGB24", "width": 320, "height": 240 } ],
  "cameraControl": [ { "property": "Zoom", "min": 100, "max": 400, "default": 100, "auto": true } ],
  "crossbar": ["Tuner", "Composite", { "name": "S-Video", "type": 3 }],
  "analogVideoDecoder": { "standards": ["PAL_B", "NTSC_M"], "current": "PAL_B" },
  "tvTuner": true,
  "fail": { "setFormat": true, "loseAfterFrames": 30 },
  "plugged": false
}, { "friendlyName": "Old Camera", "driver": "vfw", "vfwDialogs": ["source", "format"] } ] })";

// Catches: fields of the device file that are read wrongly or not at all.
TEST(ScriptedDeviceFile, ReadsEveryField) {
  std::vector<ScriptedDeviceEntry> devices;
  QString error;
  ASSERT_TRUE(ParseScriptedDevices(kFullDevice, &devices, &error)) << error.toStdString();
  ASSERT_EQ(devices.size(), 2u);
  const VirtualDeviceConfig& c = devices[0].config;
  EXPECT_FALSE(devices[0].plugged);
  EXPECT_EQ(c.friendlyName, u"TV Card");
  EXPECT_EQ(c.displayName,
            u"@device:pnp:\\\\?\\pci#tvcard#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
  EXPECT_EQ(c.driver, DriverKind::Wdm);
  EXPECT_TRUE(c.capturePin);
  EXPECT_TRUE(c.previewPin);
  ASSERT_EQ(c.capabilities.size(), 2u);
  EXPECT_EQ(c.capabilities[0].subtype, MEDIASUBTYPE_UYVY);
  EXPECT_EQ(c.capabilities[0].minWidth, 180);
  EXPECT_EQ(c.capabilities[0].framesPerSecond, 25.0);
  EXPECT_EQ(c.capabilities[0].minFramesPerSecond, 5.0);
  EXPECT_EQ(c.capabilities[1].subtype, MEDIASUBTYPE_RGB24);
  ASSERT_EQ(c.cameraControl.size(), 1u);
  EXPECT_EQ(c.cameraControl[0].property, CameraControl_Zoom);
  EXPECT_EQ(c.cameraControl[0].capsFlags, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
  EXPECT_EQ(c.videoProcAmp.size(), 3u);  // the default image controls
  ASSERT_EQ(c.crossbarInputs.size(), 3u);
  EXPECT_EQ(c.crossbarInputs[0].physicalType, PhysConn_Video_Tuner);
  EXPECT_EQ(c.crossbarInputs[2].name, u"S-Video");
  EXPECT_EQ(c.crossbarInputs[2].physicalType, PhysConn_Video_SVideo);
  EXPECT_TRUE(c.analogVideoDecoder);
  EXPECT_EQ(c.tvFormats, AnalogVideo_PAL_B | AnalogVideo_NTSC_M);
  EXPECT_EQ(c.tvFormat, AnalogVideo_PAL_B);
  EXPECT_TRUE(c.tvTuner);
  EXPECT_TRUE(c.failures.refuseSetFormat);
  EXPECT_EQ(c.failures.loseAfterFrames, 30);
  EXPECT_FALSE(FAILED(c.failures.createResult));
  const VirtualDeviceConfig& old = devices[1].config;
  EXPECT_EQ(old.driver, DriverKind::Vfw);
  EXPECT_EQ(old.vfwDialogs, VfwCaptureDialog_Source | VfwCaptureDialog_Format);
  ASSERT_EQ(old.capabilities.size(), 1u);  // the default capability
  EXPECT_EQ(old.capabilities[0].width, 640);
}

// Catches: a malformed file that is half loaded, or whose mistake is not named.
TEST(ScriptedDeviceFile, RejectsMalformedFilesWhole) {
  const struct {
    const char* json;
    const char* mentions;
  } cases[] = {
      {"{ not json", "not JSON"},
      {R"({"devices": [{"friendlyName": "A"}, {"friendlyName": "B", "colour": 1}]})", "colour"},
      {R"([{"friendlyName": "A", "capabilities": [{"subtype": "WXYZ1"}]}])", "WXYZ1"},
      {R"([{"friendlyName": "A", "driver": "usb"}])", "usb"},
      {R"([{"displayName": "@device:x"}])", "friendlyName"},
      {R"([{"friendlyName": "A", "crossbar": ["Laserdisc"]}])", "Laserdisc"},
      {R"([{"friendlyName": "A", "analogVideoDecoder": {"standards": ["NTSC_M"], "current": "PAL_B"}}])",
       "standard"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    std::vector<ScriptedDeviceEntry> devices;
    QString error;
    EXPECT_FALSE(ParseScriptedDevices(c.json, &devices, &error));
    EXPECT_TRUE(devices.empty());
    EXPECT_TRUE(error.contains(c.mentions)) << error.toStdString();
  }
}

// Catches: frame rates that make the frame interval 0 (above about 2e7, or 1e-300: the streaming
// thread divides by it), sizes that exhaust memory on the streaming thread or overflow the
// media type arithmetic, a lowest rate above the highest (std::clamp with lo > hi), and numbers
// that are no integers or out of range silently becoming defaults ("width": 1e20 gave 640).
TEST(ScriptedDeviceFile, RejectsNumbersOutOfBoundsOrOfTheWrongKind) {
  const struct {
    const char* capability;
    const char* mentions;
  } cases[] = {
      {R"("frameRate": 3e7)", "frameRate"},
      {R"("frameRate": 1e-300)", "frameRate"},
      {R"("frameRate": 0)", "frameRate"},
      {R"("minFrameRate": 0.05)", "minFrameRate"},
      {R"("maxFrameRate": 2000)", "maxFrameRate"},
      {R"("frameRate": "30")", "frameRate"},
      {R"("width": 65536, "height": 65536)", "width"},
      {R"("width": 20000, "height": 20000)", "width"},
      {R"("maxWidth": 16385)", "maxWidth"},
      {R"("width": 16384, "height": 16384, "subtype": "RGB32")", "larger than"},
      {R"("maxWidth": 16384, "maxHeight": 16384)", "larger than"},
      {R"("width": 1e20)", "width"},
      {R"("width": 640.5)", "width"},
      {R"("width": "640")", "width"},
      {R"("height": -480)", "height"},
      {R"("stepX": -2)", "stepX"},
      {R"("minFrameRate": 30, "maxFrameRate": 5)", "frame rate"},
      {R"("frameRate": 30, "minFrameRate": 60)", "frame rate"},
      {R"("fps": 30)", "fps"},
  };
  for (const auto& c : cases) {
    const QByteArray json =
        QByteArray(R"([{"friendlyName": "A", "capabilities": [{)") + c.capability + "}]}]";
    SCOPED_TRACE(json.toStdString());
    std::vector<ScriptedDeviceEntry> devices;
    QString error;
    EXPECT_FALSE(ParseScriptedDevices(json, &devices, &error));
    EXPECT_TRUE(devices.empty());
    EXPECT_TRUE(error.contains(c.mentions)) << error.toStdString();
  }
  const struct {
    const char* device;
    const char* mentions;
  } others[] = {
      {R"("fail": {"loseAfterFrames": 1.5})", "loseAfterFrames"},
      {R"("fail": {"setformat": true})", "setformat"},
      {R"("fail": {"run": 1})", "run"},
      {R"("videoProcAmp": [{"property": "Gain", "min": 1e12}])", "min"},
      {R"("videoProcAmp": [{"property": "Gain", "step": 0.5}])", "step"},
      {R"("crossbar": [{"name": "Composite", "type": 2.5}])", "type"},
      {R"("plugged": "yes")", "plugged"},
      {R"("tvTuner": 1)", "tvTuner"},
  };
  for (const auto& c : others) {
    const QByteArray json = QByteArray(R"([{"friendlyName": "A", )") + c.device + "}]";
    SCOPED_TRACE(json.toStdString());
    std::vector<ScriptedDeviceEntry> devices;
    QString error;
    EXPECT_FALSE(ParseScriptedDevices(json, &devices, &error));
    EXPECT_TRUE(error.contains(c.mentions)) << error.toStdString();
  }
}

// Catches: capabilities whose own format the device then refuses in SetFormat (found by
// fuzzing): an odd size for a subtype with subsampled chroma, a size outside the capability's
// range or off its steps, a default rate outside its rate range.
TEST(ScriptedDeviceFile, RejectsCapabilitiesTheDeviceWouldRefuse) {
  const char* cases[] = {
      R"("subtype": "I420", "width": 17, "height": 13)",
      R"("subtype": "NV12", "width": 16, "height": 13)",
      R"("subtype": "YUY2", "width": 641, "height": 480)",
      R"("width": 640, "height": 480, "maxWidth": 320, "maxHeight": 240)",
      R"("width": 160, "height": 120, "minWidth": 320, "minHeight": 240)",
      R"("width": 650, "minWidth": 160, "maxWidth": 800, "stepX": 160)",
      R"("frameRate": 60, "minFrameRate": 5, "maxFrameRate": 30)",
      R"("frameRate": 2, "minFrameRate": 5, "maxFrameRate": 30)",
  };
  for (const char* capability : cases) {
    const QByteArray json =
        QByteArray(R"([{"friendlyName": "A", "capabilities": [{)") + capability + "}]}]";
    SCOPED_TRACE(json.toStdString());
    std::vector<ScriptedDeviceEntry> devices;
    QString error;
    EXPECT_FALSE(ParseScriptedDevices(json, &devices, &error));
    EXPECT_TRUE(error.contains("size") || error.contains("frame rate")) << error.toStdString();
  }
  // Odd sizes are fine where nothing is subsampled, and sizes on the steps within the range.
  std::vector<ScriptedDeviceEntry> devices;
  EXPECT_TRUE(ParseScriptedDevices(R"([{"friendlyName": "A", "capabilities": [
      {"subtype": "RGB24", "width": 17, "height": 13},
      {"subtype": "YUY2", "width": 480, "height": 360, "minWidth": 160, "minHeight": 120,
       "maxWidth": 640, "maxHeight": 480, "stepX": 160, "stepY": 120}]}])",
                                   &devices, nullptr));
}

// Catches: bounds that refuse good descriptions: the limits themselves, NTSC rates, a frame
// just within 256 MB, and integers written with a fraction of zero.
TEST(ScriptedDeviceFile, AcceptsValuesAtTheBounds) {
  const char* json = R"([{"friendlyName": "A", "capabilities": [
      {"subtype": "YUY2", "width": 16384, "height": 8192, "frameRate": 0.1, "maxFrameRate": 1000},
      {"subtype": "RGB32", "width": 8192, "height": 8192, "frameRate": 29.97},
      {"subtype": "RGB24", "width": 16, "height": 16.0, "minWidth": 0, "stepX": 0,
       "minFrameRate": 0, "maxFrameRate": 0}]}])";
  std::vector<ScriptedDeviceEntry> devices;
  QString error;
  ASSERT_TRUE(ParseScriptedDevices(json, &devices, &error)) << error.toStdString();
  ASSERT_EQ(devices[0].config.capabilities.size(), 3u);
  EXPECT_EQ(devices[0].config.capabilities[0].width, 16384);
  EXPECT_EQ(devices[0].config.capabilities[0].framesPerSecond, 0.1);
  EXPECT_EQ(devices[0].config.capabilities[1].framesPerSecond, 29.97);
  EXPECT_EQ(devices[0].config.capabilities[2].height, 16);
}

// Catches: a loaded file whose devices are not listed as the file says (unplugged ones listed,
// names or driver kinds lost), and plugging that does not bring a device back.
TEST(ScriptedDevices, LoadFileListsPluggedDevicesOnly) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  QTemporaryDir dir;
  const QString path = dir.filePath("devices.json");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(kFullDevice);
  file.close();
  QString error;
  ASSERT_EQ(ScriptedDevices::Instance()->LoadFile(path, &error), S_OK) << error.toStdString();
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            std::vector<std::u16string>{u"Old Camera"});
  EXPECT_EQ(ScriptedDevices::Instance()->Plug(
                u"@device:pnp:\\\\?\\PCI#TVCARD#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"),
            S_OK);  // letter case of a display name does not matter
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            (std::vector<std::u16string>{u"TV Card", u"Old Camera"}));
  EXPECT_EQ(FriendlyNames(AM_KSCATEGORY_CROSSBAR),
            std::vector<std::u16string>{u"TV Card Crossbar"});
  EXPECT_EQ(FriendlyNames(AM_KSCATEGORY_TVTUNER), std::vector<std::u16string>{u"TV Card TV Tuner"});
  EXPECT_EQ(ScriptedDevices::Instance()->LoadFile(dir.filePath("missing.json"), &error),
            E_INVALIDARG);
  EXPECT_EQ(ScriptedDevices::Instance()->Plug(u"@device:nothing"), VFW_E_NOT_FOUND);
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
  const QString path = dir.filePath(name);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  return path;
}

// A device file of count devices with display names of their own; none plugged in, so that
// loading is all that is measured.
QByteArray ManyDevices(int count, int first = 0) {
  QByteArray json = "[";
  for (int i = first; i < first + count; ++i) {
    if (i > first) json += ",";
    json += QStringLiteral(R"({"friendlyName": "Camera %1", "displayName": "@device:test#%1",)"
                           R"( "plugged": false})")
                .arg(i)
                .toUtf8();
  }
  return json + "]";
}

// Catches: a file rejected for a display name used twice (within the file, or by a device
// already there) that leaves the devices before the duplicate listed and streaming.
TEST(ScriptedDevices, LoadsAFileAllOrNothing) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  QTemporaryDir dir;
  const QString twice = WriteFile(dir, "twice.json", R"([
      {"friendlyName": "First", "displayName": "@device:one"},
      {"friendlyName": "Second", "displayName": "@device:two"},
      {"friendlyName": "Third", "displayName": "@DEVICE:ONE"}])");
  QString error;
  EXPECT_EQ(ScriptedDevices::Instance()->LoadFile(twice, &error), E_INVALIDARG);
  EXPECT_TRUE(error.contains("Third")) << error.toStdString();
  EXPECT_TRUE(FriendlyNames(CLSID_VideoInputDeviceCategory).empty());
  EXPECT_EQ(ScriptedDevices::Instance()->Plug(u"@device:one"), VFW_E_NOT_FOUND);

  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"Existing"), true, nullptr), S_OK);
  std::u16string taken;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"Other"), false, &taken), S_OK);
  const QString clash = WriteFile(
      dir, "clash.json",
      QStringLiteral(R"([{"friendlyName": "New"}, {"friendlyName": "Clash", "displayName": "%1"}])")
          .arg(QString::fromStdU16String(taken).replace("\\", "\\\\"))
          .toUtf8());
  EXPECT_EQ(ScriptedDevices::Instance()->LoadFile(clash, &error), E_INVALIDARG);
  EXPECT_TRUE(error.contains("Clash")) << error.toStdString();
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            std::vector<std::u16string>{u"Existing"});
}

// Catches: loading that is quadratic in the number of devices (each name compared with every
// other: 1,000 devices 0.6 s, 20,000 devices 160 s). Eight times the devices must take about
// eight times as long, not sixty-four.
TEST(ScriptedDevices, LoadingGrowsLinearlyWithTheDevices) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  QTemporaryDir dir;
  auto secondsFor = [&](int count, int first) {
    const QString path =
        WriteFile(dir, QString("many%1.json").arg(first), ManyDevices(count, first));
    QString error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ScriptedDevices::Instance()->LoadFile(path, &error), S_OK) << error.toStdString();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  secondsFor(200, 1000000);  // warms up
  ScriptedDevices::Instance()->Clear();
  const double small = secondsFor(1000, 0);
  ScriptedDevices::Instance()->Clear();
  const double large = secondsFor(8000, 0);
  EXPECT_LT(large, 24 * small + 0.05)
      << "1,000 devices: " << small << " s, 8,000: " << large << " s";
}

// Catches: a device file read without a size limit (/dev/zero grows to 2 GB, then the process
// aborts) or opened in a way that waits for ever (a FIFO without a writer).
TEST(ScriptedDevices, ReadsOnlyRegularFilesOfBoundedSize) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  QTemporaryDir dir;
  QByteArray padded = R"([{"friendlyName": "Padded"}])";
  padded += QByteArray(static_cast<int>(ScriptedDevices::kMaxFileBytes) - padded.size(), ' ');
  QString error;
  EXPECT_EQ(ScriptedDevices::Instance()->LoadFile(WriteFile(dir, "limit.json", padded), &error),
            S_OK)
      << error.toStdString();
  EXPECT_EQ(
      ScriptedDevices::Instance()->LoadFile(WriteFile(dir, "over.json", padded + " "), &error),
      E_INVALIDARG);
  EXPECT_TRUE(error.contains("larger than")) << error.toStdString();
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory), std::vector<std::u16string>{u"Padded"});

  const QString fifo = dir.filePath("fifo.json");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  auto loading = std::async(std::launch::async, [&] {
    QString why;
    const HRESULT hr = ScriptedDevices::Instance()->LoadFile(fifo, &why);
    return std::make_pair(hr, why);
  });
  if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Let the stuck reader go (it sees the end of the file) before the test fails.
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    FAIL() << "reading a FIFO waits for a writer";
  }
  const auto [hr, why] = loading.get();
  EXPECT_EQ(hr, E_INVALIDARG);
  EXPECT_TRUE(why.contains("not a regular file")) << why.toStdString();

  EXPECT_EQ(ScriptedDevices::Instance()->LoadFile("/dev/zero", &error), E_INVALIDARG);
  EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
}

// Run only as the child of the test below, in a process whose environment names a device file.
TEST(ScriptedDevicesChild, ListsTheDevicesOfTheEnvironmentFile) {
  if (!qEnvironmentVariableIsSet("FROSTWIPE_TEST_CHILD"))
    GTEST_SKIP() << "runs in a child process only";
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            std::vector<std::u16string>{u"Old Camera"});
}

// Catches: FROSTWIPE_VIRTUAL_DEVICES not being read, so the end-to-end tests of the program
// get no scripted devices. A fresh process is needed: the file is read once per process.
TEST(ScriptedDevices, EnvironmentFileIsReadOnFirstUse) {
  QTemporaryDir dir;
  const QString path = dir.filePath("devices.json");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(kFullDevice);
  file.close();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("FROSTWIPE_TEST_CHILD", "1");
  env.insert("FROSTWIPE_VIRTUAL_DEVICES", path);
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "scripted");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=ScriptedDevicesChild.ListsTheDevicesOfTheEnvironmentFile"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Catches: plug and unplug without a broadcast, a broadcast delivered on the thread that
// unplugged (the listeners are windows), or arrivals and removals mixed up.
TEST(ScriptedDevices, PlugAndUnplugBroadcastOnTheUserInterfaceThread) {
  ScriptedScope scripted;
  QCoreApplication::processEvents();  // broadcasts of earlier tests
  QObject context;
  std::vector<std::pair<DeviceChangeKind, std::u16string>> heard;
  bool allOnUiThread = true;
  DeviceNotify::Listen(&context, [&](const DeviceChange& change) {
    if (change.friendlyName != u"Broadcast Camera") return;
    allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
    heard.emplace_back(change.kind, change.friendlyName);
    EXPECT_EQ(change.category, CLSID_VideoInputDeviceCategory);
  });
  std::u16string name;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"Broadcast Camera"), false, &name), S_OK);
  std::thread worker([&] {
    EXPECT_EQ(ScriptedDevices::Instance()->Plug(name), S_OK);
    EXPECT_EQ(ScriptedDevices::Instance()->Plug(name), S_FALSE);
    EXPECT_EQ(ScriptedDevices::Instance()->Unplug(name), S_OK);
  });
  worker.join();
  EXPECT_TRUE(heard.empty());  // nothing arrives inside the caller
  ASSERT_TRUE(PumpUntil([&] { return heard.size() >= 2; }));
  EXPECT_TRUE(allOnUiThread);
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0], std::pair(DeviceChangeKind::Arrival, std::u16string(u"Broadcast Camera")));
  EXPECT_EQ(heard[1], std::pair(DeviceChangeKind::Removal, std::u16string(u"Broadcast Camera")));
}

// Catches: pins without their category, so the capture control's search by category (capture
// first, then preview) finds nothing on capture-only or preview-only devices.
TEST(ScriptedDevices, PinsAnswerTheirCategory) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  VirtualDeviceConfig previewOnly = SmallCamera(u"Preview Camera");
  previewOnly.capturePin = false;
  previewOnly.previewPin = true;
  VirtualDeviceConfig both = SmallCamera(u"Both Camera");
  both.previewPin = true;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"Capture Camera")), S_OK);
  ASSERT_EQ(ScriptedDevices::Instance()->Add(previewOnly), S_OK);
  ASSERT_EQ(ScriptedDevices::Instance()->Add(both), S_OK);
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress()),
            S_OK);
  const struct {
    const char16_t* name;
    bool capture;
    bool preview;
  } cases[] = {{u"Capture Camera", true, false},
               {u"Preview Camera", false, true},
               {u"Both Camera", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
    ComPtr<IBaseFilter> filter = BindByName(CLSID_VideoInputDeviceCategory, c.name);
    ASSERT_TRUE(filter);
    ComPtr<IPin> pin;
    EXPECT_EQ(SUCCEEDED(builder->FindPin(filter.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE,
                                         &MEDIATYPE_Video, TRUE, 0, pin.ReleaseAndGetAddressOf())),
              c.capture);
    EXPECT_EQ(SUCCEEDED(builder->FindPin(filter.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW,
                                         &MEDIATYPE_Video, TRUE, 0, pin.ReleaseAndGetAddressOf())),
              c.preview);
    if (pin) {
      EXPECT_TRUE(ComQuery<IAMStreamConfig>(pin.Get()));
    }
  }
}

// Catches: a TV card whose crossbar and tuner are not found by mediums, so RenderStream cannot
// pull them in front of the capture filter, or whose crossbar reports wrong connectors.
TEST(ScriptedDevices, RenderStreamPullsInCrossbarAndTuner) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  VirtualDeviceConfig card = SmallCamera(u"TV Card");
  card.crossbarInputs = {{u"Tuner", PhysConn_Video_Tuner},
                         {u"Composite", PhysConn_Video_Composite},
                         {u"SVideo", PhysConn_Video_SVideo}};
  card.tvTuner = true;
  card.analogVideoDecoder = true;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(card), S_OK);

  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ASSERT_EQ(devices.size(), 1u);
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IBaseFilter> capture;
  ASSERT_EQ(ComQuery<IFilterGraph2>(graph.Get())
                ->AddSourceFilterForMoniker(devices[0].moniker.Get(), nullptr, u"0 TV Card",
                                            capture.ReleaseAndGetAddressOf()),
            S_OK);
  ComPtr<ICaptureGraphBuilder2> builder;
  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                   IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress());
  builder->SetFiltergraph(graph.Get());
  ComPtr<IPin> pin;
  ASSERT_EQ(builder->FindPin(capture.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                             TRUE, 0, pin.ReleaseAndGetAddressOf()),
            S_OK);
  EXPECT_TRUE(SUCCEEDED(builder->RenderStream(nullptr, nullptr, pin.Get(), nullptr, nullptr)));

  ComPtr<IAMCrossbar> crossbar;
  ASSERT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, capture.Get(), IID_IAMCrossbar,
                                   crossbar.ReleaseAndGetVoidAddress()),
            S_OK);
  long outputs = 0;
  long inputs = 0;
  crossbar->get_PinCounts(&outputs, &inputs);
  EXPECT_EQ(outputs, 1);
  EXPECT_EQ(inputs, 3);
  long related = 0;
  long type = 0;
  crossbar->get_CrossbarPinInfo(TRUE, 2, &related, &type);
  EXPECT_EQ(type, PhysConn_Video_SVideo);
  crossbar->get_CrossbarPinInfo(FALSE, 0, &related, &type);
  EXPECT_EQ(type, PhysConn_Video_VideoDecoder);
  EXPECT_EQ(crossbar->Route(0, 1), S_OK);
  long routed = -1;
  crossbar->get_IsRoutedTo(0, &routed);
  EXPECT_EQ(routed, 1);
  EXPECT_EQ(crossbar->Route(0, 3), E_INVALIDARG);

  ComPtr<IAMTVTuner> tuner;
  ASSERT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, capture.Get(), IID_IAMTVTuner,
                                   tuner.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(tuner->put_Channel(5, -1, -1), S_OK);
  long channel = 0;
  long sub1 = 0;
  long sub2 = 0;
  tuner->get_Channel(&channel, &sub1, &sub2);
  EXPECT_EQ(channel, 5);

  ComPtr<IAMAnalogVideoDecoder> decoder = ComQuery<IAMAnalogVideoDecoder>(capture.Get());
  ASSERT_TRUE(decoder);
  long lines = 0;
  decoder->get_NumberOfLines(&lines);
  EXPECT_EQ(lines, 625);  // PAL_B by default
  EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_NTSC_M), S_OK);
  decoder->get_NumberOfLines(&lines);
  EXPECT_EQ(lines, 525);
  EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_SECAM_L), E_INVALIDARG);
}

// Catches: vfw devices without their dialogs interface, dialogs answered that the driver does
// not have, and WDM devices that claim to be vfw.
TEST(ScriptedDevices, VfwDevicesOfferTheirDialogsOnly) {
  ScriptedScope scripted;
  ProvidersScope providers("scripted");
  VirtualDeviceConfig vfw = SmallCamera(u"Old Camera");
  vfw.driver = DriverKind::Vfw;
  vfw.vfwDialogs = VfwCaptureDialog_Format | VfwCaptureDialog_Source;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(vfw), S_OK);
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"New Camera")), S_OK);
  ComPtr<IBaseFilter> old = BindByName(CLSID_VideoInputDeviceCategory, u"Old Camera");
  ComPtr<IAMVfwCaptureDialogs> dialogs = ComQuery<IAMVfwCaptureDialogs>(old.Get());
  ASSERT_TRUE(dialogs);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Format), S_OK);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Source), S_OK);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Display), S_FALSE);
  EXPECT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Display, nullptr), E_INVALIDARG);
  CLSID clsid{};
  old->GetClassID(&clsid);
  EXPECT_EQ(clsid, CLSID_VfwCapture);
  EXPECT_FALSE(ComQuery<IAMVfwCaptureDialogs>(
      BindByName(CLSID_VideoInputDeviceCategory, u"New Camera").Get()));
}

}  // namespace
