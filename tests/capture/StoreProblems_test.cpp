// Tests of passing the settings store's problems to the capture control's log and the player.
#include "capture/devices/StoreProblems.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include "TestSupport.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
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
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
  ScriptedDevices::Instance()->Clear();
  VirtualDeviceConfig camera;
  camera.friendlyName = u"Cam";
  camera.capabilities = {VideoCapability{}};
  camera.capabilities[0].subtype = MEDIASUBTYPE_YUY2;
  camera.capabilities[0].width = 160;
  camera.capabilities[0].height = 120;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(camera, true, nullptr), S_OK);
  auto first = MakeControl();
  bool done = false;
  SyncManager()->OnIdle(done);  // selects and discovers the camera, and saves it
  QCoreApplication::processEvents();
  ASSERT_TRUE(boxes.isEmpty()) << boxes.join("|").toStdString();
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

}  // namespace
