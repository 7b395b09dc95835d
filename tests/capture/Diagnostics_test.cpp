// Tests of the reporting routines and the trace file.
#include "capture/core/Diagnostics.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include "TestSupport.h"
#include "capture/core/SyncManager.h"
#include "platform/com/ComApi.h"
#include "platform/com/Unknown.h"

namespace {

using DiagnosticsTest = CaptureTest;

QStringList TraceLines() {
  QFile file(TraceFileName());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll()).split("\r\n");
}

// Catches: OnLog raised for severity 0 or unknown severities, or for successes.
TEST_F(DiagnosticsTest, OnLogOnlyForFailuresOfSeverityOneToThree) {
  auto control = MakeControl();
  Recorder rec;
  control->OnLog = {&rec, &Recorder::Log};
  TCaptureCore* core = &control->Core();
  for (int severity : {0, 1, 2, 3, 4, -1})
    ReportResult(core, E_FAIL, severity, e_failed, QString::number(severity));
  EXPECT_TRUE(ReportResult(core, S_OK, sv_Error, e_failed, "ok"));
  EXPECT_TRUE(ReportResult(core, S_FALSE, sv_Error, e_failed, "ok too"));
  EXPECT_FALSE(ReportIf(core, false, sv_Error, e_failed, "not reported"));
  EXPECT_TRUE(ReportIf(core, true, sv_Warning, e_trace_log, "reported"));
  const std::vector<QString> expected = {"log 9 INFO 1", "log 9 WARNING 2", "log 9 ERROR 3",
                                         "log 80 WARNING reported"};
  EXPECT_EQ(rec.calls, expected);
  // A component that is not ready reports nothing, and its checks count as failed.
  rec.calls.clear();
  core->Initialized = false;
  EXPECT_FALSE(ReportResult(core, S_OK, sv_Error, e_failed, "x"));
  EXPECT_TRUE(ReportIf(core, false, sv_Error, e_failed, "x"));
  EXPECT_TRUE(rec.calls.empty());
  core->Initialized = true;
}

// Catches: a wrong RTF header, a prefixed first line, missing or non-yellow separators, or
// lines written with wrong colours or elapsed-time prefix.
TEST_F(DiagnosticsTest, TraceFileHasExactHeaderBannerAndSeparators) {
  ASSERT_FALSE(TraceEnabled()) << "this test needs a process of its own";
  auto control = MakeControl();
  ASSERT_FALSE(QFile::exists(TraceFileName()));
  control->SetAutoFilePrefix("before");
  control->SetAutoFilePrefix("trcdiaglog");
  EXPECT_EQ(control->AutoFilePrefix(), "before") << "the switch text became the prefix";
  ASSERT_TRUE(TraceEnabled());
  ReportIf(&control->Core(), false, sv_Error, e_failed, "passing check");
  ReportResult(&control->Core(), E_FAIL, sv_TraceOnly, e_set_format, "set video format 2");
  ReportResult(&control->Core(), E_FAIL, sv_Info, e_no_device_available, "info failure");
  const QStringList lines = TraceLines();
  const QString rule = "\\cf6 " + QString(70, '=') + "\\par";
  ASSERT_GE(lines.size(), 13);
  EXPECT_EQ(lines[0],
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{"
            "\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}}");
  EXPECT_EQ(
      lines[1],
      "{\\colortbl ;\\red128\\green128\\blue128;\\red0\\green0\\blue255;\\red0\\green128\\blue0;"
      "\\red255\\green0\\blue0;\\red128\\green0\\blue128;\\red255\\green255\\blue0;}");
  EXPECT_EQ(lines[2], "\\viewkind4\\uc1\\pard\\b\\f0\\fs20");
  EXPECT_EQ(lines[3], "\\par");
  EXPECT_EQ(lines[4], rule);
  EXPECT_EQ(lines[5], "\\cf0 BEGIN TCaptureControl vv1.0 (build 1.0.0) process log\\par");
  EXPECT_EQ(lines[6], rule);
  EXPECT_EQ(lines[7], "\\par");
  const QString sep = QString(QLocale::system().decimalPoint());
  const QString t = "\\d+" + QRegularExpression::escape(sep) + "\\d{3} ";
  auto matches = [&](const QString& line, const QString& pattern) {
    return QRegularExpression("^" + pattern + "$").match(line).hasMatch();
  };
  // The trace switch came after the control's construction, so its first lines are these.
  EXPECT_TRUE(
      matches(lines[8], QRegularExpression::escape("\\cf0 ") + t + "9 : passing check\\\\par"))
      << lines[8].toStdString();
  EXPECT_TRUE(matches(
      lines[9], QRegularExpression::escape("\\cf4 ") + t + "70 ERROR: set video format 2\\\\par"))
      << lines[9].toStdString();
  EXPECT_TRUE(
      matches(lines[10], QRegularExpression::escape("\\cf0 ") + t + "43 INFO: info failure\\\\par"))
      << lines[10].toStdString();
  EXPECT_EQ(lines[11], "}");
  EXPECT_EQ(lines[12], "");  // the last line ends with CR LF too
}

// Catches: the closing banner missing at the end of the process, or not framed.
TEST_F(DiagnosticsTest, ClosingBannerAtFinalisation) {
  auto control = MakeControl();
  control->SetASFMediaServerPublishingPoint("trcdiaglog");
  control.reset();
  FinalizeCaptureUnit();
  const QStringList lines = TraceLines();
  const int n = static_cast<int>(lines.size());
  ASSERT_GE(n, 8);
  EXPECT_EQ(lines[n - 1], "");
  EXPECT_EQ(lines[n - 2], "}");
  EXPECT_EQ(lines[n - 3], "\\par");
  EXPECT_EQ(lines[n - 4], "\\cf6 " + QString(70, '=') + "\\par");
  EXPECT_TRUE(lines[n - 5].startsWith("\\cf0 ")) << lines[n - 5].toStdString();
  EXPECT_TRUE(lines[n - 5].endsWith(" END TCaptureControl vv1.0 (build 1.0.0) process log\\par"));
  EXPECT_TRUE(lines.filter(QRegularExpression(" freeing global resources\\\\par$")).size() == 1);
}

// Catches: a TraceFlag line without its YES/no suffix, or the trace written while off.
TEST_F(DiagnosticsTest, TraceFlagAndSwitchedOffTrace) {
  if (TraceEnabled()) GTEST_SKIP() << "the trace is on for this process already";
  EXPECT_TRUE(TraceFlag(true, kMarkGray, "nothing yet"));
  EXPECT_FALSE(QFile::exists(TraceFileName())) << "written while the trace is off";
  auto control = MakeControl();
  control->SetASFMediaServerPublishingPoint("TRCDIAGLOG");
  EXPECT_FALSE(TraceEnabled()) << "the switch is case-sensitive";
  control->SetASFMediaServerPublishingPoint("trcdiaglog");
  EXPECT_FALSE(TraceFlag(false, kMarkGray, "flag"));
  const QStringList lines = TraceLines();
  EXPECT_TRUE(lines[lines.size() - 3].startsWith("\\cf1 "));
  EXPECT_TRUE(lines[lines.size() - 3].endsWith(" flag: no\\par"));
}

// A minimal object for the class registry.
class Thing : public IUnknown, public UnknownImpl {
 public:
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<IUnknown>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
};

// Catches: an object creation that is not traced, or a failed creation answered as success.
TEST_F(DiagnosticsTest, TraceCreateInstanceTracesAndAnswersTheOutcome) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  auto control = MakeControl();
  control->SetASFMediaServerPublishingPoint("trcdiaglog");
  ASSERT_TRUE(TraceEnabled());
  const CLSID known = MakeGuid("{6E0A1C52-7A43-4C5E-9E7B-2D1F3B0C9A11}");
  ScopedClassRegistration registration(known, [](REFIID iid, void** object) {
    auto* thing = new Thing();
    const HRESULT hr = thing->QueryInterface(iid, object);
    thing->Release();
    return hr;
  });
  IUnknown* object = nullptr;
  EXPECT_TRUE(TraceCreateInstance(known, IidOf<IUnknown>(), reinterpret_cast<void**>(&object),
                                  "test object"));
  ASSERT_NE(object, nullptr);
  object->Release();
  QStringList lines = TraceLines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines[lines.size() - 3].startsWith("\\cf1 "));
  EXPECT_TRUE(lines[lines.size() - 3].endsWith(" instance: test object: YES\\par"));

  void* missing = nullptr;
  EXPECT_FALSE(TraceCreateInstance(MakeGuid("{00000000-0000-0000-0000-0000000000AB}"),
                                   IidOf<IUnknown>(), &missing, "missing filter"));
  EXPECT_EQ(missing, nullptr);
  lines = TraceLines();
  EXPECT_TRUE(lines[lines.size() - 3].endsWith(" instance: missing filter: no\\par"));
  CoUninitialize();
}

// Catches: a trace written through a symbolic link at its path, replacing the file the link
// points to (any file the user may write), and a refusal that is not said or said every line.
TEST_F(DiagnosticsTest, TraceNeverWritesThroughASymbolicLink) {
  ASSERT_FALSE(TraceEnabled()) << "this test needs a process of its own";
  const std::string victim = dir_ + "/victim.txt";
  std::ofstream(victim) << "precious";
  ASSERT_EQ(symlink(victim.c_str(), (dir_ + "/" + TraceFileName().toStdString()).c_str()), 0);
  auto control = MakeControl();
  testing::internal::CaptureStderr();
  control->SetAutoFilePrefix("trcdiaglog");
  ASSERT_TRUE(TraceEnabled());
  ReportResult(&control->Core(), E_FAIL, sv_Error, e_failed, "first line");
  ReportResult(&control->Core(), E_FAIL, sv_Error, e_failed, "second line");
  EXPECT_FALSE(TraceSave());
  const std::string err = testing::internal::GetCapturedStderr();
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
  struct stat st {};
  ASSERT_EQ(lstat((dir_ + "/" + TraceFileName().toStdString()).c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced";
  const std::string said = "not written: it is a symbolic link";
  EXPECT_NE(err.find(said), std::string::npos) << err;
  EXPECT_EQ(err.find(said), err.rfind(said)) << "said more than once: " << err;
  // A regular file at the path is written as before.
  ASSERT_EQ(unlink((dir_ + "/" + TraceFileName().toStdString()).c_str()), 0);
  ReportResult(&control->Core(), E_FAIL, sv_Error, e_failed, "third line");
  const QStringList lines = TraceLines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines[lines.size() - 3].endsWith("9 ERROR: third line\\par"));
  EXPECT_EQ(lines[lines.size() - 2], "}");
}

}  // namespace
