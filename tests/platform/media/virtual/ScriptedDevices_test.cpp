// Tests of scripted devices: the device file, plugging and the device-change broadcast, pins
// by category, and the analog parts a capture graph builder pulls in.
#include "platform/media/virtual/ScriptedDevices.h"

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
