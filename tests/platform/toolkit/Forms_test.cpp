#include "platform/toolkit/Forms.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>

#include <gtest/gtest.h>

#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Screen.h"

namespace {

// A project control that records the order in which the loader talks to it.
class RecordingControl : public QWidget, public TLoadable {
  Q_OBJECT
  Q_PROPERTY(int First READ First WRITE SetFirst)
  Q_PROPERTY(int Second READ Second WRITE SetSecond)

 public:
  using QWidget::QWidget;
  int First() const { return 0; }
  int Second() const { return 0; }
  void SetFirst(int v) {
    log << QStringLiteral("First=%1%2").arg(v).arg(Loading() ? " loading" : "");
  }
  void SetSecond(int v) {
    log << QStringLiteral("Second=%1%2").arg(v).arg(Loading() ? " loading" : "");
  }
  void Loaded() override {
    TLoadable::Loaded();
    log << QStringLiteral("Loaded");
  }
  QStringList log;
};

class AnchorForm : public TForm {
 public:
  explicit AnchorForm(bool labelsFittedWhenShown = false) {
    if (labelsFittedWhenShown) FitLabelsWhenShown();
    LoadDescription(QStringLiteral("AnchorTest"));
  }
  template <class T>
  T* Get(const char* name) {
    return Control<T>(name);
  }
};

const bool registered = [] {
  RegisterControlClass(QStringLiteral("RecordingControl"),
                       [](QWidget* parent) { return new RecordingControl(parent); });
  return true;
}();

}  // namespace

// Catches: stored properties written out of file order, outside the loading mark, or Loaded
// running before all of them were written.
TEST(FormsTest, LoaderWritesPropertiesInOrderThenCallsLoaded) {
  ASSERT_TRUE(registered);
  AnchorForm form;
  auto* recorder = form.Get<RecordingControl>("Recorder");
  EXPECT_EQ(recorder->log, (QStringList{"First=1 loading", "Second=2 loading", "Loaded"}));
  EXPECT_FALSE(recorder->Loading());
  EXPECT_THROW(form.Get<QLabel>("NoSuchControl"), EFormError);
}

// Catches: anchored controls not following the edges they are anchored to on resize.
TEST(FormsTest, AnchoredControlsKeepTheirDistanceToTheirEdges) {
  AnchorForm form;
  EXPECT_EQ(form.centralWidget()->size(), QSize(200, 100));
  form.show();
  form.resize(form.width() + 60, form.height() + 30);
  QApplication::processEvents();
  ASSERT_EQ(form.centralWidget()->size(), QSize(260, 130));
  EXPECT_EQ(form.Get<QLabel>("Fixed")->geometry(), QRect(10, 10, 20, 10));
  EXPECT_EQ(form.Get<QLabel>("LeftBottom")->geometry(), QRect(10, 110, 20, 10));
  EXPECT_EQ(form.Get<QLabel>("RightBottom")->geometry(), QRect(230, 110, 20, 10));
  EXPECT_EQ(form.Get<QLabel>("Stretched")->geometry(), QRect(10, 40, 240, 10));
}

// Catches: a self-sizing label left at its designed size when its form is shown, fitted before
// the form is shown by a form that fits its labels when shown, or set back to its designed size
// when an anchor moves it.
TEST(FormsTest, SelfSizingLabelsKeepTheirFitWhenAnchorsMoveThem) {
  for (bool whenShown : {false, true}) {
    SCOPED_TRACE(whenShown ? "fitted when shown" : "fitted when loaded");
    AnchorForm form(whenShown);
    auto* label = form.Get<TLabel>("Fitted");
    const QSize fitted = label->sizeHint().expandedTo(QSize(1, 10));
    ASSERT_GT(fitted.width(), 20);
    EXPECT_EQ(label->size(), whenShown ? QSize(20, 10) : fitted);
    form.show();
    EXPECT_EQ(label->size(), fitted);
    form.resize(form.width() + 60, form.height() + 30);
    QApplication::processEvents();
    EXPECT_EQ(label->geometry(), QRect(QPoint(40, 90), fitted));
  }
}

// Catches: centring that rounds instead of truncating toward zero, or puts a window larger
// than the screen at a negative position, with its title bar out of reach.
TEST(FormsTest, CentringTruncatesTowardZeroAndNeverGoesNegative) {
  AnchorForm form;
  form.resize(201, 101);
  const QSize outer = form.frameGeometry().size();
  SetScreenSizeOverride(QSize(1024, 768));
  form.CenterOnScreen();
  EXPECT_EQ(form.frameGeometry().topLeft(),
            QPoint((1024 - outer.width()) / 2, (768 - outer.height()) / 2));
  SetScreenSizeOverride(QSize(outer.width() - 5, outer.height() - 3));
  form.CenterOnScreen();
  EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(0, 0));
  SetScreenSizeOverride(std::nullopt);
}

#include "Forms_test.moc"

// Catches: loading a window description loading plug-ins it does not need (the system's Designer
// plug-ins, and with them whole libraries such as Qt Quick; every image format plug-in, for the
// menu bar's overflow icon), or leaving the library paths changed afterwards.
TEST(FormsTest, LoadingADescriptionLoadsNoPlugins) {
  const QStringList paths = QCoreApplication::libraryPaths();
  const auto loaded = [] {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
  };
  const QByteArray before = loaded();
  ASSERT_FALSE(before.isEmpty());
  AnchorForm form;
  EXPECT_EQ(QCoreApplication::libraryPaths(), paths);
  const QByteArray after = loaded();
  int checked = 0;
  for (const char* kind : {"designer", "imageformats"}) {
    SCOPED_TRACE(kind);
    bool installed = false;
    for (const QString& path : paths)
      installed = installed || !QDir(path + '/' + kind).isEmpty(QDir::Files);
    const QByteArray dir = QByteArray("/") + kind + '/';
    if (!installed || before.contains(dir)) continue;
    ++checked;
    EXPECT_FALSE(after.contains(dir));
  }
  if (checked == 0) GTEST_SKIP() << "no plug-ins installed that were not loaded already";
}
