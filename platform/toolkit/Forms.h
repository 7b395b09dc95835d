// Forms built from stored window descriptions (Qt Designer .ui), anchors and centring.
#pragma once

#include <functional>
#include <stdexcept>

#include <QMainWindow>
#include <QString>

// A control that takes its stored settings while marked as loading and is told when all of
// them have been written (settings that act on others wait for Loaded).
class TLoadable {
 public:
  virtual ~TLoadable() = default;
  bool Loading() const { return loading_; }
  void SetLoading(bool loading) { loading_ = loading; }
  virtual void Loaded() { loading_ = false; }

 private:
  bool loading_ = false;
};

// Raised when a window description is missing or names a control the form does not have.
class EFormError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Lets the form loader build a project control by its class name in a description.
using TControlCreator = std::function<QWidget*(QWidget* parent)>;
void RegisterControlClass(const QString& className, TControlCreator creator);

// Base of the program's windows: a main window whose central widget is the client area.
// Thread: UI. Owned by the application (TApplication::CreateForm) or by a test.
class TForm : public QMainWindow {
  Q_OBJECT
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
  Q_PROPERTY(bool FixedBorder READ FixedBorder WRITE SetFixedBorder)
  Q_PROPERTY(bool MaximizeButton READ MaximizeButton WRITE SetMaximizeButton)
  Q_PROPERTY(int MinClientWidth READ MinClientWidth WRITE SetMinClientWidth)
  Q_PROPERTY(int MinClientHeight READ MinClientHeight WRITE SetMinClientHeight)

 public:
  explicit TForm(QWidget* parent = nullptr);
  ~TForm() override;

  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientWidth(int width);
  void SetClientHeight(int height);
  bool FixedBorder() const { return fixedBorder_; }
  void SetFixedBorder(bool fixed) { fixedBorder_ = fixed; }
  bool MaximizeButton() const { return maximizeButton_; }
  void SetMaximizeButton(bool shown) { maximizeButton_ = shown; }
  // The smallest client area a resizable form may be given (0: no limit).
  int MinClientWidth() const { return minClientWidth_; }
  int MinClientHeight() const { return minClientHeight_; }
  void SetMinClientWidth(int width);
  void SetMinClientHeight(int height);
  // The factor by which the window was zoomed out to fit the screen's free area: 1 when its
  // design fits, else a whole percentage below 1 (see FitToScreen).
  double LayoutScale() const { return layoutScale_; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool on) { doubleBuffered_ = on; }
  // Whether the self-sizing labels of this form measure their texts only while shown (set
  // before LoadDescription): a window made at start-up and seldom opened loads its fonts when
  // it is first opened rather than before the main window appears.
  bool LabelsFittedWhenShown() const { return labelsFittedWhenShown_; }

  // Centres the window's outer frame on the screen (integer division truncating toward zero);
  // a window larger than the screen is placed at its top-left corner, never off it.
  void CenterOnScreen();
  void Close() { close(); }

 signals:
  void Closed();

 protected:
  // Builds the controls from the description ":/forms/<name>.ui", then runs Loaded on the
  // project's controls and installs the anchors.
  void LoadDescription(const QString& name);

  // A named control of this form; throws EFormError when the description lacks it.
  template <class T>
  T* Control(const char* name) {
    T* control = findChild<T*>(QString::fromLatin1(name));
    if (!control) throw EFormError(std::string("control missing from window description: ") + name);
    return control;
  }

  void FitLabelsWhenShown() { labelsFittedWhenShown_ = true; }

  virtual void FormShow() {}
  virtual void FormClose() {}

  // A fixed-border form is a dialog: transient for the main form, Esc closes it, and Enter
  // presses the focused push button or else the default one.
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyClientSize();
  // A window whose design is larger than the screen's free area (a large scale factor on a
  // small screen) is zoomed out as a whole: client and minimum size, every control's place and
  // size, and the font shrink by one factor, so the layout and its anchors stay as designed.
  void FitToScreen();
  void PressDefaultButton();

  int clientWidth_ = 0;
  int clientHeight_ = 0;
  bool fixedBorder_ = false;
  bool maximizeButton_ = true;
  bool doubleBuffered_ = false;
  bool labelsFittedWhenShown_ = false;
  int minClientWidth_ = 0;
  int minClientHeight_ = 0;
  double layoutScale_ = 1.0;
};

// Anchors: a control with the dynamic property "anchors" ("left,bottom", "right,bottom", …)
// keeps its distance to those edges of its parent when the parent is resized. Installed by
// TForm::LoadDescription for every anchored control.
void InstallAnchors(QWidget* root);
