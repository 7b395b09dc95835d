#include "ui/About.h"

#include <QBitmap>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/Screen.h"

TFormAbout* FormAbout = nullptr;

const char* const TFormAbout::WebAddress = "https://frostwipe.example.org/";
const char* const TFormAbout::MailAddress = "play@frostwipe.example.org";

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
  Label1 = Control<QLabel>("Label1");
  DescriptionMemo = Control<QPlainTextEdit>("DescriptionMemo");
  Image1 = Control<TImage>("Image1");
  Label2 = Control<QLabel>("Label2");
  Label5 = Control<QLabel>("Label5");
  Label3 = Control<QLabel>("Label3");
  Button1 = Control<QPushButton>("Button1");

  Label2->setText(QString::fromLatin1(WebAddress));
  Label3->setText(QString::fromLatin1(MailAddress));
  for (QLabel* link : {Label2, Label3}) {
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
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == Label2) TApplication::Guard([this] { Label2Click(); });
    if (watched == Label3) TApplication::Guard([this] { Label3Click(); });
  }
  return TForm::eventFilter(watched, event);
}

void TFormAbout::FormShow() {
  CenterOnScreen();
  DescriptionMemo->clear();
  for (const char* line : kDescription) DescriptionMemo->appendPlainText(QString::fromLatin1(line));
  ApplyColorKey();
}

void TFormAbout::ApplyColorKey() {
  // Whatever the dialog paints in exactly the window colour is see-through: a window mask of
  // every other pixel stands in for the colour key.
  setMask(QRegion());
  const QImage picture = grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb key = ToQColor(clWindow).rgb();
  QImage opaque(picture.size(), QImage::Format_MonoLSB);
  opaque.fill(0);
  for (int y = 0; y < picture.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < picture.width(); ++x)
      if ((row[x] | 0xFF000000u) != (key | 0xFF000000u)) opaque.setPixel(x, y, 1);
  }
  setMask(QBitmap::fromImage(opaque));
}

void TFormAbout::Label2Click() {
  if (ShellExecuteOpen(QString::fromLatin1(WebAddress)) <= 32)
    MessageBox(QStringLiteral("Unable to start web browser."));
}

void TFormAbout::Label3Click() {
  if (ShellExecuteOpen(QStringLiteral("mailto:") + QString::fromLatin1(MailAddress)) <= 32)
    MessageBox(QStringLiteral("Unable to start mail client."));
}

void TFormAbout::Button1Click() { Close(); }
