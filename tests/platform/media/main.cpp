// Entry point of the media tests: an application object on the offscreen platform, and the
// component-object runtime initialised for the main (user-interface) thread.
#include <QApplication>

#include <gtest/gtest.h>

#include "platform/com/ComApi.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  CoInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
