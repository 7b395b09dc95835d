// GoogleTest entry point for tests that need the application object (offscreen platform).
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/toolkit/Application.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  // Never touch the user's settings store: tests that do not choose one get a private one.
  QTemporaryDir storeDir;
  if (qEnvironmentVariableIsEmpty("FROSTWIPE_REGISTRY"))
    qputenv("FROSTWIPE_REGISTRY", storeDir.filePath("registry.db").toLocal8Bit());
  TApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
