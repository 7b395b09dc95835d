// Command line: Frostwipe's own options, answered before any window system is touched.
#pragma once

#include <string>

// What the command line asks for. Qt's own options (-platform, -style, ...) are skipped here and
// left in argv for QApplication.
struct TCommandLine {
  enum class Action { Run, Help, Version, ListCameras, Error };
  Action action = Action::Run;
  std::string error;  // for Action::Error: what was wrong, without the program name
};

TCommandLine ParseCommandLine(int argc, const char* const* argv);

// The text --help prints, and the short reminder an error prints after its message.
std::string HelpText();
std::string UsageText();
