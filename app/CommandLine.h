// Command line: Frostwipe's own options, answered before any window system is touched.
#pragma once

#include <string>

// What the command line asks for. Qt's own options (-platform, -style, ...) are skipped here and
// left in argv for QApplication.
struct TCommandLine {
  enum class Action { Run, Help, Version, ListCameras, Error };
  Action action = Action::Run;
  std::string error;  // for Action::Error: what was wrong, without the program name
  // Values of Qt's options that Qt would not survive unchecked (empty when not given).
  std::string platform, platformPluginPath, styleSheet, windowGeometry;
};

// Arguments quoted in error messages are made printable: control characters, bytes that are not
// UTF-8 and the C1 controls become \xHH, so nothing in them reaches the terminal as a command.
TCommandLine ParseCommandLine(int argc, const char* const* argv);

// Checks the values of Qt's options that Qt itself cannot cope with: a platform without a plug-in
// (Qt aborts), a style sheet that is not a regular file or is too large, a window geometry
// beyond any screen. Answers the complaint, or empty when they are fine. Needs no application
// object.
std::string CheckQtOptions(const TCommandLine& commandLine);

// FROSTWIPE_SCREENSHOT_DELAY_MS when set: a number of milliseconds, 0 or more. Answers the
// complaint, or empty.
std::string CheckScreenshotDelay();

// The text --help prints, and the short reminder an error prints after its message.
std::string HelpText();
std::string UsageText();
