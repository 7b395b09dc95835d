// Entry point of the V4L2 tests: an application object on the offscreen platform, and the
// component-object runtime initialised for the main (user-interface) thread.
#include <QApplication>

#include <gtest/gtest.h>

#include "platform/com/ComApi.h"

// Read by ThreadSanitizer when this program runs under it. Qt's raster engine hands large fills
// of widget painting (the property frames) to its thread pool and waits with futexes that the
// sanitizer cannot see in the uninstrumented Qt libraries, so their hand-over looks like a race
// inside Qt. Races with a frame in our own code are still reported.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so\n"
         "race:libQt6Gui.so\n";
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Tests choose their providers themselves; a machine's webcams never take part. A child run
  // started by a test keeps the environment that test gave it.
  if (!qEnvironmentVariableIsSet("FROSTWIPE_TEST_CHILD")) {
    qputenv("FROSTWIPE_DEVICE_PROVIDERS", "demo,scripted");
    qunsetenv("FROSTWIPE_VIRTUAL_DEVICES");
    // The "v4l2" provider, where a test enables it, sees an empty set of model cameras.
    qputenv("FROSTWIPE_V4L2_MODEL", "");
  }
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  CoInitialize(nullptr);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
