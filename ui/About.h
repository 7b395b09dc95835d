// The about dialog: name and version, five lines about the game, the logo and two links.
#pragma once

#include "platform/toolkit/Forms.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TImage;

// Thread: UI. Created hidden at start-up and shown modeless from the main window's menu.
class TFormAbout : public TForm {
  Q_OBJECT

 public:
  TFormAbout();
  ~TFormAbout() override;

  QLabel* Label1 = nullptr;
  QPlainTextEdit* DescriptionMemo = nullptr;
  TImage* Image1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label3 = nullptr;
  QPushButton* Button1 = nullptr;

  void Label2Click();
  void Label3Click();
  void Button1Click();

  static const char* const WebAddress;
  static const char* const MailAddress;

 protected:
  void FormShow() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyColorKey();
};

extern TFormAbout* FormAbout;
