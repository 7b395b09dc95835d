// The about dialog: name and version, five lines about the game, the logo and two links.
#pragma once

#include "platform/toolkit/Forms.h"

class QPlainTextEdit;
class TLabel;
class QPushButton;
class TImage;

// Thread: UI. Created hidden at start-up and shown modeless from the main window's menu.
class TFormAbout : public TForm {
  Q_OBJECT

 public:
  TFormAbout();
  ~TFormAbout() override;

  TLabel* Label1 = nullptr;
  QPlainTextEdit* DescriptionMemo = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label5 = nullptr;
  TLabel* Label3 = nullptr;
  QPushButton* Button1 = nullptr;

  void Label2Click();
  void Label3Click();
  void Button1Click();

  static const char* const WebAddress;
  static const char* const MailAddress;

 protected:
  void FormShow() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ColourLinks();

  QObject* pressedLink_ = nullptr;  // the link the left button went down on
};

extern TFormAbout* FormAbout;
