#include "capture/devices/DeviceList.h"

#include <array>
#include <memory>

#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/Registry2.h"
#include "platform/com/ComApi.h"
#include "platform/com/Variant.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/Guids.h"
#include "platform/toolkit/Screen.h"

namespace {

TDeviceListsState g_state = dl_NotCreated;
std::array<std::unique_ptr<TDevices>, 4> g_lists;
QEvent::Type g_graphNotify = QEvent::None;
QString g_graphNotifyName;

QString ClsidText(REFCLSID clsid) {
  LPOLESTR text = nullptr;
  if (FAILED(StringFromCLSID(clsid, &text)) || !text) return {};
  const QString result = QString::fromUtf16(text);
  CoTaskMemFree(text);
  return result;
}

QString MonikerDisplayName(IMoniker* moniker) {
  LPOLESTR name = nullptr;
  if (FAILED(moniker->GetDisplayName(nullptr, nullptr, &name)) || !name) return {};
  const QString result = QString::fromUtf16(name);
  CoTaskMemFree(name);
  return result;
}

// Reads a string property of the bag; false when it is missing or not a string.
bool ReadBagString(IPropertyBag* bag, const char16_t* name, QString* value) {
  VARIANT v;
  VariantInit(&v);
  const bool ok = SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal;
  if (ok) *value = QString::fromUtf16(v.bstrVal, SysStringLen(v.bstrVal));
  VariantClear(&v);
  return ok;
}

// The monikers of a category, or nullptr (enumerator not created, or an empty category).
ComPtr<IEnumMoniker> EnumerateCategory(REFGUID category, int flags) {
  ComPtr<ICreateDevEnum> devEnum;
  const bool created =
      TraceCreateInstance(CLSID_SystemDeviceEnum, IID_ICreateDevEnum,
                          devEnum.ReleaseAndGetVoidAddress(), QStringLiteral("SystemDeviceEnum"));
  if (!created || !devEnum) return {};
  ComPtr<IEnumMoniker> monikers;
  if (devEnum->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(),
                                     static_cast<DWORD>(flags)) != S_OK)
    return {};
  return monikers;
}

// The moniker's names and key; false for a moniker without property bag or friendly name.
bool ReadMoniker(IMoniker* moniker, QString* key, QString* friendlyName,
                 ComPtr<IPropertyBag>* bag) {
  const QString displayName = MonikerDisplayName(moniker);
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    bag->ReleaseAndGetVoidAddress())) ||
      !*bag)
    return false;
  if (!ReadBagString(bag->Get(), u"FriendlyName", friendlyName)) return false;
  *key = DeviceUniqueKey(displayName, *friendlyName);
  return true;
}

}  // namespace

QString DeviceUniqueKey(const QString& displayName, const QString& friendlyName) {
  QString key;
  const QString joined = displayName + friendlyName;
  key.reserve(joined.size());
  for (QChar c : joined) {
    const char16_t u = c.unicode();
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == ' ' ||
        u == '-' || u == '{' || u == '}')
      key += c;
  }
  return key;
}

TDevices::TDevices(int kind, const QString& listName, REFGUID category, int enumFlags,
                   const QString& exclusionList, bool appendDriverSuffix, TDevices* linkedList)
    : Kind(kind),
      ListName(listName),
      Category(category),
      VfwCaptureClsid(ClsidText(CLSID_VfwCapture)),
      AppendDriverSuffix(appendDriverSuffix),
      ExclusionList(exclusionList),
      EnumFlags(enumFlags),
      LinkedList(linkedList) {
  Rebuild();
}

QString TDevices::DisplayName(const TCapDeviceInfo& info) const {
  QString name = info.FriendlyName;
  if (info.DuplicateNumber > 1)
    name += QStringLiteral(" #") + QString::number(info.DuplicateNumber);
  if (AppendDriverSuffix) name += info.IsWDM ? QStringLiteral(" (WDM)") : QStringLiteral(" (vfw)");
  return name;
}

void TDevices::Append(const TCapDeviceInfo& info, bool fromOtherCategory, REFGUID category) {
  Entry entry{DisplayName(info), info};
  entry.info.FromOtherCategory = fromOtherCategory;
  entry.info.Category = category;
  TraceWrite({}, kMarkDefault,
             QStringLiteral("l= ") + QString::number(Count()) + QStringLiteral(", adding ") +
                 entry.displayName);
  entries_.push_back(std::move(entry));
}

void TDevices::Rebuild() {
  TraceWrite({}, kMarkDefault, QStringLiteral("rebuilding ") + ListName);
  for (Entry& e : entries_) {
    if (e.info.FromOtherCategory) continue;
    e.info.WasPresent = e.info.Present;
    e.info.Present = false;
  }
  const QStringList exclusions = ExclusionList.split(QLatin1Char('!'), Qt::SkipEmptyParts);
  {
    std::lock_guard lock(lock_);
    ComPtr<IEnumMoniker> monikers = EnumerateCategory(Category, EnumFlags);
    if (monikers) {
      monikers->Reset();
      ComPtr<IMoniker> moniker;
      while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker) {
        QString key, friendlyName;
        ComPtr<IPropertyBag> bag;
        if (!ReadMoniker(moniker.Get(), &key, &friendlyName, &bag)) continue;
        const QString upper = friendlyName.toUpper();
        bool excluded = false;
        for (const QString& token : exclusions) excluded = excluded || upper.contains(token);
        if (excluded || MarkPresent(key)) continue;
        TCapDeviceInfo info;
        info.UniqueKey = key;
        info.FriendlyName = friendlyName;
        QString clsid;
        // A device whose class cannot be read counts as not WDM.
        info.IsWDM = ReadBagString(bag.Get(), u"CLSID", &clsid) &&
                     clsid.compare(VfwCaptureClsid, Qt::CaseInsensitive) != 0;
        info.Present = true;
        info.DuplicateNumber = NextDuplicateNumber(friendlyName);
        if (LinkedList && DisplayName(info).toUpper().contains(QLatin1String("AUDIO"))) {
          info.DuplicateNumber = LinkedList->NextDuplicateNumber(friendlyName);
          LinkedList->Append(info, true, Category);
          rebuildLinked_ = true;
        } else {
          Append(info, false, Category);
        }
      }
    }
    if (Kind == dk_VideoCompressors || Kind == dk_AudioCompressors) ReorderCompressors();
  }
  if (rebuildLinked_ && LinkedList) {
    rebuildLinked_ = false;
    LinkedList->Rebuild();
  }
  TraceWrite({}, kMarkDefault, QStringLiteral("rebuilded ") + ListName);
}

void TDevices::ReorderCompressors() {
  // Preferred codecs move to the front by exchanging places, in this order.
  const QStringList video = {QStringLiteral("MPEG-4"), QStringLiteral("MPEG"),
                             QStringLiteral("DIVX"), QStringLiteral("XVID"),
                             QStringLiteral("MJPEG")};
  const QStringList audio = {QStringLiteral("Windows Media Audio V2"), QStringLiteral("PCM"),
                             QStringLiteral("MPEG")};
  int front = 0;
  for (const QString& word : Kind == dk_VideoCompressors ? video : audio) {
    for (int i = front; i < Count(); ++i) {
      const QString& name = entries_[static_cast<std::size_t>(i)].displayName;
      if (!name.contains(word, Qt::CaseInsensitive)) continue;
      if (word == QLatin1String("PCM") &&
          name.contains(QLatin1String("ADPCM"), Qt::CaseInsensitive))
        continue;
      std::swap(entries_[static_cast<std::size_t>(i)], entries_[static_cast<std::size_t>(front)]);
      ++front;
      break;
    }
  }
}

QString TDevices::Text() const {
  QString text;
  for (const Entry& e : entries_) text += e.displayName + QStringLiteral("\r\n");
  return text;
}

QString TDevices::NameAt(int index) const {
  return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)].displayName
                                       : QString();
}

TCapDeviceInfo* TDevices::InfoAt(int index) {
  return index >= 0 && index < Count() ? &entries_[static_cast<std::size_t>(index)].info : nullptr;
}

const TCapDeviceInfo* TDevices::InfoAt(int index) const {
  return index >= 0 && index < Count() ? &entries_[static_cast<std::size_t>(index)].info : nullptr;
}

bool TDevices::MarkPresent(const QString& key) {
  for (Entry& e : entries_) {
    if (e.info.UniqueKey == key) {
      e.info.Present = true;
      return true;
    }
  }
  return false;
}

int TDevices::NextDuplicateNumber(const QString& friendlyName) const {
  int largest = 0;
  for (const Entry& e : entries_)
    if (e.info.FriendlyName == friendlyName) largest = std::max(largest, e.info.DuplicateNumber);
  return largest + 1;
}

QString TDevices::RegistryKey(int index) const {
  const TCapDeviceInfo* info = InfoAt(index);
  return info ? RegistryBasePath() + QStringLiteral("Devices\\") + info->UniqueKey : QString();
}

int TDevices::IndexOfName(const QString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (entries_[static_cast<std::size_t>(i)].displayName.compare(name, Qt::CaseInsensitive) == 0)
      return i;
  return -1;
}

ComPtr<IMoniker> TDevices::FindMoniker(int index) const {
  const TCapDeviceInfo* info = InfoAt(index);
  if (!info) return {};
  ComPtr<IEnumMoniker> monikers = EnumerateCategory(info->Category, EnumFlags);
  if (!monikers) return {};
  monikers->Reset();
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK && moniker) {
    QString key, friendlyName;
    ComPtr<IPropertyBag> bag;
    if (ReadMoniker(moniker.Get(), &key, &friendlyName, &bag) && key == info->UniqueKey)
      return moniker;
  }
  return {};
}

HRESULT TDevices::Bind(TCaptureCore* core, int* index, IFilterGraph2* graph, bool exclusive,
                       bool usageLog, const QString& inputName, const QString& filterName,
                       IBaseFilter** filter) {
  if (*index == -1) {
    ReportIf(core, true, sv_Warning, e_index_out_of_range,
             ListName + QStringLiteral(" not selected!"));
    return E_FAIL;
  }
  if (Count() == 0) return E_FAIL;
  if (*index < 0 || *index >= Count()) {
    *index = 0;
    ReportIf(core, true, sv_Error, e_index_out_of_range,
             ListName + QStringLiteral(" index out of range, index 0 used instead"));
  }
  TCapDeviceInfo& info = *InfoAt(*index);
  const QString name = NameAt(*index);
  if (exclusive && info.InUse) {
    ReportIf(core, true, sv_Error, e_device_in_use_in_another_graph,
             name + QStringLiteral(" is already in use"));
    return E_FAIL;
  }
  if (usageLog) {
    const QString text = inputName.isEmpty()
                             ? QStringLiteral("using ") + ListName + QStringLiteral(": ") + name
                             : QStringLiteral("using ") + ListName + QStringLiteral(":\r\n") +
                                   name + QStringLiteral("\r\non input ") + inputName;
    ReportIf(core, true, sv_Info, i_binding_device_or_compressor, text);
  }
  ComPtr<IMoniker> moniker = FindMoniker(*index);
  if (!moniker) return VFW_E_NOT_FOUND;
  const QString fname =
      filterName.isEmpty() ? QString::number(*index) + QLatin1Char(' ') + name : filterName;
  const std::u16string wname = fname.toStdU16String();
  const HRESULT hr =
      graph->AddSourceFilterForMoniker(moniker.Get(), nullptr, wname.c_str(), filter);
  if (FAILED(hr)) {
    ReportResult(core, hr, sv_Error, e_bind_moniker_to_filter,
                 QStringLiteral("bind ") + name + QStringLiteral(" device moniker to filter"));
    return hr;
  }
  if (exclusive) info.InUse = true;
  return S_OK;
}

void TDevices::ReleaseInUse(int index) {
  if (TCapDeviceInfo* info = InfoAt(index)) info->InUse = false;
}

TDeviceListsState DeviceListsState() {
  return g_state;
}

void CreateDeviceLists() {
  if (g_state != dl_NotCreated) return;
  g_state = dl_BeingCreated;
  // The lists may be asked for before any control exists, on a thread that has not initialised
  // component objects: without this every enumerator creation fails and the lists, built only
  // once, stay empty.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  g_graphNotifyName = QStringLiteral("WMNW") + QString::number(GetTickCount());
  g_graphNotify = static_cast<QEvent::Type>(QEvent::registerEventType());
  // The audio list first: the video list hands it devices named as audio devices.
  g_lists[dk_AudioDevices] =
      std::make_unique<TDevices>(1, QStringLiteral("audio device"), CLSID_AudioInputDeviceCategory,
                                 0, QString(), true, nullptr);
  g_lists[dk_VideoDevices] =
      std::make_unique<TDevices>(0, QStringLiteral("video device"), CLSID_VideoInputDeviceCategory,
                                 0, QString(), true, g_lists[dk_AudioDevices].get());
  g_lists[dk_VideoCompressors] = std::make_unique<TDevices>(
      2, QStringLiteral("video compressor"), CLSID_VideoCompressorCategory, 0,
      QStringLiteral("ENCODER DMO!XLDECOMPRESS"), false, nullptr);
  g_lists[dk_AudioCompressors] = std::make_unique<TDevices>(
      3, QStringLiteral("audio compressor"), CLSID_AudioCompressorCategory, 0,
      QStringLiteral("ENCODER DMO"), false, nullptr);
  if (com) CoUninitialize();
  g_state = dl_Created;
}

void FreeDeviceLists() {
  // The video list links to the audio list: it goes first.
  for (TDeviceListKind kind :
       {dk_VideoDevices, dk_AudioDevices, dk_VideoCompressors, dk_AudioCompressors})
    g_lists[kind].reset();
  g_state = dl_NotCreated;
}

TDevices* DeviceList(TDeviceListKind kind) {
  return g_lists[static_cast<std::size_t>(kind)].get();
}

QEvent::Type GraphNotifyMessage() {
  return g_graphNotify;
}
QString GraphNotifyMessageName() {
  return g_graphNotifyName;
}

bool CheckDeviceIndex(TCaptureCore* core, const TDevices& list, int index, const QString& word) {
  if (ReportIf(core, list.Count() == 0, sv_Info, e_no_device_available,
               QStringLiteral("no ") + word + QStringLiteral(" available")))
    return true;
  return ReportIf(core, index >= list.Count(), sv_Error, e_index_out_of_range,
                  QStringLiteral("index of ") + word + QStringLiteral(" out of range"));
}

QString VideoDeviceNames() {
  CreateDeviceLists();
  return DeviceList(dk_VideoDevices)->Text();
}

int VideoDeviceCount() {
  TDevices* list = DeviceList(dk_VideoDevices);
  return list ? list->Count() : 0;
}
