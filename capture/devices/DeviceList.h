// The process-wide device lists (video devices, audio devices, video and audio compressors):
// unique keys, rebuilds from the system device enumerator, binding an entry to a filter, and the
// index check against a list.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include <QEvent>
#include <QString>

#include "platform/com/ComPtr.h"
#include "platform/com/Guid.h"
#include "platform/com/Result.h"

class TCaptureCore;
struct IBaseFilter;
struct IFilterGraph2;
struct IMoniker;

enum TDeviceListKind {
  dk_VideoDevices = 0,
  dk_AudioDevices = 1,
  dk_VideoCompressors = 2,
  dk_AudioCompressors = 3
};

// One device of a list. Entries are never removed while the process runs, so an index once
// given keeps naming the same device.
struct TCapDeviceInfo {
  QString UniqueKey;
  QString FriendlyName;
  bool IsWDM = false;
  bool WasPresent = false;
  bool FromOtherCategory = false;
  bool Present = false;
  bool InUse = false;
  int DuplicateNumber = 1;
  GUID Category = GUID_NULL;
};

// One list of devices of a category, in index order (not sorted). Thread: UI for the list and
// its readers; Lock is held while the list enumerates; binding may run on the worker thread in
// thread mode, and touches only InUse of its own entry.
class TDevices {
 public:
  TDevices(int kind, const QString& listName, REFGUID category, int enumFlags,
           const QString& exclusionList, bool appendDriverSuffix, TDevices* linkedList);

  // Enumerates the category and updates the entries: known keys become present again, new
  // devices are appended, devices not found are marked absent.
  void Rebuild();
  // All display names, each followed by CR LF.
  QString Text() const;
  int Count() const { return static_cast<int>(entries_.size()); }
  // The display name; empty for an index out of range.
  QString NameAt(int index) const;
  // The entry at index, or nullptr.
  TCapDeviceInfo* InfoAt(int index);
  const TCapDeviceInfo* InfoAt(int index) const;
  bool MarkPresent(const QString& key);
  int NextDuplicateNumber(const QString& friendlyName) const;
  // The device's key in the registry; empty for an index out of range.
  QString RegistryKey(int index) const;
  // Index of the first entry whose display name equals name (letter case ignored), or -1.
  int IndexOfName(const QString& name) const;

  // Adds the device at *index to graph (the binding of a list entry to a capture filter). An
  // index out of range becomes 0 (in the caller's variable too) with an error; exclusive use
  // fails for an entry already in use and marks it otherwise; usageLog reports "using ...".
  // S_OK with *filter set, or a failure code.
  HRESULT Bind(TCaptureCore* core, int* index, IFilterGraph2* graph, bool exclusive, bool usageLog,
               const QString& inputName, const QString& filterName, IBaseFilter** filter);
  // Finds the present moniker of the entry at index again, by its unique key.
  ComPtr<IMoniker> FindMoniker(int index) const;
  void ReleaseInUse(int index);

  const int Kind;
  const QString ListName;
  const GUID Category;
  const QString VfwCaptureClsid;
  const bool AppendDriverSuffix;
  const QString ExclusionList;
  const int EnumFlags;
  TDevices* const LinkedList;

 private:
  struct Entry {
    QString displayName;
    TCapDeviceInfo info;
  };
  QString DisplayName(const TCapDeviceInfo& info) const;
  void Append(const TCapDeviceInfo& info, bool fromOtherCategory, REFGUID category);
  void ReorderCompressors();

  std::mutex lock_;
  std::vector<Entry> entries_;
  bool rebuildLinked_ = false;
};

// The key that identifies a device across runs and plugging: the moniker's display name and the
// friendly name joined, keeping only letters, digits, space, '-', '{' and '}'.
QString DeviceUniqueKey(const QString& displayName, const QString& friendlyName);

enum TDeviceListsState { dl_NotCreated = 0, dl_BeingCreated = 1, dl_Created = 2 };
TDeviceListsState DeviceListsState();
// Creates the four lists once per process (each with its first rebuild, raising no events) and
// registers GraphNotifyMessage.
void CreateDeviceLists();
void FreeDeviceLists();
// nullptr before the lists are created.
TDevices* DeviceList(TDeviceListKind kind);

// The graph's notification message, registered once per process with the lists.
QEvent::Type GraphNotifyMessage();
// Its registered name: "WMNW" and the tick count at registration.
QString GraphNotifyMessageName();

// Checks index against list under a device word; reports "no <word> available" (INFO) for an
// empty list and "index of <word> out of range" (ERROR) for an index not below the count. A
// negative index passes. True when a report was made (the caller stops).
bool CheckDeviceIndex(TCaptureCore* core, const TDevices& list, int index, const QString& word);

// Names of the video capture devices in index order, each followed by CR LF; creates the lists
// when no component has yet.
QString VideoDeviceNames();
int VideoDeviceCount();
