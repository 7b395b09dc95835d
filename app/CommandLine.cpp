#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QStringList>

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

TCommandLine Answer(TCommandLine::Action action, std::string error = {}) {
  TCommandLine result;
  result.action = action;
  result.error = std::move(error);
  return result;
}

// Largest style sheet read, and largest window side accepted (beyond any screen made).
constexpr off_t kMaxStyleSheetBytes = 1 << 20;
constexpr int kMaxWindowSide = 16384;

// The argument as it may be shown on a terminal: printable ASCII and UTF-8 characters from
// U+00A0 up stay, everything else becomes \xHH (a backslash itself is doubled).
std::string Printable(std::string_view text) {
  std::string out;
  auto escape = [&out](unsigned char c) {
    char buf[5];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\\\";
      ++i;
      continue;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // A well-formed UTF-8 sequence of a character that is not a C1 control.
    const std::size_t length = c >= 0xF0 && c < 0xF5   ? 4
                               : c >= 0xE0 && c < 0xF0 ? 3
                               : c >= 0xC2 && c < 0xE0 ? 2
                                                       : 0;
    bool good = length != 0 && i + length <= text.size();
    char32_t code = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : c & 0x1F;
    for (std::size_t k = 1; good && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      good = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    good = good && code >= 0xA0 && !(length == 3 && code < 0x800) &&
           !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) &&
           !(code >= 0xD800 && code <= 0xDFFF);
    if (good) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      escape(c);
      ++i;
    }
  }
  return out;
}

// The platform names of the QPA plug-ins Qt would find.
QStringList PlatformNames(const std::string& extraPluginPath) {
  QStringList dirs;
  if (!extraPluginPath.empty()) dirs << QString::fromLocal8Bit(extraPluginPath.c_str());
  const QString envPath = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!envPath.isEmpty()) dirs << envPath;
  for (const QString& path : QCoreApplication::libraryPaths())
    dirs << path + QStringLiteral("/platforms");
  QStringList names;
  for (const QString& dir : dirs) {
    for (const QString& file : QDir(dir).entryList({QStringLiteral("*.so")}, QDir::Files)) {
      const QJsonObject meta = QPluginLoader(dir + QLatin1Char('/') + file).metaData();
      for (const QJsonValue key : meta.value(QStringLiteral("MetaData"))
                                      .toObject()
                                      .value(QStringLiteral("Keys"))
                                      .toArray())
        if (!names.contains(key.toString(), Qt::CaseInsensitive)) names << key.toString();
    }
  }
  for (const QStaticPlugin& plugin : QPluginLoader::staticPlugins())
    for (const QJsonValue key :
         plugin.metaData().value(QStringLiteral("MetaData")).toObject().value("Keys").toArray())
      if (!names.contains(key.toString(), Qt::CaseInsensitive)) names << key.toString();
  names.sort();
  return names;
}

}  // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  TCommandLine result;
  std::string pluginPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // --help and --version answer at once, whatever follows, as GNU programs do.
    if (arg == "--help" || arg == "-h") return Answer(TCommandLine::Action::Help);
    if (arg == "--version") return Answer(TCommandLine::Action::Version);
    if (arg == "--list-cameras") {
      result.action = TCommandLine::Action::ListCameras;
    } else if (arg == "--") {
      // Ends the options; the game takes no operands after it either.
      if (i + 1 < argc)
        return Answer(TCommandLine::Action::Error,
                      "unexpected argument '" + Printable(argv[i + 1]) + "'");
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::string_view name = arg.substr(arg.starts_with("--") ? 2 : 1);
      const size_t equals = name.find('=');
      const bool inlineValue = equals != std::string_view::npos;
      name = name.substr(0, equals);
      if (inlineValue && name != "style" && name != "stylesheet" && name != "qmljsdebugger") {
        return Answer(TCommandLine::Action::Error, "unrecognized option '" + Printable(arg) + "'");
      }
      if (Contains(kQtOptionsWithValue, name)) {
        if (!inlineValue && ++i >= argc) {
          return Answer(TCommandLine::Action::Error,
                        "option '" + Printable(arg) + "' requires an argument");
        }
        const std::string value =
            inlineValue ? std::string(arg.substr(arg.find('=') + 1)) : std::string(argv[i]);
        if (name == "platform") result.platform = value;
        if (name == "platformpluginpath") pluginPath = value;
        if (name == "stylesheet") result.styleSheet = value;
        if (name == "qwindowgeometry" || name == "geometry") result.windowGeometry = value;
      } else if (!Contains(kQtFlags, name)) {
        return Answer(TCommandLine::Action::Error, "unrecognized option '" + Printable(arg) + "'");
      }
    } else {
      // The game takes no file or other operand.
      return Answer(TCommandLine::Action::Error, "unexpected argument '" + Printable(arg) + "'");
    }
  }
  result.platformPluginPath = pluginPath;
  return result;
}

std::string CheckQtOptions(const TCommandLine& commandLine) {
  if (!commandLine.platform.empty()) {
    // Qt reads "name:option=value,...": only the name chooses the plug-in.
    const std::string name = commandLine.platform.substr(0, commandLine.platform.find(':'));
    const QStringList names = PlatformNames(commandLine.platformPluginPath);
    if (!names.contains(QString::fromLocal8Bit(name.c_str()), Qt::CaseInsensitive))
      return "unknown platform '" + Printable(name) +
             "'; available: " + names.join(QStringLiteral(", ")).toStdString();
  }
  if (!commandLine.styleSheet.empty()) {
    // A missing file is Qt's to warn about; anything it would read must be a small file.
    struct stat st {};
    if (stat(commandLine.styleSheet.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode))
        return "style sheet '" + Printable(commandLine.styleSheet) + "' is not a regular file";
      if (st.st_size > kMaxStyleSheetBytes)
        return "style sheet '" + Printable(commandLine.styleSheet) + "' is larger than 1 MiB";
    }
  }
  if (!commandLine.windowGeometry.empty()) {
    // [WIDTHxHEIGHT][{+-}X{+-}Y], as X11 programs take it.
    static const QRegularExpression geometry(
        QStringLiteral(R"(^(?:(\d+)[xX](\d+))?(?:[+-]\d+[+-]\d+)?$)"));
    const QRegularExpressionMatch m =
        geometry.match(QString::fromLocal8Bit(commandLine.windowGeometry.c_str()));
    const QString shown = QString::fromStdString(Printable(commandLine.windowGeometry));
    if (!m.hasMatch())
      return "window geometry '" + shown.toStdString() + "' is not WIDTHxHEIGHT+X+Y";
    if (m.capturedLength(1) &&
        (m.captured(1).size() > 6 || m.captured(2).size() > 6 ||
         m.captured(1).toInt() > kMaxWindowSide || m.captured(2).toInt() > kMaxWindowSide))
      return "window geometry '" + shown.toStdString() + "' is larger than " +
             std::to_string(kMaxWindowSide) + "x" + std::to_string(kMaxWindowSide);
  }
  return {};
}

std::string CheckScreenshotDelay() {
  const char* value = std::getenv("FROSTWIPE_SCREENSHOT_DELAY_MS");
  if (!value) return {};
  bool ok = false;
  const int delay = QString::fromLocal8Bit(value).toInt(&ok);
  if (ok && delay >= 0) return {};
  return "FROSTWIPE_SCREENSHOT_DELAY_MS='" + Printable(value) +
         "' is not a number of milliseconds, 0 or more";
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
