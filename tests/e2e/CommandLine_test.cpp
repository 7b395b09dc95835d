// End-to-end: the real program's command line (--help, --version, errors, Qt's options).
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

// Runs the program with `arguments`. `platform` is QT_QPA_PLATFORM: one that cannot load shows
// whether an answer needed the window system.
Outcome RunProgram(const QStringList& arguments, const QString& platform = "no-such-platform",
                   const QProcessEnvironment& extra = {}) {
  QTemporaryDir dir;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", platform);
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "");
  env.insert("FROSTWIPE_REGISTRY", dir.filePath("registry.db"));
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  for (const QString& key : extra.keys()) env.insert(key, extra.value(key));
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), arguments);
  if (!program.waitForFinished(30000)) {
    program.kill();
    program.waitForFinished();
    return {};
  }
  if (program.exitStatus() != QProcess::NormalExit) return {};
  return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
          QString::fromUtf8(program.readAllStandardError())};
}

}  // namespace

// Catches: --help printed to standard error, ending with a non-zero code, needing a display,
// or leaving out an option it accepts.
TEST(CommandLineTest, HelpGoesToStandardOutputWithoutADisplay) {
  for (const QStringList& arguments :
       {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--help", "--no-such-option"}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Outcome outcome = RunProgram(arguments);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.startsWith("Usage: frostwipe [OPTION]...\n"))
        << outcome.out.toStdString();
    for (const char* option : {"--help", "--version", "--list-cameras", "-platform"})
      EXPECT_TRUE(outcome.out.contains(option)) << option;
    EXPECT_TRUE(outcome.out.contains("list the cameras and their formats, then exit"));
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
  }
}

// Catches: a version that is not the project's, extra output, or a version that needs a display.
TEST(CommandLineTest, VersionIsTheProjectVersion) {
  const Outcome outcome = RunProgram({"--version"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
  EXPECT_EQ(outcome.out, QStringLiteral("frostwipe " FROSTWIPE_VERSION "\n"));
  EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
}

// Catches: an unknown option or operand silently starting the game, exiting with a code other
// than 2, or printing its complaint on standard output.
TEST(CommandLineTest, UnknownOptionGivesUsageOnStandardErrorAndCodeTwo) {
  const QStringList cases[] = {
      {"--no-such-option"}, {"-x"}, {"picture.png"}, {"-platform"}, {"--list-cameras", "--bogus"}};
  for (const QStringList& arguments : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Outcome outcome = RunProgram(arguments);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.out.isEmpty()) << outcome.out.toStdString();
    EXPECT_TRUE(outcome.err.startsWith("frostwipe: ")) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains("Usage: frostwipe [OPTION]...")) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains("--help")) << outcome.err.toStdString();
  }
  EXPECT_TRUE(RunProgram({"--no-such-option"}).err.contains("'--no-such-option'"));
}

// Catches: --list-cameras starting the game or failing when there is no camera (an empty model
// camera set, so a machine's own webcam does not change the answer), or leaving out the demo
// camera the game offers, or not marking it as built in.
TEST(CommandLineTest, ListCamerasWithoutCamerasSaysSoAndNamesTheBuiltInOnes) {
  QProcessEnvironment none;
  none.insert("FROSTWIPE_V4L2_MODEL", "");
  const Outcome outcome = RunProgram({"--list-cameras"}, "no-such-platform", none);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
  EXPECT_EQ(outcome.out, QStringLiteral("no cameras found\n"));
  none.insert("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  const Outcome demo = RunProgram({"--list-cameras"}, "no-such-platform", none);
  EXPECT_EQ(demo.out, QStringLiteral("no cameras found\n\nBuilt into the game:\n"
                                     "Frostwipe Demo Camera (built in)\n"));
}

// Catches: --list-cameras that leaves out a camera, its node, a format, a size, a frame rate or
// a control, or lists the metadata node of a UVC camera as a camera of its own.
TEST(CommandLineTest, ListCamerasPrintsFormatsAndControls) {
  QProcessEnvironment model;
  model.insert("FROSTWIPE_V4L2_MODEL", "usb,laptop");
  const Outcome outcome = RunProgram({"--list-cameras"}, "no-such-platform", model);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
  const QString& out = outcome.out;
  EXPECT_TRUE(out.startsWith("USB Camera\n  node: /dev/video0\n")) << out.toStdString();
  for (const char* line :
       {"  identity: pci-0000:00:14.0-usb-0:1:1.0-video-index0\n", "    YUYV 640x480: 30, 15 fps\n",
        "    YUYV 160x120: 30, 15 fps\n", "    MJPG 1280x720: 30, 15 fps\n",
        "    White Balance Temperature: 2800..6500 step 10, default 4600, automatic mode\n",
        "\nIntegrated Camera\n  node: /dev/video2\n", "    NV12 320x240: 30, 15 fps\n",
        "    Pan, Absolute: -36000..36000 step 3600, default 0\n"})
    EXPECT_TRUE(out.contains(QString::fromUtf8(line))) << line << "\n" << out.toStdString();
  EXPECT_FALSE(out.contains("/dev/video1")) << "a metadata node is no camera";
}

// Catches: Qt's own options rejected as unknown or swallowed before QApplication sees them: the
// environment names a platform that cannot load, so only -platform offscreen lets the game start.
TEST(CommandLineTest, QtOptionsReachQt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString shot = dir.filePath("main.png");
  QProcessEnvironment extra;
  extra.insert("FROSTWIPE_SCREENSHOT", shot);
  extra.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "300");
  const Outcome outcome = RunProgram({"-platform", "offscreen", "-style", "Fusion", "--reverse",
                                      "-qwindowtitle", "Frost", "-stylesheet=none.qss"},
                                     "no-such-platform", extra);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
  EXPECT_TRUE(QFile::exists(shot)) << "the game did not start";
}

// Catches: bad arguments echoed raw (escape sequences reaching the terminal); a platform without
// a plug-in aborting inside Qt; a style sheet or window size that eats the machine's memory; a
// negative screenshot delay keeping the window open for ever. Each must end at once with code 2
// and a message on standard error.
TEST(CommandLineTest, HarmfulValuesAreRefusedBeforeQt) {
  const struct {
    QStringList arguments;
    const char* delay;
    const char* message;
  } cases[] = {
      {{"--\x1b]0;owned\x07\xc2\x9b"}, nullptr, "'--\\x1B]0;owned\\x07\\xC2\\x9B'"},
      {{"-platform", "bogus"}, nullptr, "unknown platform 'bogus'; available: "},
      {{"-stylesheet=/dev/zero"}, nullptr, "style sheet '/dev/zero' is not a regular file"},
      {{"-qwindowgeometry", "30000x30000"}, nullptr, "'30000x30000' is larger than"},
      {{"-platform", "offscreen"}, "-5", "FROSTWIPE_SCREENSHOT_DELAY_MS='-5' is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    QProcessEnvironment extra;
    if (c.delay) {
      extra.insert("FROSTWIPE_SCREENSHOT", "shot.png");
      extra.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", c.delay);
    }
    const Outcome outcome = RunProgram(c.arguments, "offscreen", extra);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.err.startsWith("frostwipe: ")) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(c.message)) << outcome.err.toStdString();
    EXPECT_FALSE(outcome.err.contains('\x1b')) << "an escape reached the terminal";
  }
  EXPECT_TRUE(RunProgram({"-platform", "bogus"}).err.contains("offscreen"));
}
