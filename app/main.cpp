// Frostwipe start-up: the application object, its three windows and the message loop.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/Translations.h"
#include "game/Video_capture_form.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/Guids.h"
#include "platform/media/pipewire/PipeWirePortal.h"
#include "platform/media/pipewire/PipeWireProvider.h"
#include "platform/media/v4l2/V4l2Report.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Dialogs.h"
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

// The window icon is decoded and handed to the windows at the first idle moment, after the main
// window's first picture: decoding it before would delay that picture by a few milliseconds,
// and the desktop takes an icon that arrives later just as well.
void ArrangeWindowIcon(TApplication& application) {
  auto id = std::make_shared<int>(0);
  *id = application.AddIdleHandler([&application, id](bool&) {
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/" FROSTWIPE_APP_ID ".png")));
    application.RemoveIdleHandler(*id);
  });
}

// FROSTWIPE_QUIT_WHEN_SHOWN=1 prints "main window shown" on standard output once the main window
// has been painted for the first time, then closes it: start-up time measurements.
class TQuitWhenShown : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // Queued, so it runs once the painted window has been flushed to the screen.
      QMetaObject::invokeMethod(
          this,
          [form = static_cast<TForm*>(watched)] {
            std::fputs("main window shown\n", stdout);
            std::fflush(stdout);
            form->Close();
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  bool seen_ = false;
};

void ArrangeQuitWhenShown(TApplication& application) {
  if (qEnvironmentVariable("FROSTWIPE_QUIT_WHEN_SHOWN") != QStringLiteral("1")) return;
  if (TForm* form = application.MainForm())
    form->installEventFilter(new TQuitWhenShown(&application));
}

// FROSTWIPE_AUTOPLAY=<freezing speed> presses Start shortly after start-up with "Freezing speed"
// set to that value, as a player would: end-to-end tests and screenshots of a game in progress.
void ArrangeAutoplay(TApplication& application) {
  bool ok = false;
  const int freezing = qEnvironmentVariableIntValue("FROSTWIPE_AUTOPLAY", &ok);
  if (!ok) return;
  QTimer::singleShot(300, &application, [&application, freezing] {
    auto* form = qobject_cast<TVideoCaptureForm*>(application.MainForm());
    if (!form) return;
    form->FreezingSpeedTrackBar->setValue(freezing);
    form->StartStopButton->click();
  });
}

// --list-cameras: prints each camera with its node, formats and controls, one camera a
// paragraph: the PipeWire cameras first (when the "pipewire" provider is enabled), then the V4L2
// ones (the model cameras when FROSTWIPE_V4L2_MODEL names them), then the cameras built into the
// game (touch and demo camera; scripted test devices), marked as such. On the camera portal's
// path an application object carries the portal's answer, and a message for the player goes to
// the error output.
int ListCameras(int argc, char** argv) {
  std::string pipewire;
  std::unique_ptr<QCoreApplication> portalApplication;
  const std::vector<std::string> enabled = EnabledProviderNames();
  if (std::find(enabled.begin(), enabled.end(), "pipewire") != enabled.end()) {
    if (CameraPortalWanted()) {
      portalApplication = std::make_unique<QCoreApplication>(argc, argv);
      SetMessageBoxHook([](const QString& text, const QString&) {
        std::fprintf(stderr, "frostwipe: %s\n", qPrintable(text));
        return 0;
      });
    }
    pipewire = DescribePipeWireCameras();
  }
  std::string v4l2 = DescribeV4l2Cameras();
  if (!pipewire.empty() && v4l2 == "no cameras found\n") v4l2.clear();
  std::string report = pipewire + v4l2;
  std::string builtIn;
  for (const auto& [name, provider] : DeviceProviderRegistry::Instance().Enabled()) {
    if (name == "v4l2" || name == "pipewire") continue;
    for (const DeviceDescription& device : provider->ListDevices(CLSID_VideoInputDeviceCategory))
      builtIn += QString::fromStdU16String(device.friendlyName).toStdString() + " (built in)\n";
  }
  if (!builtIn.empty()) report += "\nBuilt into the game:\n" + builtIn;
  std::fputs(report.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before QApplication exists, so they work without a display.
  const TCommandLine commandLine = ParseCommandLine(argc, argv);
  switch (commandLine.action) {
    case TCommandLine::Action::Help:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case TCommandLine::Action::Version:
      std::fputs("frostwipe " FROSTWIPE_VERSION "\n", stdout);
      return 0;
    case TCommandLine::Action::ListCameras:
      return ListCameras(argc, argv);
    case TCommandLine::Action::Error:
      std::fprintf(stderr, "frostwipe: %s\n%s", commandLine.error.c_str(), UsageText().c_str());
      return 2;
    case TCommandLine::Action::Run:
      break;
  }
  // Values Qt would abort on, or spend the machine's memory on, are refused before it sees them.
  for (const std::string& complaint : {CheckQtOptions(commandLine), CheckScreenshotDelay()}) {
    if (complaint.empty()) continue;
    std::fprintf(stderr, "frostwipe: %s\n", complaint.c_str());
    return 2;
  }

  // The desktop entry's id is the Wayland app id, so the desktop matches the window to its
  // launcher and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(FROSTWIPE_APP_ID));
  TApplication application(argc, argv);
  ArrangeWindowIcon(application);
  InstallTranslations(QLocale());
  try {
    application.Initialize();
    application.SetTitle(QStringLiteral("Frostwipe"));
    // The X11 window class is the application name: the desktop entry's id, as on Wayland.
    QGuiApplication::setApplicationDisplayName(application.Title());
    QCoreApplication::setApplicationName(QStringLiteral(FROSTWIPE_APP_ID));
    application.CreateForm<TVideoCaptureForm>();
    application.CreateForm<TFormAbout>();
    application.CreateForm<TVideoSetingsForm>();
    ArrangeAutoplay(application);
    ArrangeScreenshot(application);
    ArrangeQuitWhenShown(application);
    application.Run();
  } catch (...) {
    // A failure while starting is shown like any other; the program then ends normally.
    application.HandleException();
  }
  return 0;
}
