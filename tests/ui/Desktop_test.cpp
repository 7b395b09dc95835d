// The windows on a desktop: opaque About text at every palette and scale, controls inside their
// windows, the minimum size, keyboard use, screen-reader names and translations.
#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include "app/Translations.h"
#include "capture/CaptureCtl.h"
#include "game/Video_capture_form.h"
#include "platform/toolkit/Bitmap.h"
#include "ui/About.h"
#include "ui/Video_settings_form.h"

namespace {

// Every visible control of a form's client area, with its rectangle in client coordinates.
std::vector<std::pair<QWidget*, QRect>> VisibleControls(TForm& form) {
  std::vector<std::pair<QWidget*, QRect>> controls;
  QWidget* client = form.centralWidget();
  for (QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child->isVisibleTo(&form)) controls.emplace_back(child, child->geometry());
  return controls;
}

void ExpectWithinAndApart(TForm& form, bool apart) {
  const QRect client = form.centralWidget()->rect();
  const auto controls = VisibleControls(form);
  for (size_t i = 0; i < controls.size(); ++i) {
    const auto& [widget, rect] = controls[i];
    EXPECT_TRUE(client.contains(rect))
        << widget->objectName().toStdString() << " outside " << form.objectName().toStdString();
    for (size_t j = i + 1; apart && j < controls.size(); ++j)
      EXPECT_FALSE(rect.intersects(controls[j].second))
          << widget->objectName().toStdString() << " overlaps "
          << controls[j].first->objectName().toStdString();
  }
}

double Luminance(const QColor& c) {
  auto channel = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
  dark.setColor(QPalette::ButtonText, Qt::white);
  dark.setColor(QPalette::Link, QColor(0, 0, 0xff));  // the default blue, unreadable here
  return dark;
}

// A pixel of the text box is its background, its text or an anti-aliased blend of the two:
// a colour on the line between them, within a small tolerance.
bool OnTextBlend(QRgb pixel, const QColor& base, const QColor& text) {
  const double d[3] = {double(text.red() - base.red()), double(text.green() - base.green()),
                       double(text.blue() - base.blue())};
  const double p[3] = {double(qRed(pixel) - base.red()), double(qGreen(pixel) - base.green()),
                       double(qBlue(pixel) - base.blue())};
  const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double t = std::clamp((p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / dd, 0.0, 1.0);
  double off = 0;
  for (int i = 0; i < 3; ++i) off = std::max(off, std::abs(p[i] - t * d[i]));
  return off <= 24;
}

class PaletteScope {
 public:
  explicit PaletteScope(const QPalette& palette) : saved_(QApplication::palette()) {
    QApplication::setPalette(palette);
  }
  ~PaletteScope() { QApplication::setPalette(saved_); }

 private:
  QPalette saved_;
};

}  // namespace

class AboutPaletteTest : public testing::TestWithParam<bool> {};

// Catches: the text box cut out of the window (a colour key or mask), so the frosty game window
// behind shows through it, most plainly on a dark palette and at scale factor 2; links left in
// a blue that does not read on a dark window colour.
TEST_P(AboutPaletteTest, TextBoxIsOpaqueAndLinksRead) {
  PaletteScope scope(GetParam() ? DarkPalette() : QApplication::style()->standardPalette());
  TVideoCaptureForm main;
  main.show();
  TFormAbout about;
  about.move(main.pos());
  about.show();
  QTest::qWait(20);
  const QWidget* box = about.DescriptionMemo->viewport();
  const QRect inside = QRect(box->mapTo(&about, QPoint(0, 0)), box->size());
  EXPECT_TRUE(about.mask().isEmpty() || about.mask().contains(inside)) << "see-through text box";

  const QImage shot = about.grab().toImage();
  const qreal scale = shot.devicePixelRatio();
  const QColor base = about.DescriptionMemo->palette().color(QPalette::Base);
  const QColor text = about.DescriptionMemo->palette().color(QPalette::Text);
  int foreign = 0;
  for (int y = int(inside.top() * scale); y < int((inside.bottom() + 1) * scale); ++y)
    for (int x = int(inside.left() * scale); x < int((inside.right() + 1) * scale); ++x)
      if (!OnTextBlend(shot.pixel(x, y), base, text)) ++foreign;
  EXPECT_EQ(foreign, 0) << "pixels in the text box that are neither its background nor its text";
  EXPECT_NE(about.DescriptionMemo->toPlainText(), QString());

  const QColor window = about.palette().color(QPalette::Window);
  for (TLabel* link : {about.Label2, about.Label3})
    EXPECT_GE(Contrast(link->palette().color(QPalette::WindowText), window), 4.5)
        << link->objectName().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Palettes, AboutPaletteTest, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

// Catches: controls placed beyond their window's client area (by the scale, the fonts or the
// anchors), and a minimum size at which the main window's controls overlap.
TEST(DesktopTest, ControlsLieWithinTheirWindowsAndApartAtTheMinimumSize) {
  TVideoCaptureForm main;
  TFormAbout about;
  TVideoSetingsForm settings;
  for (TForm* form :
       {static_cast<TForm*>(&main), static_cast<TForm*>(&about), static_cast<TForm*>(&settings)}) {
    form->show();
    ExpectWithinAndApart(*form, false);
  }
  ExpectWithinAndApart(main, true);
  main.resize(main.minimumSize());
  EXPECT_LT(main.centralWidget()->width(), 689);
  ExpectWithinAndApart(main, true);
  main.resize(main.minimumSize() - QSize(1, 1));
  EXPECT_EQ(main.size(), main.minimumSize()) << "the window went below its minimum size";
}

// Catches: a main window larger than the screen's free area (its two pictures alone need 680
// logical pixels; a 1280-pixel screen at scale factor 2 offers 640), placed off the screen, with
// a minimum size the screen cannot give, or an iced window that shows only part of its picture.
TEST(DesktopTest, MainWindowOpensFullyOnTheScreen) {
  TVideoCaptureForm main;
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  const QRect screen = main.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(main.frameGeometry()))
      << main.frameGeometry().width() << "x" << main.frameGeometry().height() << " at "
      << main.frameGeometry().x() << "," << main.frameGeometry().y() << " on " << screen.width()
      << "x" << screen.height();
  EXPECT_LE(main.minimumWidth(), screen.width());
  EXPECT_LE(main.minimumHeight(), screen.height());
  ExpectWithinAndApart(main, true);
  // A picture black but for a white band along its right edge shows the band at the iced
  // window's right edge, whatever the zoom.
  QImage banded(320, 240, QImage::Format_RGB888);
  banded.fill(Qt::black);
  for (int y = 0; y < banded.height(); ++y)
    for (int x = 300; x < banded.width(); ++x) banded.setPixel(x, y, qRgb(255, 255, 255));
  TBitmap picture;
  picture.SetImage(banded);
  main.OutputImage->Assign(picture);
  const QImage shown = main.OutputImage->grab().toImage().scaled(main.OutputImage->size());
  for (int y : {2, shown.height() / 2, shown.height() - 3})
    EXPECT_GE(qGray(shown.pixel(shown.width() - 3, y)), 250) << "row " << y;
}

// Catches: focus not starting on Start, a Tab order other than Start, "Freezing speed", "Camera
// sensitivity", picture arrows, then the iced window (keyboard brush); arrows not stepping the
// picture by keys; missing mnemonics and shortcuts; dialogs that Esc does not close, Enter does not
// confirm, or that are not transient.
TEST(DesktopTest, KeyboardReachesEveryControl) {
  TVideoCaptureForm main;
  main.show();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  EXPECT_EQ(QApplication::focusWidget(), main.StartStopButton);
  const std::vector<QWidget*> order = {main.FreezingSpeedTrackBar, main.CameraSensitivityTrackBar,
                                       main.ImageSelectUpDown, main.OutputImage,
                                       main.StartStopButton};
  for (QWidget* expected : order) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
  }
  main.ImageSelectUpDown->setFocus();
  QTest::keyClick(main.ImageSelectUpDown, Qt::Key_Right);
  EXPECT_EQ(main.PictureNumber, 2);
  QTest::keyClick(main.ImageSelectUpDown, Qt::Key_Left);
  EXPECT_EQ(main.PictureNumber, 1);
  main.FreezingSpeedTrackBar->setFocus();
  QTest::keyClick(main.FreezingSpeedTrackBar, Qt::Key_Right);
  EXPECT_EQ(main.FreezeStep, 6);

  QStringList titles;
  for (QAction* menu : main.menuBar()->actions()) titles << menu->text();
  EXPECT_EQ(titles, (QStringList{"&File", "&Options", "&Help"}));
  EXPECT_EQ(main.MenuExit->shortcut().toString(), QStringLiteral("Ctrl+Q"));
  EXPECT_EQ(main.MenuAbout->shortcut().toString(), QStringLiteral("F1"));

  TFormAbout about;
  TVideoSetingsForm settings;
  QTest::keyClick(&main, Qt::Key_F1);
  ASSERT_TRUE(about.isVisible());
  EXPECT_EQ(about.windowHandle()->transientParent(), main.windowHandle());
  about.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  QTest::keyClick(&about, Qt::Key_Escape);
  EXPECT_FALSE(about.isVisible());

  main.MenuVideoOptions->trigger();
  ASSERT_TRUE(settings.isVisible());
  EXPECT_EQ(settings.windowHandle()->transientParent(), main.windowHandle());
  settings.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
  settings.VideoDeviceComboBox->setFocus();
  QTest::keyClick(settings.VideoDeviceComboBox, Qt::Key_Return);
  EXPECT_FALSE(settings.isVisible()) << "Enter did not press OK";
}

// Catches: a control a screen reader announces without a name, the iced window without the
// cleaned share as its value. (In-process: the tree Qt hands to the AT-SPI bridge.)
TEST(DesktopTest, EveryControlHasAnAccessibleName) {
  QAccessible::setActive(true);
  TVideoCaptureForm main;
  TFormAbout about;
  TVideoSetingsForm settings;
  const std::set<QAccessible::Role> containers = {
      QAccessible::Client,    QAccessible::Window,    QAccessible::Pane,
      QAccessible::Grouping,  QAccessible::Separator, QAccessible::MenuBar,
      QAccessible::ScrollBar, QAccessible::PopupMenu, QAccessible::Dialog};
  int named = 0;
  for (TForm* form :
       {static_cast<TForm*>(&main), static_cast<TForm*>(&about), static_cast<TForm*>(&settings)}) {
    form->show();
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
      if (!node || node->state().invisible) return;
      if (!containers.count(node->role())) {
        const QObject* object = node->object();
        EXPECT_FALSE(node->text(QAccessible::Name).trimmed().isEmpty())
            << "unnamed control " << (object ? object->objectName().toStdString() : "?") << " ("
            << (object ? object->metaObject()->className() : "") << ", role " << node->role()
            << ")";
        ++named;
      }
      for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(form));
  }
  EXPECT_GE(named, 20);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(main.CaptureControl1)->text(QAccessible::Name),
            QStringLiteral("Live camera picture"));
  QAccessibleInterface* arrows = QAccessible::queryAccessibleInterface(main.ImageSelectUpDown);
  EXPECT_EQ(arrows->role(), QAccessible::SpinBox);
  EXPECT_EQ(arrows->valueInterface()->currentValue().toInt(), 1);
  QAccessibleInterface* ice = QAccessible::queryAccessibleInterface(main.OutputImage);
  ASSERT_NE(ice->valueInterface(), nullptr);
  EXPECT_EQ(ice->valueInterface()->currentValue().toDouble(), 0.0);
  EXPECT_EQ(ice->valueInterface()->maximumValue().toDouble(), 100.0);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(main.ImageSelectUpDown->Arrow(btNext))
                ->text(QAccessible::Name),
            QStringLiteral("Next picture"));
}

struct LanguageCase {
  const char* language;
  const char* sensitivity;
  const char* file;
  const char* start;
  const char* about;
};

class LanguageTest : public testing::TestWithParam<LanguageCase> {};

// Catches: texts that bypass the translation system, translations not built into the program,
// and a language without a translation giving anything but the English texts.
TEST_P(LanguageTest, CaptionsFollowTheLanguage) {
  const LanguageCase c = GetParam();
  EXPECT_EQ(InstallTranslations(QLocale(QString::fromLatin1(c.language))),
            QByteArray(c.language) != "sw");
  {
    TVideoCaptureForm main;
    TFormAbout about;
    about.show();
    EXPECT_EQ(main.CameraSensitivityLabel->text(), QString::fromUtf8(c.sensitivity));
    EXPECT_EQ(main.menuBar()->actions().value(0)->text(), QString::fromUtf8(c.file));
    EXPECT_EQ(main.StartStopButton->text(), QString::fromUtf8(c.start));
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8(c.about));
    EXPECT_EQ(about.DescriptionMemo->toPlainText().split('\n').size(), 5);
  }
  RemoveTranslations();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageTest,
    testing::Values(LanguageCase{"de", "Kamera-Empfindlichkeit", "&Datei", "Start", "Über"},
                    LanguageCase{"fr", "Sensibilité de la caméra", "&Fichier", "Démarrer",
                                 "À propos"},
                    LanguageCase{"sw", "Camera sensitivity", "&File", "Start", "About"}),
    [](const auto& info) { return std::string(info.param.language); });
