// Tests of graph events: the queue, its notification window, flags and default handling.
#include <atomic>
#include <thread>

#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"
#include "platform/media/UiThread.h"

namespace {

// Drains the graph on every notification, as the capture control does.
class NotifyWindow : public QWidget {
 public:
  NotifyWindow(IMediaEventEx* events, long message) : events_(events), message_(message) {}
  std::vector<long> codes;
  int notifications = 0;
  bool offUiThread = false;
  LONG_PTR instanceData = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != static_cast<QEvent::Type>(message_)) return QWidget::event(e);
    ++notifications;
    instanceData = static_cast<GraphNotifyEvent*>(e)->InstanceData();
    if (QThread::currentThread() != qApp->thread()) offUiThread = true;
    for (long code : DrainEvents(events_)) codes.push_back(code);
    return true;
  }

 private:
  IMediaEventEx* events_;
  long message_;
};

const long kMessage = QEvent::registerEventType();

// Catches: events reaching the window out of order, off the user-interface thread, or not at all.
TEST(GraphEvents, ReachNotifyWindowInOrder) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(graph.Get());
  ComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(graph.Get());
  NotifyWindow window(events.Get(), kMessage);
  ASSERT_EQ(events->SetNotifyFlags(0), S_OK);
  ASSERT_EQ(events->SetNotifyWindow(&window, kMessage, 77), S_OK);
  // From a streaming-like thread, as filters report.
  std::thread reporter([&] {
    sink->Notify(EC_VIDEO_SIZE_CHANGED, 0, 0);
    sink->Notify(EC_DEVICE_LOST, 0, 0);
    sink->Notify(EC_ERRORABORT, E_FAIL, 0);
    sink->Notify(EC_STREAM_CONTROL_STOPPED, 0, 0);
  });
  reporter.join();
  ASSERT_TRUE(PumpUntil([&] { return window.codes.size() >= 4; }));
  EXPECT_EQ(window.codes, (std::vector<long>{EC_VIDEO_SIZE_CHANGED, EC_DEVICE_LOST, EC_ERRORABORT,
                                             EC_STREAM_CONTROL_STOPPED}));
  EXPECT_FALSE(window.offUiThread);
  EXPECT_EQ(window.instanceData, 77);
  PumpUntil([&] { return window.notifications >= 4; }, 200);
  EXPECT_EQ(window.notifications, 4);  // one notification per event
}

// Catches: GetEvent waiting with a zero timeout, or reporting "none" as anything but E_ABORT.
TEST(GraphEvents, ZeroTimeoutOnEmptyQueue) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(graph.Get());
  long code = -1;
  LONG_PTR p1 = -1, p2 = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(events->GetEvent(nullptr, &p1, &p2, 0), E_POINTER);
}

// Catches: a detached or NONOTIFY graph still posting to (or queueing for) the old window.
TEST(GraphEvents, DetachAndNoNotifyStopPosting) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(graph.Get());
  ComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(graph.Get());
  auto window = std::make_unique<NotifyWindow>(events.Get(), kMessage);
  events->SetNotifyWindow(window.get(), kMessage, 0);
  sink->Notify(EC_DEVICE_LOST, 0, 0);
  // Destroying the window before the post is handled must not touch it.
  window.reset();
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(DrainEvents(events.Get()), std::vector<long>{EC_DEVICE_LOST});

  NotifyWindow second(events.Get(), kMessage);
  events->SetNotifyWindow(&second, kMessage, 0);
  events->SetNotifyWindow(nullptr, kMessage, 0);
  sink->Notify(EC_PAUSED, 0, 0);
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(second.notifications, 0);
  EXPECT_EQ(DrainEvents(events.Get()), std::vector<long>{EC_PAUSED});

  ASSERT_EQ(events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
  long flags = 0;
  events->GetNotifyFlags(&flags);
  EXPECT_EQ(flags, AM_MEDIAEVENT_NONOTIFY);
  sink->Notify(EC_DEVICE_LOST, 0, 0);
  EXPECT_TRUE(DrainEvents(events.Get()).empty());
  EXPECT_EQ(events->SetNotifyFlags(5), E_INVALIDARG);
}

// Catches: EC_COMPLETE passed per renderer while default handling is on, or swallowed once
// cancelled.
TEST(GraphEvents, CompleteDefaultHandlingWaitsForAllRenderers) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(graph.Get());
  ComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(graph.Get());
  ComPtr<RecordingSink> r1 = MakeComObject<RecordingSink>();
  ComPtr<RecordingSink> r2 = MakeComObject<RecordingSink>();
  graph->AddFilter(r1.Get(), u"r1");
  graph->AddFilter(r2.Get(), u"r2");
  sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(r1.Get())));
  EXPECT_TRUE(DrainEvents(events.Get()).empty());
  sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(r2.Get())));
  EXPECT_EQ(DrainEvents(events.Get()), std::vector<long>{EC_COMPLETE});
  sink->Notify(EC_REPAINT, 0, 0);
  EXPECT_TRUE(DrainEvents(events.Get()).empty());

  ASSERT_EQ(events->CancelDefaultHandling(EC_REPAINT), S_OK);
  ASSERT_EQ(events->CancelDefaultHandling(EC_COMPLETE), S_OK);
  sink->Notify(EC_REPAINT, 0, 0);
  sink->Notify(EC_COMPLETE, S_OK, 1);
  EXPECT_EQ(DrainEvents(events.Get()), (std::vector<long>{EC_REPAINT, EC_COMPLETE}));
  ASSERT_EQ(events->RestoreDefaultHandling(EC_REPAINT), S_OK);
  sink->Notify(EC_REPAINT, 0, 0);
  EXPECT_TRUE(DrainEvents(events.Get()).empty());
}

// Catches: string parameters of EC_OLE_EVENT leaking (checked by AddressSanitizer).
TEST(GraphEvents, FreeEventParamsReleasesStrings) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(graph.Get());
  ComPtr<IMediaEventSink> sink = ComQuery<IMediaEventSink>(graph.Get());
  sink->Notify(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(SysAllocString(u"name")),
               reinterpret_cast<LONG_PTR>(SysAllocString(u"value")));
  long code;
  LONG_PTR p1, p2;
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<BSTR>(p2)), u"value");
  EXPECT_EQ(events->FreeEventParams(code, p1, p2), S_OK);
  // Events still queued when the graph goes are freed with it.
  sink->Notify(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(SysAllocString(u"left")), 0);
}

// Catches: the relay to the user-interface thread made by the first thread that posts (here a
// streaming thread, in a process where nothing has posted yet) and handed over inside Qt, which
// the thread sanitizer reports as a race; the work must still run on the user-interface thread.
TEST(GraphEvents, FirstPostFromAStreamingThreadRunsOnTheUiThread) {
  std::atomic<bool> ran{false}, onUiThread{false};
  std::thread streaming([&] {
    PostToUiThread([&] {
      onUiThread = QThread::currentThread() == qApp->thread();
      ran = true;
    });
  });
  // The user-interface thread keeps handling events while the streaming thread posts.
  QElapsedTimer timer;
  timer.start();
  while (!ran && timer.elapsed() < 5000) QCoreApplication::processEvents();
  streaming.join();
  ASSERT_TRUE(ran);
  EXPECT_TRUE(onUiThread);
}

}  // namespace
