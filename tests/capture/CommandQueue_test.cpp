// Tests of the command queue, the event queue and its dispatcher.
#include "capture/core/CommandQueue.h"

#include "TestSupport.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/SyncManager.h"

namespace {

using CommandQueueTest = CaptureTest;

// Catches: a synchronous event queued instead of raised inside the call that causes it.
TEST_F(CommandQueueTest, SynchronousEventIsRaisedInsideTheCall) {
  auto control = MakeControl();
  Recorder rec;
  control->OnInactive = {&rec, &Recorder::Inactive};
  control->SetEventNotificationSynchrone(true);
  PretendPreviewRuns(control->Core());
  control->StopPreview();
  EXPECT_EQ(rec.calls, std::vector<QString>{"Inactive"})
      << "not raised before StopPreview returned";
  EXPECT_EQ(control->Core().Queue.EventCount(), 0);
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Idle);
}

// Catches: a queued event raised inside the call, or lost instead of raised by the next pass.
TEST_F(CommandQueueTest, QueuedEventWaitsForTheWorkerPass) {
  auto control = MakeControl();
  Recorder rec;
  control->OnInactive = {&rec, &Recorder::Inactive};
  PretendPreviewRuns(control->Core());
  control->StopPreview();
  EXPECT_TRUE(rec.calls.empty());
  control->Core().WorkerPass(true);
  EXPECT_EQ(rec.calls, std::vector<QString>{"Inactive"});
}

// Catches: a queued event still called after its handler was cleared or replaced.
TEST_F(CommandQueueTest, QueuedEventWhoseHandlerWasClearedIsDropped) {
  auto control = MakeControl();
  Recorder rec, other;
  control->OnInactive = {&rec, &Recorder::Inactive};
  PretendPreviewRuns(control->Core());
  control->StopPreview();
  control->OnInactive = {};
  control->Core().WorkerPass(true);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(control->Core().Queue.EventCount(), 0) << "the record was not released";
  control->OnInactive = {&rec, &Recorder::Inactive};
  PretendPreviewRuns(control->Core());
  control->StopPreview();
  control->OnInactive = {&other, &Recorder::Inactive};
  control->Core().WorkerPass(true);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_TRUE(other.calls.empty()) << "a replaced handler received the old record";
}

// Catches: two events sharing one handler dispatched by posting instead of the fixed order.
TEST_F(CommandQueueTest, EventsSharingOneHandlerResolveByOrder) {
  auto control = MakeControl();
  Recorder rec;
  const TEventNotification shared{&rec, &Recorder::Shared};
  control->OnInactive = shared;
  control->OnPreviewStarted = shared;
  control->OnDeviceLost = shared;
  TCaptureCore& core = control->Core();
  // Posted as OnInactive, but OnPreviewStarted comes first in the order, then OnDeviceLost: the
  // record is taken as OnPreviewStarted, which needs the window (EventReady).
  core.PostEvent(control->OnInactive);
  core.WorkerPass(true);
  EXPECT_EQ(rec.calls, std::vector<QString>{"Shared"});
  // Without a window the first match (OnPreviewStarted, EventReady) fails its test and no other
  // field is tried, although OnDeviceLost (EventAssigned) would pass.
  rec.calls.clear();
  auto orphan = std::make_unique<TCaptureControl>(nullptr);
  orphan->DestroyHandle();
  orphan->OnPreviewStarted = shared;
  orphan->OnDeviceLost = shared;
  orphan->Core().PostEvent(orphan->OnDeviceLost);
  orphan->Core().WorkerPass(true);
  EXPECT_TRUE(rec.calls.empty());
  // With OnPreviewStarted pointing elsewhere, the record is OnDeviceLost's, whose test needs no
  // window.
  Recorder other;
  orphan->OnPreviewStarted = {&other, &Recorder::PreviewStarted};
  orphan->Core().PostEvent(orphan->OnDeviceLost);
  orphan->Core().WorkerPass(true);
  EXPECT_EQ(rec.calls, std::vector<QString>{"Shared"});
  EXPECT_TRUE(other.calls.empty());
}

// Catches: commands and events still queued at destruction being run instead of released.
TEST_F(CommandQueueTest, CommandsStillQueuedAtDestructionNeverRun) {
  auto control = MakeControl();
  Recorder rec;
  control->OnDeviceLost = {&rec, &Recorder::DeviceLost};
  control->SetEventNotificationSynchrone(true);
  TCaptureCore& core = control->Core();
  core.QueueCommand(cmd_DeviceLost);
  core.QueueCommand(cmd_DeviceLost);
  control->SetEventNotificationSynchrone(false);
  core.PostEvent(control->OnDeviceLost);
  // What the destructor does once the worker has ended.
  core.Queue.ReleaseAll();
  EXPECT_EQ(core.Queue.CommandCount(), 0);
  EXPECT_EQ(core.Queue.EventCount(), 0);
  core.WorkerPass(true);
  core.WorkerPass(true);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_FALSE(core.PreviewWanted) << "a released device-lost command ran";
  // And a control destroyed with work queued in thread mode ends its worker first (the
  // sanitizer builds catch a pass touching released lists).
  for (int i = 0; i < 20; ++i) {
    auto busy = MakeControl();
    busy->SetNotificationSleepTime(1);
    busy->SetNotificationMethod(nm_Thread);
    for (int k = 0; k < 50; ++k) busy->Core().QueueCommand(cmd_Notifications);
  }
}

// Catches: codes 5 and above queued instead of run at once, and 0..4 run at once.
TEST_F(CommandQueueTest, LowCodesQueueHighCodesRunAtOnce) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  PretendPreviewRuns(core);
  core.QueueCommand(cmd_DeviceLost);
  EXPECT_EQ(core.CaptureState.load(), cs_Previewing);
  EXPECT_EQ(core.Queue.CommandCount(), 1);
  core.QueueCommand(cmd_Stop);
  EXPECT_EQ(core.CaptureState.load(), cs_Idle);
  EXPECT_EQ(core.Queue.CommandCount(), 1);
}

// Catches: a lost device not taking the documented path: graph message, command 4, command 0,
// then OnInactive and OnDeviceLost on successive passes.
TEST_F(CommandQueueTest, DeviceLostGoesThroughTheFlagsAndCommands) {
  auto control = MakeControl();
  Recorder rec;
  control->OnInactive = {&rec, &Recorder::Inactive};
  control->OnDeviceLost = {&rec, &Recorder::DeviceLost};
  TCaptureCore& core = control->Core();
  PretendPreviewRuns(core);
  core.HandleGraphEvent(EC_DEVICE_LOST, 0);
  EXPECT_TRUE(core.NotifyDeviceLost.load());
  core.WorkerPass(true);  // command 4
  EXPECT_FALSE(core.NotifyDeviceLost.load());
  EXPECT_EQ(core.CaptureState.load(), cs_Previewing);
  core.WorkerPass(true);  // command 0: stop, OnInactive and OnDeviceLost posted
  EXPECT_EQ(core.CaptureState.load(), cs_Idle);
  EXPECT_TRUE(core.PreviewWanted);
  EXPECT_TRUE(rec.calls.empty());
  core.WorkerPass(true);
  core.WorkerPass(true);
  EXPECT_EQ(rec.calls, (std::vector<QString>{"Inactive", "DeviceLost"}));
  // A device-lost message while no graph runs is ignored.
  core.HandleGraphEvent(EC_DEVICE_LOST, 0);
  EXPECT_FALSE(core.NotifyDeviceLost.load());
}

// Catches: events posted during process shutdown (no manager) still queued or raised.
TEST_F(CommandQueueTest, EventPostedWithoutManagerIsDropped) {
  auto control = MakeControl();
  Recorder rec;
  control->OnInactive = {&rec, &Recorder::Inactive};
  control->SetEventNotificationSynchrone(true);
  FinalizeCaptureUnit();
  control->Core().PostEvent(control->OnInactive);
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(control->Core().Queue.EventCount(), 0);
}

// Catches: a TCSList walk skipping items added during the walk or miscounting removals.
TEST(CSListTest, WalkSeesItemsAddedBehindTheCursor) {
  TCSList<int> list;
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  int cursor = 0;
  EXPECT_EQ(list.WalkFirst(cursor), &a);
  list.Add(&c);
  EXPECT_EQ(list.WalkNext(cursor), &b);
  EXPECT_EQ(list.WalkNext(cursor), &c);
  EXPECT_EQ(list.WalkNext(cursor), nullptr);
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(list.Remove(&b), 1);
  EXPECT_EQ(list.Remove(&b), -1);
  EXPECT_EQ(list.Count(), 2);
  TCSList<int> empty;
  EXPECT_EQ(empty.WalkFirst(cursor), nullptr);
  EXPECT_EQ(cursor, 0);
}

}  // namespace
