#include "ui/About.h"

#include <QBitmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Dialogs.h"

namespace {

struct Hooks {
  Hooks() {
    SetMessageBoxHook([this](const QString& text, const QString&) {
      boxes << text;
      return int(IDOK);
    });
    SetShellHook([this](const QString& target) {
      targets << target;
      return answer;
    });
  }
  ~Hooks() {
    SetMessageBoxHook({});
    SetShellHook({});
  }
  int answer = 42;
  QStringList boxes;
  QStringList targets;
};

}  // namespace

// Catches: the description appended again at every show instead of rebuilt.
TEST(AboutTest, ShowingTwiceHoldsExactlyFiveLines) {
  TFormAbout about;
  about.show();
  about.Button1->click();
  EXPECT_FALSE(about.isVisible());
  about.show();
  const QStringList lines = about.DescriptionMemo->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0],
            QStringLiteral("Interact with your computer using no mouse and no keyboard by "
                           "simple hand waving in the air before the camera."));
  EXPECT_EQ(lines[4],
            QStringLiteral("The program requires video capture device (e.g. web camera)."));
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(about.Label1->text(), QStringLiteral("Frostwipe v.1.0"));
  EXPECT_EQ(about.Image1->Picture().Width(), 200);
  EXPECT_EQ(about.Image1->Picture().Height(), 69);
}

// Catches: shell answers of exactly 32 taken as success, or a failure not reported.
TEST(AboutTest, LinkFailureShowsItsMessage) {
  Hooks hooks;
  TFormAbout about;
  hooks.answer = 33;
  about.Label2Click();
  about.Label3Click();
  EXPECT_TRUE(hooks.boxes.isEmpty());
  hooks.answer = 32;
  about.Label2Click();
  about.Label3Click();
  EXPECT_EQ(hooks.boxes,
            (QStringList{"Unable to start web browser.", "Unable to start mail client."}));
  ASSERT_EQ(hooks.targets.size(), 4);
  EXPECT_EQ(hooks.targets[0], QString::fromLatin1(TFormAbout::WebAddress));
  EXPECT_EQ(hooks.targets[1], QStringLiteral("mailto:") + TFormAbout::MailAddress);
}

// Catches: the window-colour key not applied, or applied to areas of other colours.
TEST(AboutTest, WindowColourAreasAreSeeThrough) {
  TFormAbout about;
  about.show();
  const QRegion mask = about.mask();
  ASSERT_FALSE(mask.isEmpty());
  // The memo's background is painted in the window colour; the OK button is not.
  const QPoint memo =
      about.DescriptionMemo->mapTo(&about, QPoint(about.DescriptionMemo->width() - 30, 55));
  const QPoint button = about.Button1->mapTo(&about, QPoint(3, 3));
  EXPECT_FALSE(mask.contains(memo));
  EXPECT_TRUE(mask.contains(button));
}
