// Tests of passing the settings store's problems to the capture control's log and the player.
#include "capture/devices/StoreProblems.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sqlite3.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include "TestSupport.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/toolkit/Dialogs.h"

namespace {

class StoreProblemsTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    SetMessageBoxHook([this](const QString& text, const QString&) {
      boxes << text;
      return int(IDOK);
    });
  }
  void TearDown() override {
    SetMessageBoxHook({});
    CaptureTest::TearDown();
  }
  // A control that has selected and discovered a scripted camera and saved its table.
  std::unique_ptr<TCaptureControl> MakeControlWithCamera() {
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
    ScriptedDevices::Instance()->Clear();
    VirtualDeviceConfig camera;
    camera.friendlyName = u"Cam";
    camera.capabilities = {VideoCapability{}};
    camera.capabilities[0].subtype = MEDIASUBTYPE_YUY2;
    camera.capabilities[0].width = 160;
    camera.capabilities[0].height = 120;
    EXPECT_EQ(ScriptedDevices::Instance()->Add(camera, true, nullptr), S_OK);
    auto control = MakeControl();
    bool done = false;
    SyncManager()->OnIdle(done);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("|").toStdString();
    return control;
  }
  // Another program taking the store's write lock, as a second copy of the game saving would.
  sqlite3* HoldWriteLock() const {
    sqlite3* other = nullptr;
    EXPECT_EQ(sqlite3_open((dir_ + "/registry.db").c_str(), &other), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    return other;
  }
  static void ReleaseWriteLock(sqlite3* other) {
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }
  static std::int32_t StoredTVChannel() {
    TRegistry2 reg;
    std::int32_t value = -1;
    if (reg.OpenKey(DeviceList(dk_VideoDevices)->RegistryKey(0), false))
      reg.ReadInteger(QStringLiteral("TVChannel"), value);
    return value;
  }

  QString TraceText() const {
    QFile file(TraceFileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
  }

  QStringList boxes;
};

// Catches: a damaged settings store reported on standard error only, which a player starting
// the game from the desktop never sees: nothing in the control's log, no message box, or a box
// for every control.
TEST_F(StoreProblemsTest, MovedAsideStoreIsLoggedAndShownOnce) {
  ASSERT_FALSE(TraceEnabled()) << "this test needs a process of its own";
  const std::string path = dir_ + "/registry.db";
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
  EnableTrace();
  testing::internal::CaptureStderr();
  auto first = MakeControl();
  auto second = MakeControl();
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(boxes.isEmpty()) << "a modal box while the window is being built";
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.size(), 1) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes[0].contains(QString::fromStdString(path) + " unusable"))
      << boxes[0].toStdString();
  EXPECT_TRUE(boxes[0].contains("moved to")) << boxes[0].toStdString();
  const QString trace = TraceText();
  const QString line = "109 WARNING: registry store " + QString::fromStdString(path) + " unusable";
  EXPECT_EQ(trace.count(line), 1) << trace.toStdString();
}

// Catches: a healthy store producing a box or log lines (every player would see them).
TEST_F(StoreProblemsTest, HealthyStoreReportsNothing) {
  ASSERT_FALSE(TraceEnabled()) << "this test needs a process of its own";
  EnableTrace();
  auto control = MakeControl();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(boxes.isEmpty());
  EXPECT_FALSE(TraceText().contains("registry store"));
}

// Catches: saves of the device tables ignoring every result, so a full disk loses the player's
// settings without a word; or a message box for every failed save.
TEST_F(StoreProblemsTest, FailedSaveIsShownOnce) {
  auto first = MakeControlWithCamera();
  ASSERT_FALSE(HasFailure());
  // A full disk: every write to a file fails.
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit full = previous;
  full.rlim_cur = 0;
  setrlimit(RLIMIT_FSIZE, &full);
  first->SetVideoDevice(0);  // saves the table again
  first.reset();             // and saves once more
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  ScriptedDevices::Instance()->Clear();
  ASSERT_EQ(boxes.size(), 1) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes[0].contains("settings could not be saved")) << boxes[0].toStdString();
}

// Catches: a save that failed while another program held the store retried only at the next
// save, so what the player changed is lost if none comes; retries that freeze the window waiting
// for the lock, or tell the player again each time.
TEST_F(StoreProblemsTest, FailedSaveLandsLaterOnItsOwn) {
  using namespace std::chrono;
  auto control = MakeControlWithCamera();
  ASSERT_FALSE(HasFailure());
  sqlite3* other = HoldWriteLock();
  control->Core().VideoRegSave.SetInt(vrs_TVChannel, 42);
  control->Core().SaveVideoSettings();  // waits for the lock, then fails
  const auto held = steady_clock::now();
  while (steady_clock::now() - held < milliseconds(1800))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_LT(steady_clock::now() - held, seconds(3)) << "a retry waited for the lock";
  EXPECT_NE(StoredTVChannel(), 42);
  ReleaseWriteLock(other);
  const auto released = steady_clock::now();
  while (StoredTVChannel() != 42 && steady_clock::now() - released < seconds(10))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(StoredTVChannel(), 42) << "the unsaved table never landed";
  ASSERT_EQ(boxes.size(), 1) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes[0].contains("settings could not be saved")) << boxes[0].toStdString();
  ScriptedDevices::Instance()->Clear();
}

}  // namespace
