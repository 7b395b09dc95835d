#include "ui/About.h"

#include <QBitmap>
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
const char* const kDescription[] = {
    "Interact with your computer using no mouse and no keyboard by simple hand waving in the air "
    "before the camera.",
    "The goal of the game is to clean the ice from the window before the window freezes back.",
    "The game is perfect for children of small age, who still don't have skills how to use "
    "keyboard or the mouse.",
    "Improves physical coordination and provides a lot of fun.",
    "The program requires video capture device (e.g. web camera).",
};
}  // namespace

TFormAbout::TFormAbout() {
  FormAbout = this;
  AboutWindow = this;
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
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, ToQColor(clBlue));
    link->setPalette(palette);
    link->setCursor(ToCursorShape(crHandPoint));
    link->installEventFilter(this);
  }
  connect(Button1, &QPushButton::clicked, this, Handler(this, &TFormAbout::Button1Click));
}

TFormAbout::~TFormAbout() {
  if (FormAbout == this) FormAbout = nullptr;
  if (AboutWindow == this) AboutWindow = nullptr;
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
  for (const char* line : kDescription) DescriptionMemo->appendPlainText(QString::fromLatin1(line));
  DescriptionMemo->moveCursor(QTextCursor::Start);
  ApplyColorKey();
}

void TFormAbout::ApplyColorKey() {
  // Whatever the dialog paints in exactly the window colour is see-through: a window mask of
  // every other pixel stands in for the colour key.
  clearMask();
  const QImage picture = grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb key = ToQColor(clWindow).rgb();
  setMask(QBitmap::fromImage(picture.createMaskFromColor(key, Qt::MaskInColor)));
}

void TFormAbout::Label2Click() {
  if (ShellExecuteOpen(QString::fromLatin1(WebAddress)) <= 32)
    MessageBox(QStringLiteral("Unable to start web browser."));
}

void TFormAbout::Label3Click() {
  if (ShellExecuteOpen(QStringLiteral("mailto:") + QString::fromLatin1(MailAddress)) <= 32)
    MessageBox(QStringLiteral("Unable to start mail client."));
}

void TFormAbout::Button1Click() {
  Close();
}
