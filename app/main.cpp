// Frostwipe start-up: the application object, its three windows and the message loop.
#include <QTimer>

#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "ui/About.h"
#include "ui/Video_settings_form.h"

namespace {

// FROSTWIPE_SCREENSHOT=<file.png> saves the main window once the loop has run for
// FROSTWIPE_SCREENSHOT_DELAY_MS (default 500) and then closes it: pictures for the README and
// a smoke test of the real program on machines without a display.
void ArrangeScreenshot(TApplication& application) {
  const QString file = qEnvironmentVariable("FROSTWIPE_SCREENSHOT");
  if (file.isEmpty()) return;
  bool ok = false;
  int delayMs = qEnvironmentVariableIntValue("FROSTWIPE_SCREENSHOT_DELAY_MS", &ok);
  if (!ok) delayMs = 500;
  QTimer::singleShot(delayMs, &application, [&application, file] {
    TForm* form = application.MainForm();
    if (!form) return;
    if (!form->grab().save(file)) qWarning("could not save the screenshot to %s", qPrintable(file));
    form->Close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  try {
    application.Initialize();
    application.SetTitle(QStringLiteral("Frostwipe"));
    application.CreateForm<TVideoCaptureForm>();
    application.CreateForm<TFormAbout>();
    application.CreateForm<TVideoSetingsForm>();
    ArrangeScreenshot(application);
    application.Run();
  } catch (...) {
    // A failure while starting is shown like any other; the program then ends normally.
    application.HandleException();
  }
  return 0;
}
