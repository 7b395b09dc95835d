#include "ui/About.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

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

// Catches: a link opened by a right or middle click, or by a press that ends off the label.
TEST(AboutTest, LinksOpenOnPrimaryClickOnly) {
  Hooks hooks;
  TFormAbout about;
  about.show();
  for (TLabel* link : {about.Label2, about.Label3}) {
    const QPoint inside = link->rect().center();
    QTest::mouseClick(link, Qt::RightButton, Qt::NoModifier, inside);
    QTest::mouseClick(link, Qt::MiddleButton, Qt::NoModifier, inside);
    QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, inside);
    QTest::mouseRelease(link, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
  }
  EXPECT_TRUE(hooks.targets.isEmpty());
  QTest::mouseClick(about.Label2, Qt::LeftButton, Qt::NoModifier, about.Label2->rect().center());
  QTest::mouseClick(about.Label3, Qt::LeftButton, Qt::NoModifier, about.Label3->rect().center());
  EXPECT_EQ(hooks.targets, (QStringList{QString::fromLatin1(TFormAbout::WebAddress),
                                        QStringLiteral("mailto:") + TFormAbout::MailAddress}));
}

// Catches: a mail address wider than its label, shown cut off before the OK button.
TEST(AboutTest, MailAddressFitsBeforeTheOkButton) {
  TFormAbout about;
  about.show();
  // The label is laid out 98 pixels wide, ending well before the button.
  const int width = QFontMetrics(about.Label3->font()).horizontalAdvance(about.Label3->text());
  EXPECT_LE(width, 98) << about.Label3->text().toStdString();
  EXPECT_LE(about.Label3->geometry().right(), about.Button1->geometry().left());
  EXPECT_EQ(about.Label3->text(), QString::fromLatin1(TFormAbout::MailAddress));
}
