#include "capture/core/CommandQueue.h"

#include <memory>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"

TCommandQueue::~TCommandQueue() {
  ReleaseAll();
}

void TCommandQueue::AddCommand(std::uint32_t code) {
  CommandList.Add(new std::uint32_t(code));
}

void TCommandQueue::AddEvent(const TEventRecord& record) {
  EventList.Add(new TEventRecord(record));
}

bool TCommandQueue::RunOneCommand(TCaptureCore& core) {
  if (commandRunning_) return false;
  commandRunning_ = true;
  std::unique_ptr<std::uint32_t> cell(CommandList.TakeFirst());
  if (cell) core.RunCommand(*cell);
  commandRunning_ = false;
  return cell != nullptr;
}

bool TCommandQueue::DispatchOneEvent() {
  if (EventList.Count() == 0) return false;  // read without the lock
  std::unique_ptr<TEventRecord> record(EventList.TakeFirst());
  if (!record) return false;
  DispatchEvent(*record);
  return true;
}

void TCommandQueue::ReleaseAll() {
  for (std::uint32_t* cell : CommandList.TakeAll()) delete cell;
  for (TEventRecord* record : EventList.TakeAll()) delete record;
}

namespace {

enum class TTest { Ready, Assigned };

// Tries one handler field: true when it is the record's event (whether or not it was called).
template <class H, class... Args>
bool Try(const TEventRecord& record, TCaptureControl& control, const H& field, TTest test,
         Args&&... args) {
  if (!(THandlerId::Of(field) == record.Code)) return false;
  const bool pass = test == TTest::Ready ? control.EventReady(field) : control.EventAssigned(field);
  if (pass) field(&control, std::forward<Args>(args)...);
  return true;
}

}  // namespace

void DispatchEvent(const TEventRecord& record) {
  if (!record.Core || !record.Core->Owner) return;
  TCaptureCore& v = *record.Core;
  TCaptureControl& c = *v.Owner;
  constexpr TTest R = TTest::Ready;
  constexpr TTest A = TTest::Assigned;
  // Arguments are read now, not at posting time. Handler fields are copied first so that a
  // handler that reassigns its own field does not change the call in progress.
  const auto& s = v.Settings;
  const TProgressInfo progress = v.Progress;
  const TTVChannelInfo channel = v.TVChannel;
  (void)(Try(record, c, TOnFileNotification(c.OnRecordingStarted), R, s.RecordingFileName) ||
         Try(record, c, TEventNotification(c.OnPreviewStarted), R) ||
         Try(record, c, TEventNotification(c.OnDeviceLost), A) ||
         Try(record, c, TEventNotification(c.OnPlayerOpened), R) ||
         Try(record, c, TOnProgress(c.OnCopyPreallocDataProgress), R, progress) ||
         Try(record, c, TOnProgress(c.OnReencodingProgress), R, progress) ||
         Try(record, c, TOnSourceFileToDestFileStarted(c.OnReencodingStarted), R,
             s.Reencoding_SourceVideoClip, s.Reencoding_NewVideoClip) ||
         Try(record, c, TEventNotification(c.OnInactive), R) ||
         Try(record, c, TOnTVChannelSelected(c.OnTVChannelSelected), R, channel) ||
         Try(record, c, TOnTVChannelScanStarted(c.OnTVChannelScanStarted), R, v.TVScanMin,
             v.TVScanMax) ||
         Try(record, c, TOnRecordingCompleted(c.OnRecordingCompleted), R, s.RecordingFileName,
             v.LastOperationSucceeded) ||
         Try(record, c, TOnSourceFileToDestFileCompleted(c.OnReencodingCompleted), R,
             s.Reencoding_SourceVideoClip, s.Reencoding_NewVideoClip, v.LastOperationSucceeded) ||
         Try(record, c, TOnSourceFileToDestFileCompleted(c.OnCopyPreallocDataCompleted), R,
             s.PreallocCapFileName, s.RecordingFileName, v.LastOperationSucceeded) ||
         Try(record, c, TEventNotification(c.OnVideoDeviceSelected), A) ||
         Try(record, c, TEventNotification(c.OnAudioDeviceSelected), A) ||
         Try(record, c, TOnFileNotification(c.OnCreatePreallocFileStarted), R,
             s.PreallocCapFileName) ||
         Try(record, c, TOnCreatePreallocatedFileCompleted(c.OnCreatePreallocFileCompleted), R,
             s.PreallocCapFileName, v.LastOperationSucceeded) ||
         Try(record, c, TEventNotification(c.OnDiskFull), R) ||
         Try(record, c, TOnSourceFileToDestFileStarted(c.OnCopyPreallocDataStarted), R,
             s.PreallocCapFileName, s.RecordingFileName) ||
         Try(record, c, TEventNotification(c.OnNoVideoDevices), R) ||
         Try(record, c, TOnDirectNetworkStreamingHostUrl(c.OnDirectNetworkStreamingHostUrl), R,
             v.HostUrl, v.HostName, v.HostPort));
}
