// The process-wide device lists (video devices, audio devices, video and audio compressors)
// and the index check against them.
#pragma once

#include <QEvent>
#include <QString>
#include <QStringList>

class TCaptureCore;

enum TDeviceListKind {
  dk_VideoDevices = 0,
  dk_AudioDevices = 1,
  dk_VideoCompressors = 2,
  dk_AudioCompressors = 3
};

// One list of devices of a category, in index order. Thread: UI.
// Filled by the media framework's device enumerator; a process without it (or without any
// device) has empty lists, which is a complete and valid state of the control.
class TDevices {
 public:
  explicit TDevices(const QString& listName) : ListName(listName) {}
  int Count() const { return static_cast<int>(Names.size()); }
  // All display names, each followed by CR LF.
  QString Text() const;
  QString NameAt(int index) const;
  void Rebuild() {}

  const QString ListName;
  QStringList Names;
};

enum TDeviceListsState { dl_NotCreated = 0, dl_BeingCreated = 1, dl_Created = 2 };
TDeviceListsState DeviceListsState();
// Creates the four lists once per process and registers GraphNotifyMessage.
void CreateDeviceLists();
void FreeDeviceLists();
// nullptr before the lists are created.
TDevices* DeviceList(TDeviceListKind kind);

// The graph's notification message, registered once per process with the lists.
QEvent::Type GraphNotifyMessage();
// Its registered name: "WMNW" and the tick count at registration.
QString GraphNotifyMessageName();

// Checks index against list under name; reports "no <name> available" (INFO) for an empty list
// and "index of <name> out of range" (ERROR) for an index not below the count. A negative index
// passes. True when a report was made (the caller stops).
bool CheckDeviceIndex(TCaptureCore* core, const TDevices& list, int index, const QString& name);

// Names of the video capture devices in index order, each followed by CR LF; creates the lists
// when no component has yet.
QString VideoDeviceNames();
int VideoDeviceCount();
