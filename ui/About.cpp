#include "ui/About.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/Screen.h"

TFormAbout* FormAbout = nullptr;

const char* const TFormAbout::WebAddress = "https://frostwipe.example/";
const char* const TFormAbout::MailAddress = "hi@frostwipe.test";

namespace {
// Source texts of the description, translated in the "TFormAbout" context when shown.
const char* const kDescription[] = {
    QT_TRANSLATE_NOOP("TFormAbout",
                      "Interact with your computer using no mouse and no keyboard by simple hand "
                      "waving in the air "
                      "before the camera."),
    QT_TRANSLATE_NOOP(
        "TFormAbout",
        "The goal of the game is to clean the ice from the window before the window freezes back."),
    QT_TRANSLATE_NOOP("TFormAbout",
                      "The game is perfect for children of small age, who still don't have "
                      "skills how to use keyboard or the mouse."),
    QT_TRANSLATE_NOOP("TFormAbout", "Improves physical coordination and provides a lot of fun."),
    QT_TRANSLATE_NOOP("TFormAbout", "The program requires video capture device (e.g. web camera)."),
};

// WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
}  // namespace

TFormAbout::TFormAbout() {
  FormAbout = this;
  AboutWindow = this;
  FitLabelsWhenShown();
  LoadDescription(QStringLiteral("About"));
  Label1 = Control<TLabel>("Label1");
  DescriptionMemo = Control<QPlainTextEdit>("DescriptionMemo");
  Image1 = Control<TImage>("Image1");
  Label2 = Control<TLabel>("Label2");
  Label5 = Control<TLabel>("Label5");
  Label3 = Control<TLabel>("Label3");
  Button1 = Control<QPushButton>("Button1");

  Label2->SetCaption(QUrl(QString::fromLatin1(WebAddress)).host());
  Label3->SetCaption(QString::fromLatin1(MailAddress));
  for (TLabel* link : {Label2, Label3}) {
    link->setCursor(ToCursorShape(crHandPoint));
    link->installEventFilter(this);
  }
  ColourLinks();
  Label2->setAccessibleDescription(tr("Opens the web site in the browser"));
  Label3->setAccessibleDescription(tr("Writes a mail to the maker"));
  DescriptionMemo->setAccessibleName(tr("About the game"));
  Image1->setAccessibleName(tr("Frostwipe logo"));
  connect(Button1, &QPushButton::clicked, this, Handler(this, &TFormAbout::Button1Click));
}

TFormAbout::~TFormAbout() {
  if (FormAbout == this) FormAbout = nullptr;
  if (AboutWindow == this) AboutWindow = nullptr;
}

void TFormAbout::changeEvent(QEvent* event) {
  TForm::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && Label2) ColourLinks();
}

void TFormAbout::ColourLinks() {
  // The links keep blue, in a shade that reads on the palette's window colour (dark themes
  // included): the palette's own link colour when it contrasts enough, else a light or dark blue.
  const QColor background = palette().color(QPalette::Window);
  QColor link = palette().color(QPalette::Link);
  if (ContrastRatio(link, background) < 4.5)
    link = background.lightnessF() < 0.5 ? QColor(0x99, 0xc1, 0xf1) : QColor(0x1a, 0x5f, 0xb4);
  for (TLabel* label : {Label2, Label3}) {
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, link);
    label->setPalette(colours);
  }
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
  // A link opens on a primary click only: the left button released over the label it was
  // pressed on. Right and middle clicks, and a press dragged off the label, open nothing.
  if (watched == Label2 || watched == Label3) {
    auto* label = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) pressedLink_ = label;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const bool click = mouse->button() == Qt::LeftButton && pressedLink_ == label &&
                         label->rect().contains(mouse->position().toPoint());
      if (mouse->button() == Qt::LeftButton) pressedLink_ = nullptr;
      if (click && watched == Label2) TApplication::Guard([this] { Label2Click(); });
      if (click && watched == Label3) TApplication::Guard([this] { Label3Click(); });
    }
  }
  return TForm::eventFilter(watched, event);
}

void TFormAbout::FormShow() {
  CenterOnScreen();
  DescriptionMemo->clear();
  for (const char* line : kDescription) DescriptionMemo->appendPlainText(tr(line));
  DescriptionMemo->moveCursor(QTextCursor::Start);
}

void TFormAbout::Label2Click() {
  if (ShellExecuteOpen(QString::fromLatin1(WebAddress)) <= 32)
    MessageBox(tr("Unable to start web browser."));
}

void TFormAbout::Label3Click() {
  if (ShellExecuteOpen(QStringLiteral("mailto:") + QString::fromLatin1(MailAddress)) <= 32)
    MessageBox(tr("Unable to start mail client."));
}

void TFormAbout::Button1Click() {
  Close();
}
