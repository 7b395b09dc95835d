// Tests of the control's displays with a scripted camera on two offscreen screens: the twin rule
// and the change handlers, layout after a resize, the second display, full screen on a monitor,
// and the mouse events of the display forms.
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include "platform/media/virtual/ScriptedDevices.h"
#include "tests/capture/TestSupport.h"

namespace {

VirtualDeviceConfig Camera() {
  VirtualDeviceConfig c;
  c.friendlyName = u"Cam";
  VideoCapability cap;
  cap.subtype = MEDIASUBTYPE_RGB24;
  cap.width = 320;
  cap.height = 240;
  cap.framesPerSecond = 30;
  c.capabilities = {cap};
  return c;
}

struct Mouse {
  std::vector<QString> calls;
  void Down(TObject*, int display, TMouseButton, TShiftState, int x, int y) {
    calls.push_back(QString("down %1 %2 %3").arg(display).arg(x).arg(y));
  }
};

class DisplayTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
    ScriptedDevices::Instance()->Clear();
    ASSERT_EQ(ScriptedDevices::Instance()->Add(Camera()), S_OK);
    control_ = MakeControl();
    parent_->show();
  }
  void TearDown() override {
    control_.reset();
    ScriptedDevices::Instance()->Clear();
    CaptureTest::TearDown();
  }
  TCaptureControl& Start() {
    EXPECT_TRUE(control_->StartPreview());
    return *control_;
  }
  // Where the renderer's window sits in the form of record index.
  QRect VideoIn(int record = 0) {
    QWidget* form = control_->Core().DisplayForm(record);
    QWidget* video = form ? form->findChild<QWidget*>(QStringLiteral("VideoRenderer")) : nullptr;
    return video ? video->geometry() : QRect();
  }
  int Border() { return control_->width() - control_->contentsRect().width(); }
  std::unique_ptr<TCaptureControl> control_;
};

}  // namespace

// Catches: turning Embedded, FullScreen or the video port on in one display leaving it on in
// the other, so both claim the control or the screen.
TEST_F(DisplayTest, TwinRuleTurnsTheSettingOffInTheOtherDisplay) {
  TCaptureControl& c = *control_;
  c.SetDualDisplay_Embedded(true);
  EXPECT_FALSE(c.Display_Embedded());
  c.SetDisplay_Embedded(true);
  EXPECT_FALSE(c.DualDisplay_Embedded());
  c.SetDisplay_FullScreen(true);
  c.SetDualDisplay_FullScreen(true);
  EXPECT_FALSE(c.Display_FullScreen());
  c.SetDualDisplay_VideoPortEnabled(false);
  c.SetDualDisplay_VideoPortEnabled(true);
  EXPECT_FALSE(c.Display_VideoPortEnabled());
  c.SetDisplay_Embedded(false);
  EXPECT_FALSE(c.DualDisplay_Embedded()) << "turning off leaves the twin alone";
}

// Catches: display settings that only store their value while previewing: the aspect ratio,
// the zoom (and zoom values below 1), the border, and the display turned off and on again.
TEST_F(DisplayTest, SettingsChangeTheRunningDisplay) {
  TCaptureControl& c = Start();
  ASSERT_EQ(c.contentsRect().size(), QSize(320, 240));
  c.SetDisplay_AutoSize(false);
  c.resize(400 + Border(), 240 + Border());
  EXPECT_EQ(VideoIn(), QRect(40, 0, 320, 240)) << "a resize lays the picture out again";
  c.SetDisplay_KeepAspectRatio(false);
  EXPECT_EQ(VideoIn(), QRect(0, 0, 400, 240));
  c.SetDisplay_AutoSize(true);
  c.SetPreviewZoomSize(50);
  EXPECT_EQ(c.contentsRect().size(), QSize(160, 120));
  c.SetPreviewZoomSize(0);
  EXPECT_EQ(c.PreviewZoomSize(), 50);
  c.SetPreviewZoomSize(100);
  c.SetBorderStyle(bsNone);
  EXPECT_EQ(c.size(), QSize(320, 240));
  EXPECT_EQ(c.Core().DisplayForm()->geometry(), QRect(0, 0, 320, 240));
  c.SetDisplay_Active(false);
  EXPECT_FALSE(c.Core().DisplayForm()->isVisible());
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing) << "the graph still runs";
  c.SetDisplay_Active(true);
  EXPECT_TRUE(c.Core().DisplayForm()->isVisible());
}

// Catches: a control that keeps the size the last graph gave it (a rotated picture) when the
// display is laid out again while idle, instead of the selected size.
TEST_F(DisplayTest, IdleLayoutTakesTheSelectedSizeAfresh) {
  TCaptureControl& c = *control_;
  c.SetVideoProcessing_Rotation(rt_90_deg);
  Start();
  ASSERT_EQ(c.contentsRect().size(), QSize(240, 320));
  c.StopPreview();
  c.SetDisplay_KeepAspectRatio(false);
  EXPECT_EQ(c.contentsRect().size(), QSize(320, 240));
  EXPECT_EQ(c.VideoWidth(), 320);
}

// Catches: AutoSize resizing a control that something else sizes: anchors to both opposite
// edges, or a layout of its parent (the client-filling alignment).
TEST_F(DisplayTest, AutoSizeLeavesAControlSizedByAnchorsOrLayout) {
  TCaptureControl& c = *control_;
  Start();
  c.StopPreview();
  struct Case {
    const char* anchors;
    bool inLayout;
    bool resized;
  };
  for (const Case& k : {Case{"left,top", false, true}, Case{"left, right", false, false},
                        Case{"top,bottom", false, false}, Case{"", true, false}}) {
    SCOPED_TRACE(std::string(k.anchors) + (k.inLayout ? " in a layout" : ""));
    c.setProperty("anchors", QString::fromLatin1(k.anchors));
    auto* layout = k.inLayout ? new QHBoxLayout(parent_.get()) : nullptr;
    if (layout) layout->addWidget(&c);
    c.resize(500, 300);
    c.SetPreviewZoomSize(50);
    EXPECT_EQ(c.size(), k.resized ? QSize(160 + Border(), 120 + Border()) : QSize(500, 300));
    c.SetPreviewZoomSize(100);
    delete layout;
  }
}

// Catches: a second display that gets no renderer, or is placed without regard to its monitor;
// full screen that ignores the monitor or has no fallback for a monitor without screen.
TEST_F(DisplayTest, SecondDisplayAndFullScreenOnTheirMonitors) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2) << "run with the two-screen offscreen configuration";
  const QRect right = screens[1]->geometry();
  TCaptureControl& c = Start();
  c.SetDualDisplay_Monitor(1);
  c.SetDualDisplay_Active(true);
  ASSERT_NE(c.Core().DisplayForm(1), nullptr);
  QWidget* second = c.Core().DisplayForm(1);
  EXPECT_TRUE(second->isVisible());
  EXPECT_TRUE(second->isWindow());
  EXPECT_EQ(second->geometry(), QRect(right.topLeft() + QPoint(400, 10), QSize(320, 240)));
  EXPECT_TRUE(c.Core().DisplayForm()->isVisible()) << "the first display keeps its picture";

  c.SetDualDisplay_FullScreen(true);
  EXPECT_EQ(second->geometry(), right);
  EXPECT_EQ(VideoIn(1), VideoRectangle(right.size(), 320, 240, true));
  c.SetDualDisplay_Monitor(5);
  EXPECT_EQ(second->geometry(), QRect(QPoint(0, 0), screens[0]->size()));
}

// Catches: mouse positions handed out in form pixels, or for points outside the picture, with
// TranslateMouseCoordinates on; events without the display's number.
TEST_F(DisplayTest, MouseEventsCarryTheDisplayAndVideoPixels) {
  TCaptureControl& c = Start();
  Mouse mouse;
  c.OnMouseDown = {&mouse, &Mouse::Down};
  c.SetPreviewZoomSize(200);
  c.SetTranslateMouseCoordinates(true);
  QWidget* form = c.Core().DisplayForm();
  QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(100, 60));
  c.SetDisplay_AutoSize(false);
  c.resize(800 + Border(), 700 + Border());
  QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(100, 10));  // in the bar above the picture
  c.SetTranslateMouseCoordinates(false);
  QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(100, 10));
  EXPECT_EQ(mouse.calls, (std::vector<QString>{"down 0 50 30", "down 0 100 10"}));
}

// Catches: a floating display that does not follow the mouse, or forgets where it was left.
TEST_F(DisplayTest, MouseMovesAFloatingDisplay) {
  TCaptureControl& c = Start();
  c.SetDualDisplay_Active(true);
  c.SetDisplay_Active(false);
  QWidget* form = c.Core().DisplayForm(0);
  ASSERT_TRUE(form->isWindow()) << "the display renderer now serves the floating second display";
  const QPoint start = form->geometry().topLeft();
  auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent e(type, local, form->mapToGlobal(local), Qt::LeftButton, buttons, {});
    QCoreApplication::sendEvent(form, &e);
  };
  send(QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
  send(QEvent::MouseMove, QPoint(35, 25), Qt::LeftButton);
  send(QEvent::MouseButtonRelease, QPoint(5, 5), {});
  EXPECT_EQ(form->geometry().topLeft(), start + QPoint(30, 20));
  EXPECT_EQ(c.DualDisplay_Left(), 430);
  EXPECT_EQ(c.DualDisplay_Top(), 30);
}

// Catches: a logo that ignores its layout while no graph runs: stretched over the client area,
// centred on the background colour, or tiled from the top-left corner.
TEST_F(DisplayTest, LogoFollowsItsLayoutWhileIdle) {
  TCaptureControl& c = *control_;
  QImage logo(10, 10, QImage::Format_RGB32);
  logo.fill(Qt::red);
  c.SetLogo(logo);
  c.SetBackgroundColor(0);
  c.SetLogoDisplayed(true);
  const QRect area = c.contentsRect();
  ASSERT_GT(area.width(), 40);
  struct Case {
    TLogoLayout layout;
    QPoint at;
    bool red;
  };
  const Case cases[] = {{lg_Stretched, area.topLeft() + QPoint(1, 1), true},
                        {lg_Centered, area.topLeft() + QPoint(1, 1), false},
                        {lg_Centered, area.center(), true},
                        {lg_Repeated, area.topLeft() + QPoint(1, 1), true},
                        {lg_Repeated, area.topLeft() + QPoint(31, 21), true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.layout));
    c.SetLogoLayout(k.layout);
    const QImage shot = c.grab().toImage();
    EXPECT_EQ(shot.pixel(k.at) == qRgb(255, 0, 0), k.red);
  }
}
