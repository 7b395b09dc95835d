#include "capture/DeviceList.h"

#include <array>
#include <memory>

#include "capture/Diagnostics.h"
#include "platform/toolkit/Screen.h"

namespace {

TDeviceListsState g_state = dl_NotCreated;
std::array<std::unique_ptr<TDevices>, 4> g_lists;
QEvent::Type g_graphNotify = QEvent::None;
QString g_graphNotifyName;

}  // namespace

QString TDevices::Text() const {
  QString text;
  for (const QString& name : Names) text += name + QStringLiteral("\r\n");
  return text;
}

QString TDevices::NameAt(int index) const {
  return index >= 0 && index < Count() ? Names[index] : QString();
}

TDeviceListsState DeviceListsState() {
  return g_state;
}

void CreateDeviceLists() {
  if (g_state != dl_NotCreated) return;
  g_state = dl_BeingCreated;
  g_graphNotifyName = QStringLiteral("WMNW") + QString::number(GetTickCount());
  g_graphNotify = static_cast<QEvent::Type>(QEvent::registerEventType());
  const char* names[] = {"video capture device", "audio capture device", "video compressor",
                         "audio compressor"};
  for (int i = 0; i < 4; ++i) {
    g_lists[static_cast<std::size_t>(i)] =
        std::make_unique<TDevices>(QString::fromLatin1(names[i]));
    g_lists[static_cast<std::size_t>(i)]->Rebuild();
  }
  g_state = dl_Created;
}

void FreeDeviceLists() {
  for (auto& list : g_lists) list.reset();
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

bool CheckDeviceIndex(TCaptureCore* core, const TDevices& list, int index, const QString& name) {
  if (ReportIf(core, list.Count() == 0, sv_Info, e_no_device_available,
               QStringLiteral("no ") + name + QStringLiteral(" available")))
    return true;
  return ReportIf(core, index >= list.Count(), sv_Error, e_index_out_of_range,
                  QStringLiteral("index of ") + name + QStringLiteral(" out of range"));
}

QString VideoDeviceNames() {
  CreateDeviceLists();
  return DeviceList(dk_VideoDevices)->Text();
}

int VideoDeviceCount() {
  TDevices* list = DeviceList(dk_VideoDevices);
  return list ? list->Count() : 0;
}
