#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// Options QApplication and its platform plug-ins take (it accepts them with one or two dashes).
// Those with a value consume the next argument; Qt also reads -style=NAME and -stylesheet=FILE.
constexpr std::array<std::string_view, 15> kQtOptionsWithValue = {"platform",
                                                                  "platformpluginpath",
                                                                  "platformtheme",
                                                                  "plugin",
                                                                  "qwindowgeometry",
                                                                  "qwindowicon",
                                                                  "qwindowtitle",
                                                                  "session",
                                                                  "display",
                                                                  "name",
                                                                  "geometry",
                                                                  "title",
                                                                  "icon",
                                                                  "style",
                                                                  "stylesheet"};
constexpr std::array<std::string_view, 7> kQtFlags = {
    "reverse", "widgetcount", "sync", "nograb", "dograb", "testability", "qmljsdebugger"};

bool Contains(const auto& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  TCommandLine result{TCommandLine::Action::Run, {}};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // --help and --version answer at once, whatever follows, as GNU programs do.
    if (arg == "--help" || arg == "-h") return {TCommandLine::Action::Help, {}};
    if (arg == "--version") return {TCommandLine::Action::Version, {}};
    if (arg == "--list-cameras") {
      result.action = TCommandLine::Action::ListCameras;
    } else if (arg == "--") {
      // Ends the options; the game takes no operands after it either.
      if (i + 1 < argc)
        return {TCommandLine::Action::Error,
                "unexpected argument '" + std::string(argv[i + 1]) + "'"};
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
      const size_t equals = name.find('=');
      const bool inlineValue = equals != std::string_view::npos;
      name = name.substr(0, equals);
      if (inlineValue && name != "style" && name != "stylesheet" && name != "qmljsdebugger") {
        return {TCommandLine::Action::Error, "unrecognized option '" + std::string(arg) + "'"};
      }
      if (Contains(kQtOptionsWithValue, name)) {
        if (!inlineValue && ++i >= argc) {
          return {TCommandLine::Action::Error,
                  "option '" + std::string(arg) + "' requires an argument"};
        }
      } else if (!Contains(kQtFlags, name)) {
        return {TCommandLine::Action::Error, "unrecognized option '" + std::string(arg) + "'"};
      }
    } else {
      // The game takes no file or other operand.
      return {TCommandLine::Action::Error, "unexpected argument '" + std::string(arg) + "'"};
    }
  }
  return result;
}

std::string UsageText() {
  return "Usage: frostwipe [OPTION]...\n"
         "Try 'frostwipe --help' for more information.\n";
}

std::string HelpText() {
  return "Usage: frostwipe [OPTION]...\n"
         "Wipe the ice off a frozen window by waving in front of the webcam.\n"
         "\n"
         "  -h, --help          display this help and exit\n"
         "      --version       output version information and exit\n"
         "      --list-cameras  list the cameras and their formats, then exit\n"
         "\n"
         "Qt's own options, such as -platform NAME, -style NAME, -display DISPLAY and\n"
         "-reverse, are passed on to Qt.\n"
         "\n"
         "Environment: FROSTWIPE_REGISTRY moves the settings store (default\n"
         "~/.config/frostwipe/registry.db).\n";
}
