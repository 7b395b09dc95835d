#include "platform/media/PropertyFrame.h"

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

// The name a filter or pin gives itself, for the title when the caller gives none.
QString ObjectName(IUnknown* object) {
  if (ComPtr<IBaseFilter> filter = ComQuery<IBaseFilter>(object)) {
    FILTER_INFO info{};
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
      if (info.pGraph) info.pGraph->Release();
      return QString::fromUtf16(info.achName);
    }
  }
  if (ComPtr<IPin> pin = ComQuery<IPin>(object)) {
    PIN_INFO info{};
    if (SUCCEEDED(pin->QueryPinInfo(&info))) {
      if (info.pFilter) info.pFilter->Release();
      return QString::fromUtf16(info.achName);
    }
  }
  return QObject::tr("Device");
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
  const QString name = caption && *caption
                           ? QString::fromUtf16(caption)
                           : ObjectName(targets.empty() ? nullptr : targets.front().Get());
  dialog->setWindowTitle(QObject::tr("%1 Properties").arg(name));
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
