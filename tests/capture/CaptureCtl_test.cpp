// Tests of the capture control's operations and published settings without a device.
#include "capture/CaptureCtl.h"

#include <QFile>
#include <QMetaProperty>
#include <QXmlStreamReader>

#include "TestSupport.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "platform/toolkit/Screen.h"

namespace {

using CaptureCtlTest = CaptureTest;

// Catches: StopPreview while stopped changing state, keeping PreviewWanted, or not saying why.
TEST_F(CaptureCtlTest, StopPreviewWhileIdleLogsFirstStartPreviewAndClearsPreviewWanted) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  control->Core().PreviewWanted = true;
  control->StopPreview();
  EXPECT_FALSE(control->Core().PreviewWanted);
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Idle);
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(rec.calls[0], "log 71 ERROR first start preview");
}

// Catches: the no-device messages differing from the documented texts, codes or severities.
TEST_F(CaptureCtlTest, DeviceLessControlReportsNoDeviceMessagesExactly) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  EXPECT_FALSE(control->StartPreview());
  control->SetVideoDevice(0);
  control->SetVideoDevice(5);
  EXPECT_FALSE(control->ShowDialog(0));
  control->SetVideoDevice(-1);
  control->StopPreview();
  const std::vector<QString> expected = {
      "log 43 INFO no video capture device available",
      "log 43 INFO no video capture device available",
      "log 43 INFO no video capture device available",
      "log 48 ERROR no video capture device",
      "log 47 ERROR no video device selected",
      "log 71 ERROR first start preview",
  };
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(VideoDevices(), QString());
  EXPECT_EQ(control->VideoSizes(), QString());
  EXPECT_EQ(control->VideoWidth(), 320);
  EXPECT_EQ(control->VideoHeight(), 240);
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Idle);
  EXPECT_EQ(control->VideoDevice(), -1);
}

// Catches: OnLog raised for a control that has no window, or after destruction began.
TEST_F(CaptureCtlTest, OnLogNeedsWindowAndLiveControl) {
  auto orphan = std::make_unique<TCaptureControl>(nullptr);
  orphan->DestroyHandle();
  Recorder rec;
  orphan->OnLog = {&rec, &Recorder::Log};
  orphan->StopPreview();
  EXPECT_TRUE(rec.calls.empty()) << "no window yet, so no OnLog";
  auto control = MakeControl();
  control->OnLog = {&rec, &Recorder::Log};
  control->Core().Destroying.store(true);
  control->StopPreview();
  EXPECT_TRUE(rec.calls.empty());
  control->Core().Destroying.store(false);
}

// Catches: CaptureFrameTo accepting a request without a running graph, twice, or with no grabber.
TEST_F(CaptureCtlTest, CaptureFrameToRefusals) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  EXPECT_FALSE(control->CaptureFrameTo(fc_TBitmap, ""));
  EXPECT_FALSE(core.CapturePending.load()) << "a refused request left a request behind";
  PretendPreviewRuns(core);
  EXPECT_TRUE(control->CaptureFrameTo(fc_BmpFile, "a.bmp"));
  EXPECT_TRUE(core.CapturePending.load());
  EXPECT_EQ(core.CaptureFileName, "a.bmp");
  EXPECT_FALSE(control->CaptureFrameTo(fc_TBitmap, "")) << "second request while one waits";
  EXPECT_EQ(core.CaptureDest, fc_BmpFile) << "the refused request changed the waiting one";
  core.CapturePending.store(false);
  core.RunFrameGrabber = fg_Disabled;
  EXPECT_FALSE(control->CaptureFrameTo(fc_TBitmap, ""));
}

// Catches: out-of-range writes replacing a setting's value.
TEST_F(CaptureCtlTest, RangeCheckedSettingsKeepOldValues) {
  auto control = MakeControl();
  control->SetBurstCount(7);
  control->SetBurstInterval(2);
  control->SetBurstType(fc_JpegFile);
  control->SetFrameGrabber(fg_BothStreams);
  control->SetFrameGrabberRGBFormat(fgf_RGB8);
  control->SetVideoRenderer(vr_None);
  control->SetNotificationSleepTime(40);
  control->SetBurstCount(-1);
  control->SetBurstInterval(-5);
  control->SetBurstType(static_cast<TFrameCaptureDest>(3));
  control->SetFrameGrabber(static_cast<TFrameGrabber>(4));
  control->SetFrameGrabberRGBFormat(static_cast<TFrameGrabberRGBFormat>(6));
  control->SetVideoRenderer(static_cast<TVideoRenderer>(5));
  control->SetNotificationSleepTime(0);
  control->SetNotificationSleepTime(10001);
  control->SetVideoProcessing_Rotation(static_cast<TVideoRotation>(8));
  control->SetVideoProcessing_Deinterlacing(static_cast<TVideoDeinterlacing>(3));
  EXPECT_EQ(control->BurstCount(), 7);
  EXPECT_EQ(control->BurstInterval(), 2);
  EXPECT_EQ(control->BurstType(), fc_JpegFile);
  EXPECT_EQ(control->FrameGrabber(), fg_BothStreams);
  EXPECT_EQ(control->FrameGrabberRGBFormat(), fgf_RGB8);
  EXPECT_EQ(control->VideoRenderer(), vr_None);
  EXPECT_EQ(control->NotificationSleepTime(), 40);
  EXPECT_EQ(control->VideoProcessing_Rotation(), rt_0_deg);
  EXPECT_EQ(control->VideoProcessing_Deinterlacing(), di_Disabled);
  control->SetVersion("v9");
  EXPECT_EQ(control->Version(), "v1.0 (build 1.0.0)");
}

// Catches: writes through the property system (as the window loader does) bypassing the checks.
TEST_F(CaptureCtlTest, PropertyWritesByNameUseTheSameChecks) {
  auto control = MakeControl();
  EXPECT_TRUE(control->setProperty("BurstCount", 0));
  EXPECT_TRUE(control->setProperty("BurstCount", -3));
  EXPECT_EQ(control->BurstCount(), 0);
  EXPECT_TRUE(control->setProperty("NotificationMethod", QVariant::fromValue(nm_Thread)));
  EXPECT_EQ(control->NotificationMethod(), nm_Thread);
  control->SetNotificationMethod(nm_Timer);
  control->setProperty("Version", "x");
  EXPECT_EQ(control->property("Version").toString(), "v1.0 (build 1.0.0)");
}

// Catches: the main window's description missing a published setting, carrying a value the
// control does not take, or a setting the loader cannot write.
TEST_F(CaptureCtlTest, MainWindowDescriptionCarriesEveryPublishedSetting) {
  QFile file(QStringLiteral(FROSTWIPE_MAIN_FORM));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  std::map<QString, QString> stored;
  bool inControl = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("widget"))
      inControl = xml.attributes().value("name") == QLatin1String("CaptureControl1");
    if (inControl && xml.isStartElement() && xml.name() == QLatin1String("property")) {
      const QString name = xml.attributes().value("name").toString();
      xml.readNextStartElement();
      stored[name] = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    if (xml.isEndElement() && xml.name() == QLatin1String("widget") && inControl) break;
  }
  auto control = MakeControl();
  const QMetaObject* meta = control->metaObject();
  int published = 0;
  for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
    const QMetaProperty p = meta->property(i);
    if (!p.isStored() || !p.isWritable()) continue;
    ++published;
    SCOPED_TRACE(p.name());
    auto it = stored.find(QString::fromLatin1(p.name()));
    ASSERT_NE(it, stored.end()) << "not in the window description";
    // The description's values are the constructor's, except where the game's differ.
    QString value = it->second;
    const QVariant actual = p.read(control.get());
    if (p.isEnumType()) {
      EXPECT_EQ(value, QString("CaptureTypes::") + p.enumerator().valueToKey(actual.toInt()));
    } else if (actual.typeId() == QMetaType::Bool) {
      EXPECT_EQ(value, actual.toBool() ? "true" : "false");
    } else if (actual.typeId() == QMetaType::Double) {
      EXPECT_DOUBLE_EQ(value.toDouble(), actual.toDouble());
    } else if (QString(p.name()) == "UniqueID") {
      EXPECT_EQ(value, "0");
    } else {
      EXPECT_EQ(value, actual.toString());
    }
  }
  EXPECT_GT(published, 150);
  EXPECT_EQ(stored.size(), static_cast<std::size_t>(published) + 1)
      << "geometry plus every setting";
}

// Catches: assigning the overlay handler not switching the overlay pass on (or off again).
TEST_F(CaptureCtlTest, AssigningOverlayHandlerTurnsOverlayPassOn) {
  auto control = MakeControl();
  Recorder rec;
  EXPECT_FALSE(control->Core().OverlayNeeded.load());
  control->SetOnFrameOverlayUsingDC({&rec, &Recorder::Overlay});
  EXPECT_TRUE(control->Core().OverlayNeeded.load());
  control->SetOnFrameOverlayUsingDC({});
  EXPECT_FALSE(control->Core().OverlayNeeded.load());
  control->SetTextOverlay_Enabled(true);
  EXPECT_TRUE(control->Core().OverlayNeeded.load());
}

struct PreconditionCase {
  TCaptureState state;
  TCaptureStates allowed;
  int videoDevice;
  const char* expected;  // messages joined by '|'
};

// Catches: a precondition check skipped, run out of order, or reporting the wrong message.
TEST_F(CaptureCtlTest, CheckPreconditionsRunsAllSixChecksInOrder) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  const TCaptureStates prev = StateBit(cs_Previewing);
  const PreconditionCase cases[] = {
      {cs_Idle, prev, 0, "log 71 WARNING first start preview"},
      {cs_Idle, prev, -1,
       "log 47 WARNING no video device selected|log 71 WARNING first start preview"},
      {cs_Recording, prev, 0, "log 74 WARNING first stop recording"},
      {cs_Reencoding, prev, 0, "log 59 WARNING first stop reencoding"},
      {cs_Playing, prev, 0, "log 72 WARNING first close player"},
      {cs_Previewing, StateBit(cs_Idle), 0, "log 73 WARNING first stop preview"},
      {cs_Previewing, prev | StateBit(cs_Idle), 0, ""},
      {cs_Idle, StateBit(cs_Recording), -1, "log 47 WARNING no video device selected"},
  };
  for (const PreconditionCase& c : cases) {
    SCOPED_TRACE(c.expected);
    rec.calls.clear();
    core.CaptureState.store(c.state);
    core.VideoDevice = c.videoDevice;
    const bool ok = core.CheckPreconditions(c.allowed, sv_Warning, true);
    QStringList joined;
    for (const QString& s : rec.calls) joined << s;
    EXPECT_EQ(joined.join('|'), QString(c.expected));
    EXPECT_EQ(ok, QString(c.expected).isEmpty());
  }
  core.CaptureState.store(cs_Idle);
  // Before the run-time set-up every check fails without a message.
  rec.calls.clear();
  core.Initialized = false;
  EXPECT_FALSE(core.CheckPreconditions(StateBit(cs_Idle), sv_Error, true));
  EXPECT_TRUE(rec.calls.empty());
  core.Initialized = true;
}

// Catches: UseNearestVideoSize while playing refreshing, or not warning.
TEST_F(CaptureCtlTest, UseNearestVideoSizeWhilePlayingWarnsAndDoesNotRefresh) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  control->Core().CaptureState.store(cs_Playing);
  control->UseNearestVideoSize(320, 240, true);
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(rec.calls[0], "log 72 WARNING first close player");
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Playing);
  EXPECT_TRUE(control->Core().UseNearest);
  control->Core().CaptureState.store(cs_Idle);
}

// Catches: a change that shapes the graph restarting a stopped preview, or not retrying a wanted
// one.
TEST_F(CaptureCtlTest, RefreshPreviewRestartsOnlyWhenPreviewingOrWanted) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  TCaptureCore& core = control->Core();
  const QString attempt = "log 43 INFO no video capture device available";  // StartPreview ran
  control->SetFrameGrabber(fg_BothStreams);
  EXPECT_TRUE(rec.calls.empty()) << "a change while idle only stores";
  core.PreviewWanted = true;
  control->SetFrameGrabber(fg_PreviewStream);
  EXPECT_EQ(rec.calls, std::vector<QString>{attempt});
  rec.calls.clear();
  control->SetFrameGrabber(fg_PreviewStream);
  control->SetVideoProcessing_Deinterlacing(di_FullSize);
  EXPECT_TRUE(rec.calls.empty()) << "same value, or full-size deinterlacing, must not rebuild";
  control->SetVideoProcessing_Deinterlacing(di_HalfSize);
  control->SetVideoProcessing_Rotation(rt_180_deg);
  control->SetVideoProcessing_Rotation(rt_180_deg);
  EXPECT_EQ(rec.calls, (std::vector<QString>{attempt, attempt}));
  EXPECT_FALSE(core.SwappedDimensions);
  rec.calls.clear();
  control->SetAutoRefreshPreview(false);
  control->SetVideoRenderer(vr_VMR9);
  control->SetAutoRefreshPreview(true);
  control->SetVideoDevice(-1);
  control->SetVideoRenderer(vr_VMR7);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(control->VideoRenderer(), vr_VMR7);
}

// Catches: a start without devices that raises OnReinitializing, shows the busy cursor, reports
// more than "no video capture device" or marks the preview as wanted.
TEST_F(CaptureCtlTest, PreviewCommandWithoutDevicesReportsOnlyThat) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  control->OnReinitializing = {&rec, &Recorder::Shared};
  control->OnPreviewStarted = {&rec, &Recorder::PreviewStarted};
  TCaptureCore& core = control->Core();
  core.RunCommand(cmd_StartPreview);
  const std::vector<QString> expected = {"log 48 ERROR no video capture device"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(core.CaptureState.load(), cs_Idle);
  EXPECT_FALSE(core.PreviewWanted);
  EXPECT_FALSE(core.GraphActive.load());
  EXPECT_EQ(core.Queue.EventCount(), 0) << "OnPreviewStarted queued after a failed start";
  EXPECT_EQ(BusyCount(), 0);
  EXPECT_EQ(ScreenCursor(), crDefault);
}

// Catches: the busy cursor counter going negative or the cursor not restored at zero.
TEST_F(CaptureCtlTest, BusyCursorNestsAndRestores) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  core.BeginBusy();
  core.BeginBusy();
  EXPECT_EQ(BusyCount(), 2);
  EXPECT_EQ(ScreenCursor(), crHourGlass);
  core.EndBusy();
  EXPECT_EQ(ScreenCursor(), crHourGlass);
  core.EndBusy();
  core.EndBusy();
  EXPECT_EQ(BusyCount(), 0);
  EXPECT_EQ(ScreenCursor(), crDefault);
}

// Catches: each control not registering with the manager, or a gone one staying listed.
TEST_F(CaptureCtlTest, ControlsJoinAndLeaveTheManagerList) {
  auto first = MakeControl();
  auto second = MakeControl();
  EXPECT_EQ(second->UniqueID(), first->UniqueID() + 1);
  TSyncManager* manager = SyncManager();
  ASSERT_NE(manager, nullptr);
  const int before = manager->Components.Count();
  second.reset();
  EXPECT_EQ(manager->Components.Count(), before - 1);
}

// Catches: the first idle moment not trying to open the device, or raising it twice.
TEST_F(CaptureCtlTest, FirstIdleStepReportsNoVideoDevicesOnce) {
  auto control = MakeControl();
  Recorder rec;
  control->OnNoVideoDevices = {&rec, &Recorder::NoVideoDevices};
  bool done = false;
  SyncManager()->OnIdle(done);
  SyncManager()->OnIdle(done);
  EXPECT_TRUE(done);
  control->Core().WorkerPass(true);
  control->Core().WorkerPass(true);
  EXPECT_EQ(rec.calls, std::vector<QString>{"NoVideoDevices"});
}

}  // namespace
