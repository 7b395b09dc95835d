// Frostwipe start-up: the application object, its three windows and the message loop.
#include <exception>

#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "ui/About.h"
#include "ui/Video_settings_form.h"

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  try {
    application.Initialize();
    application.SetTitle(QStringLiteral("Frostwipe"));
    application.CreateForm<TVideoCaptureForm>();
    application.CreateForm<TFormAbout>();
    application.CreateForm<TVideoSetingsForm>();
    application.Run();
  } catch (...) {
    // A failure while starting is shown like any other; the program then ends normally.
    application.HandleException();
  }
  return 0;
}
