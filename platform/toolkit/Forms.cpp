#include "platform/toolkit/Forms.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QUiLoader>
#include <QWindow>

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Screen.h"

namespace {

std::map<QString, TControlCreator>& ControlClasses() {
  static std::map<QString, TControlCreator> classes{
      {QStringLiteral("TImage"), [](QWidget* parent) { return new TImage(parent); }},
      {QStringLiteral("TUpDown"), [](QWidget* parent) { return new TUpDown(parent); }},
      {QStringLiteral("TLabel"), [](QWidget* parent) { return new TLabel(parent); }},
  };
  return classes;
}

// Builds the description's top-level widget as the existing form and project controls through
// their registered creators; remembers the loadable ones in creation order.
class TFormLoader : public QUiLoader {
 public:
  explicit TFormLoader(TForm* root) : TFormLoader(root, WithoutDesignerPlugins()) {}

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    if (!parent && !rootTaken_) {
      rootTaken_ = true;
      root_->setObjectName(name);
      return root_;
    }
    auto it = ControlClasses().find(className);
    if (className == QLatin1String("QMenuBar")) {
      // A menu bar asks the style for its overflow button's icon when it is constructed, and
      // reading that picture loads every image format plug-in to ask whether it reads PNG: the
      // built-in reader answers alone while no library paths are set, and the plug-ins are
      // loaded when a picture first needs them.
      const QStringList saved = QCoreApplication::libraryPaths();
      QCoreApplication::setLibraryPaths({});
      QWidget* menuBar = QUiLoader::createWidget(className, parent, name);
      QCoreApplication::setLibraryPaths(saved);
      return menuBar;
    }
    if (it == ControlClasses().end()) return QUiLoader::createWidget(className, parent, name);
    QWidget* widget = it->second(parent);
    widget->setObjectName(name);
    if (auto* loadable = dynamic_cast<TLoadable*>(widget)) {
      loadable->SetLoading(true);
      loadables_.emplace_back(widget);
    }
    return widget;
  }

  void FinishLoading() {
    for (auto& widget : loadables_)
      if (widget) dynamic_cast<TLoadable*>(widget.data())->Loaded();
  }

 private:
  // The descriptions use only Qt's own widgets and the registered controls, so no Designer
  // plug-ins are looked for: QUiLoader loads every one found under the library paths when it is
  // constructed, and the system's ones pull in whole libraries (Qt Quick) at start-up. The paths
  // are emptied only while the base is constructed, on the UI thread, and put back at once.
  struct TNoLibraryPaths {
    QStringList saved = QCoreApplication::libraryPaths();
  };
  static TNoLibraryPaths WithoutDesignerPlugins() {
    TNoLibraryPaths paths;
    QCoreApplication::setLibraryPaths({});
    return paths;
  }
  TFormLoader(TForm* root, TNoLibraryPaths paths) : root_(root) {
    QCoreApplication::setLibraryPaths(paths.saved);
    clearPluginPaths();
  }

  TForm* root_;
  bool rootTaken_ = false;
  std::vector<QPointer<QWidget>> loadables_;
};

struct AnchorInfo {
  bool left, top, right, bottom;
  QRect design;
  QSize parentDesign;
};

// Repositions a parent's anchored children when the parent changes size.
class AnchorFilter : public QObject {
 public:
  explicit AnchorFilter(QWidget* parent) : QObject(parent) {}
  void Add(QWidget* child, AnchorInfo info) { children_.push_back({child, info}); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) Apply(static_cast<QWidget*>(watched)->size());
    return false;
  }

  void Apply(QSize size) {
    for (auto& [child, a] : children_) {
      if (!child) continue;
      const int dw = size.width() - a.parentDesign.width();
      const int dh = size.height() - a.parentDesign.height();
      // A size the control gave itself since (a self-sizing label) is kept where the anchors
      // do not stretch it.
      QRect r(a.design.topLeft(), QSize(a.right && a.left ? a.design.width() : child->width(),
                                        a.top && a.bottom ? a.design.height() : child->height()));
      if (a.right && a.left)
        r.setWidth(r.width() + dw);
      else if (a.right)
        r.moveLeft(r.left() + dw);
      if (a.bottom && a.top)
        r.setHeight(r.height() + dh);
      else if (a.bottom)
        r.moveTop(r.top() + dh);
      child->setGeometry(r);
    }
  }

 private:
  std::vector<std::pair<QPointer<QWidget>, AnchorInfo>> children_;
};

}  // namespace

void RegisterControlClass(const QString& className, TControlCreator creator) {
  ControlClasses()[className] = std::move(creator);
}

void InstallAnchors(QWidget* root) {
  std::map<QWidget*, AnchorFilter*> filters;
  for (QWidget* child : root->findChildren<QWidget*>()) {
    const QVariant anchors = child->property("anchors");
    if (!anchors.isValid() || !child->parentWidget()) continue;
    const QStringList edges = anchors.toString().toLower().split(',', Qt::SkipEmptyParts);
    AnchorInfo info{edges.contains("left"),   edges.contains("top"), edges.contains("right"),
                    edges.contains("bottom"), child->geometry(),     child->parentWidget()->size()};
    QWidget* parent = child->parentWidget();
    auto& filter = filters[parent];
    if (!filter) {
      filter = new AnchorFilter(parent);
      parent->installEventFilter(filter);
    }
    filter->Add(child, info);
  }
}

TForm::TForm(QWidget* parent) : QMainWindow(parent) {}
TForm::~TForm() = default;

void TForm::SetClientWidth(int width) {
  clientWidth_ = width;
  ApplyClientSize();
}

void TForm::SetClientHeight(int height) {
  clientHeight_ = height;
  ApplyClientSize();
}

void TForm::SetMinClientWidth(int width) {
  minClientWidth_ = width;
  ApplyClientSize();
}

void TForm::SetMinClientHeight(int height) {
  minClientHeight_ = height;
  ApplyClientSize();
}

void TForm::ApplyClientSize() {
  if (QWidget* client = centralWidget()) client->resize(clientWidth_, clientHeight_);
  const int menuHeight = menuWidget() ? menuWidget()->sizeHint().height() : 0;
  const QSize size(clientWidth_, clientHeight_ + menuHeight);
  if (fixedBorder_) {
    setFixedSize(size);
  } else {
    if (minClientWidth_ > 0 || minClientHeight_ > 0)
      setMinimumSize(minClientWidth_, minClientHeight_ > 0 ? minClientHeight_ + menuHeight : 0);
    resize(size);
  }
}

void TForm::keyPressEvent(QKeyEvent* event) {
  // As a dialog does: keys its controls leave unused reach the form.
  if (fixedBorder_ && event->modifiers() == Qt::NoModifier) {
    if (event->key() == Qt::Key_Escape) {
      close();
      return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      PressDefaultButton();
      return;
    }
  }
  QMainWindow::keyPressEvent(event);
}

void TForm::PressDefaultButton() {
  if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused && focused->isVisible()) {
    focused->click();
    return;
  }
  for (QPushButton* button : findChildren<QPushButton*>())
    if (button->isDefault() && button->isVisible() && button->isEnabled()) {
      button->click();
      return;
    }
}

void TForm::LoadDescription(const QString& name) {
  QFile file(QStringLiteral(":/forms/%1.ui").arg(name));
  if (!file.open(QIODevice::ReadOnly))
    throw EFormError(("window description not found: " + name).toStdString());
  TFormLoader loader(this);
  QWidget* root = loader.load(&file, nullptr);
  if (root != this)
    throw EFormError(
        ("bad window description " + name + ": " + loader.errorString()).toStdString());
  Qt::WindowFlags flags = (fixedBorder_ ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  if (!fixedBorder_) flags |= Qt::WindowMinimizeButtonHint;
  if (!fixedBorder_ && maximizeButton_) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  ApplyClientSize();
  loader.FinishLoading();
  FitToScreen();
  InstallAnchors(this);
}

void TForm::FitToScreen() {
  QWidget* client = centralWidget();
  if (!client || clientWidth_ <= 0 || clientHeight_ <= 0) return;
  // The frame is not known before the window is shown: a usual title bar and border stay free.
  const QMargins frame(4, 32, 4, 4);
  const int menuHeight = menuWidget() ? menuWidget()->sizeHint().height() : 0;
  const QSize available = AvailableScreenSize();
  const double fit = std::min(
      double(available.width() - frame.left() - frame.right()) / clientWidth_,
      double(available.height() - frame.top() - frame.bottom() - menuHeight) / clientHeight_);
  // Whole percent, so a control that zooms its own content (the live picture) matches.
  const int percent = std::clamp(static_cast<int>(std::floor(100 * fit)), 25, 100);
  if (percent == 100) return;
  layoutScale_ = percent / 100.0;
  const auto scaled = [this](int value) {
    return static_cast<int>(std::lround(value * layoutScale_));
  };
  for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect r = control->geometry();
    control->setGeometry(scaled(r.x()), scaled(r.y()), scaled(r.width()), scaled(r.height()));
  }
  QFont font = client->font();
  if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * layoutScale_);
  else
    font.setPixelSize(std::max(1, scaled(font.pixelSize())));
  client->setFont(font);
  clientWidth_ = scaled(clientWidth_);
  clientHeight_ = scaled(clientHeight_);
  minClientWidth_ = scaled(minClientWidth_);
  minClientHeight_ = scaled(minClientHeight_);
  ApplyClientSize();
}

void TForm::CenterOnScreen() {
  const QSize outer = frameGeometry().size();
  move(std::max(0, (ScreenWidth() - outer.width()) / 2),
       std::max(0, (ScreenHeight() - outer.height()) / 2));
}

void TForm::showEvent(QShowEvent* event) {
  if (fixedBorder_ && windowHandle()) {
    // The owner is the main form, or else the first shown resizable form (tests have no
    // application main form).
    TForm* owner = Application() ? Application()->MainForm() : nullptr;
    if (!owner)
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TForm*>(top);
            form && form != this && !form->fixedBorder_ && form->isVisible()) {
          owner = form;
          break;
        }
    if (owner && owner != this) {
      owner->winId();
      windowHandle()->setTransientParent(owner->windowHandle());
    }
  }
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) TApplication::Guard([this] { FormShow(); });
}

void TForm::closeEvent(QCloseEvent* event) {
  TApplication::Guard([this] { FormClose(); });
  event->accept();
  emit Closed();
}
