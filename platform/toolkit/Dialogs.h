// Message boxes and the shell's "open" verb, with hooks so tests can answer them.
#pragma once

#include <functional>

#include <QString>

class QWidget;

enum TMsgDlgButtons { MB_OK = 0, MB_OKCANCEL = 1, MB_YESNO = 4 };
enum TModalResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Shows a modal message box with the application title as caption; returns the button pressed.
int MessageBox(const QString& text, const QString& caption = {}, int buttons = MB_OK);
void ShowMessage(const QString& text);
// ShowMessage for a moment when no one may be there to answer: the box closes by itself after
// timeoutMs (the program is ending, say, and must not wait for ever).
void ShowMessageFor(const QString& text, int timeoutMs);

// Replaces the box with a function (tests, headless runs): it gets text and caption and returns
// the button. Passing an empty function restores the real box.
using TMessageBoxHook = std::function<int(const QString& text, const QString& caption)>;
void SetMessageBoxHook(TMessageBoxHook hook);

// Asks the desktop to open a URL ("http…", "mailto:…"). Returns a value above 32 on success and
// 32 or less on failure, as shell programs expect.
int ShellExecuteOpen(const QString& target);
using TShellHook = std::function<int(const QString& target)>;
void SetShellHook(TShellHook hook);
