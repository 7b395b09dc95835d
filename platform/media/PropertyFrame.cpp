#include "platform/media/PropertyFrame.h"

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include "platform/com/ComPtr.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/PropertyPages.h"

namespace {

// The name a filter gives itself (a pin: its filter's name); empty when it has none.
QString ObjectName(IUnknown* object) {
  if (ComPtr<IBaseFilter> filter = ComQuery<IBaseFilter>(object)) {
    FILTER_INFO info{};
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
      if (info.pGraph) info.pGraph->Release();
      return QString::fromUtf16(info.achName);
    }
  }
  if (ComPtr<IPin> pin = ComQuery<IPin>(object)) {
    // A pin's dialog is named after its device: players know the camera, not its pins.
    PIN_INFO info{};
    if (SUCCEEDED(pin->QueryPinInfo(&info))) {
      QString name = QString::fromUtf16(info.achName);
      if (info.pFilter) {
        name = ObjectName(info.pFilter);
        info.pFilter->Release();
      }
      return name;
    }
  }
  return QString();
}

}  // namespace

HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID, DWORD,
                               void*) {
  if ((objectCount && !objects) || (pageCount && !pages)) return E_POINTER;
  if (objectCount == 0 || pageCount == 0) return E_INVALIDARG;
  if (!qApp || QThread::currentThread() != qApp->thread()) return RPC_E_WRONG_THREAD;

  std::vector<ComPtr<IUnknown>> targets;
  for (ULONG i = 0; i < objectCount; ++i)
    if (objects[i]) targets.emplace_back(objects[i]);

  QPointer<QDialog> dialog = new QDialog(owner);
  dialog->setObjectName(kPropertyFrameObjectName);
  // Titled after the device a player knows; a caller's caption only where the object has no name.
  QString name = ObjectName(targets.empty() ? nullptr : targets.front().Get());
  if (name.isEmpty())
    name = caption && *caption ? QString::fromUtf16(caption)
                               : QCoreApplication::translate("PropertyFrame", "Device");

  auto* layout = new QVBoxLayout(dialog);
  auto* tabs = new QTabWidget(dialog);
  layout->addWidget(tabs);
  std::vector<PropertyPage*> shown;
  for (ULONG i = 0; i < pageCount; ++i) {
    PropertyPage* page = CreatePropertyPage(pages[i], tabs);
    if (!page) continue;
    if (!page->SetObjects(targets)) {
      delete page;
      continue;
    }
    tabs->addTab(page, page->Title());
    shown.push_back(page);
  }
  if (shown.empty()) {
    delete dialog.data();
    return E_FAIL;
  }
  // "<camera> — Picture" for the image and camera controls, "<camera> — Video format" for the
  // stream's format.
  const bool format = std::any_of(shown.begin(), shown.end(),
                                  [](const PropertyPage* page) { return page->IsFormatPage(); });
  dialog->setWindowTitle(
      format ? QCoreApplication::translate("PropertyFrame", "%1 — Video format").arg(name)
             : QCoreApplication::translate("PropertyFrame", "%1 — Picture").arg(name));

  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, dialog);
  layout->addWidget(buttons);
  QPushButton* apply = buttons->button(QDialogButtonBox::Apply);
  apply->setEnabled(false);
  auto refreshApply = [apply, shown] {
    bool dirty = false;
    for (PropertyPage* page : shown) dirty = dirty || page->IsDirty();
    apply->setEnabled(dirty);
  };
  for (PropertyPage* page : shown)
    QObject::connect(page, &PropertyPage::DirtyChanged, apply, refreshApply);
  // Applies every page; a page that fails is brought to the front with its message.
  auto applyAll = [tabs, shown] {
    bool ok = true;
    for (PropertyPage* page : shown)
      if (FAILED(page->Apply()) && ok) {
        ok = false;
        tabs->setCurrentWidget(page);
      }
    return ok;
  };
  QObject::connect(apply, &QPushButton::clicked, dialog, [applyAll] { applyAll(); });
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, applyAll] {
    if (applyAll()) dialog->accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

  if (owner) dialog->move(owner->mapToGlobal(QPoint(static_cast<int>(x), static_cast<int>(y))));
  const int result = dialog->exec();
  // The owner may have been destroyed while the dialog ran (and the dialog with it).
  if (dialog) {
    if (result != QDialog::Accepted)
      for (PropertyPage* page : shown) page->Revert();
    delete dialog.data();
  }
  return S_OK;
}
