// End-to-end: the real program opens the demo camera by itself, keeps what it discovered in the
// settings store, and reads it back on the next run instead of discovering again.
#include <cstdlib>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "capture/devices/Registry2.h"
#include "platform/registry/Registry.h"

namespace {

int RunProgram(const QTemporaryDir& dir, QString* errors) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_SCREENSHOT", dir.filePath("main.png"));
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "500");
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  env.insert("FROSTWIPE_REGISTRY", dir.filePath("registry.db"));
  env.insert("XDG_RUNTIME_DIR", dir.path());
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  if (!program.waitForFinished(60000)) return -1;
  *errors = QString::fromLocal8Bit(program.readAllStandardError());
  return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

// The device key holding a cached size list, or empty.
QString DeviceKeyWithCache() {
  const QString devices = RegistryBasePath() + QStringLiteral("Devices\\");
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, devices.toUtf8().constData(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return {};
  char name[512];
  DWORD size = sizeof name;
  const LONG found = RegEnumKeyEx(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return found == ERROR_SUCCESS ? devices + QString::fromUtf8(name, size) : QString();
}

}  // namespace

// Catches: a camera not opened at start-up, discoveries not kept, or discovered again although
// the store holds them.
TEST(DeviceCacheTest, SecondRunReadsTheStoredListsWithoutDiscovery) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString errors;
  ASSERT_EQ(RunProgram(dir, &errors), 0) << errors.toStdString();
  setenv("FROSTWIPE_REGISTRY", dir.filePath("registry.db").toLocal8Bit().constData(), 1);
  RegCloseStore();
  const QString key = DeviceKeyWithCache();
  ASSERT_TRUE(key.contains(QStringLiteral("Frostwipe Demo Camera"))) << key.toStdString();
  {
    TRegistry2 reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    QString value;
    EXPECT_TRUE(reg.ReadString(QStringLiteral("FMT000"), value));
    EXPECT_EQ(value, QStringLiteral("   320x240"));
    EXPECT_TRUE(reg.ReadString(QStringLiteral("SUB000"), value));
    bool discovered = false;
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("_DeviceDiscovered"), discovered) && discovered);
    // An entry the camera does not offer shows whether the next run reads the store.
    EXPECT_TRUE(reg.WriteString(QStringLiteral("FMT001"), QStringLiteral(" 176x144")));
  }
  RegCloseStore();
  ASSERT_EQ(RunProgram(dir, &errors), 0) << errors.toStdString();
  RegCloseStore();
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(key, false));
  QString value;
  EXPECT_TRUE(reg.ReadString(QStringLiteral("FMT001"), value));
  EXPECT_EQ(value, QStringLiteral(" 176x144")) << "a discovery would have rewritten the list";
  RegCloseStore();
  // Nothing of the run is left in its temporary directory.
  EXPECT_TRUE(
      QDir(dir.path()).entryList({"frostwipe-*"}, QDir::AllEntries | QDir::System).isEmpty());
}
