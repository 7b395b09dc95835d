// Tests of the video renderer: frames shown in its window, and the window controls.
#include "platform/media/VideoRenderer.h"

#include <atomic>
#include <thread>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

namespace {

// A YUY2 source whose picture is green (BT.601: Y 145, U 54, V 34).
SourceOptions GreenSource() {
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_YUY2, 64, 48, UNITS / 30)};
  o.frameIntervalMs = 5;
  o.fill = [](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
    for (long i = 0; i + 3 < bytes; i += 4) {
      data[i] = 145;
      data[i + 1] = 54;
      data[i + 2] = 145;
      data[i + 3] = 34;
    }
  };
  return o;
}

struct RenderedGraph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<SyntheticSource> source;
  ComPtr<IBaseFilter> renderer;
  ComPtr<IVideoWindow> window;
  ComPtr<IMediaControl> control;
};

RenderedGraph Build() {
  RenderedGraph g;
  g.graph = NewGraph();
  g.source = MakeComObject<SyntheticSource>(GreenSource());
  g.graph->AddFilter(g.source.Get(), u"src");
  EXPECT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             g.renderer.ReleaseAndGetVoidAddress()),
            S_OK);
  g.graph->AddFilter(g.renderer.Get(), u"rndr");
  EXPECT_EQ(g.graph->Connect(PinOf(g.source.Get(), PINDIR_OUTPUT).Get(),
                             PinOf(g.renderer.Get(), PINDIR_INPUT).Get()),
            S_OK);
  g.window = ComQuery<IVideoWindow>(g.renderer.Get());
  g.control = ComQuery<IMediaControl>(g.graph.Get());
  return g;
}

// Catches: frames never reaching the window, drawn with wrong colours, not scaled to its size, or
// copied at the wrong place when shown at their own size.
TEST(VideoRenderer, ShowsFramesInsideOwnerOffscreen) {
  RenderedGraph g = Build();
  QWidget owner;
  owner.resize(400, 300);
  owner.show();
  ASSERT_EQ(g.window->put_AutoShow(OAFALSE), S_OK);
  ASSERT_EQ(g.window->put_Owner(&owner), S_OK);
  ASSERT_EQ(g.window->put_WindowStyle(WS_CHILD), S_OK);
  ASSERT_EQ(g.window->SetWindowPosition(10, 20, 128, 96), S_OK);
  ASSERT_EQ(g.window->put_Visible(OATRUE), S_OK);
  auto* videoWindow = owner.findChild<VideoWindow*>(QStringLiteral("VideoRenderer"));
  ASSERT_NE(videoWindow, nullptr) << "the child window is found by its class name";
  EXPECT_EQ(videoWindow->geometry(), QRect(10, 20, 128, 96));
  ASSERT_EQ(g.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return !videoWindow->CurrentFrame().isNull(); }));
  const QImage shot = owner.grab().toImage();
  const QColor inside = shot.pixelColor(10 + 64, 20 + 48);
  EXPECT_LT(inside.red(), 40);
  EXPECT_GT(inside.green(), 200);
  EXPECT_LT(inside.blue(), 40);
  EXPECT_EQ(videoWindow->CurrentFrame().size(), QSize(64, 48));
  // At the frame's own size the frame is copied straight into the window's backing store: every
  // pixel at its place, nothing beside it.
  ASSERT_EQ(g.window->SetWindowPosition(10, 20, 64, 48), S_OK);
  videoWindow->repaint();
  const QImage store = QGuiApplication::primaryScreen()->grabWindow(owner.winId()).toImage();
  const QImage frame = videoWindow->CurrentFrame();
  ASSERT_EQ(store.size(), owner.size());
  for (int y = 19; y <= 68; ++y)
    for (int x = 9; x <= 74; ++x) {
      const QRgb want = QRect(10, 20, 64, 48).contains(x, y)
                            ? frame.pixel(x - 10, y - 20)
                            : owner.palette().color(QPalette::Window).rgb();
      EXPECT_EQ(store.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }
  int drawn = 0;
  ComQuery<IQualProp>(g.renderer.Get())->get_FramesDrawn(&drawn);
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(g.control->Stop(), S_OK);
  long w = 0, h = 0;
  EXPECT_EQ(g.window->GetMinIdealImageSize(&w, &h), S_OK);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
}

// Catches: RGB samples widened to the window's 32 bits with wrong channels, rows left bottom-up,
// row padding read as pixels, or 16-bit values expanded differently from the toolkit's own.
TEST(VideoRenderer, WidensEveryRgbFormatOnceExactly) {
  struct Case {
    const char* name;
    GUID subtype;
    QImage::Format format;
  };
  const Case cases[] = {{"RGB32", MEDIASUBTYPE_RGB32, QImage::Format_RGB32},
                        {"RGB24", MEDIASUBTYPE_RGB24, QImage::Format_BGR888},
                        {"RGB565", MEDIASUBTYPE_RGB565, QImage::Format_RGB16},
                        {"RGB555", MEDIASUBTYPE_RGB555, QImage::Format_RGB555}};
  constexpr int w = 5;  // odd: 24 and 16-bit rows carry padding
  constexpr int h = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceOptions o;
    o.types = {MediaType::Video(c.subtype, w, h, UNITS / 30)};
    o.frameIntervalMs = 5;
    o.fill = [](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
      for (long i = 0; i < bytes; ++i) data[i] = static_cast<BYTE>(i * 37 + 11);
    };
    ComPtr<IGraphBuilder> graph = NewGraph();
    auto source = MakeComObject<SyntheticSource>(o);
    graph->AddFilter(source.Get(), u"src");
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               renderer.ReleaseAndGetVoidAddress()),
              S_OK);
    graph->AddFilter(renderer.Get(), u"rndr");
    ASSERT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                             PinOf(renderer.Get(), PINDIR_INPUT).Get()),
              S_OK);
    QWidget owner;
    ComPtr<IVideoWindow> videoWindow = ComQuery<IVideoWindow>(renderer.Get());
    videoWindow->put_AutoShow(OAFALSE);
    videoWindow->put_Owner(&owner);
    auto* window = owner.findChild<VideoWindow*>(QStringLiteral("VideoRenderer"));
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(ComQuery<IMediaControl>(graph.Get())->Run(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !window->CurrentFrame().isNull(); }));
    ComQuery<IMediaControl>(graph.Get())->Stop();
    // The sample as the toolkit reads it: rows padded to 4 bytes, stored bottom row first.
    const int stride = ((w * QImage::toPixelFormat(c.format).bitsPerPixel() + 31) / 32) * 4;
    std::vector<uchar> sample(static_cast<std::size_t>(stride) * h);
    for (std::size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<uchar>(i * 37 + 11);
    const QImage expected = QImage(sample.data(), w, h, stride, c.format)
                                .mirrored(false, true)
                                .convertToFormat(QImage::Format_RGB32);
    const QImage shown = window->CurrentFrame();
    ASSERT_EQ(shown.format(), QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const QRgb got = shown.pixel(x, y);
        const QRgb want = expected.pixel(x, y);
        // The fourth byte of a 32-bit sample is passed on; only the colour is compared there.
        EXPECT_EQ(got & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
      }
  }
}

// Catches: window properties not applied or not read back (owner, style, visibility, drain).
TEST(VideoRenderer, WindowControlsRoundTrip) {
  RenderedGraph g = Build();
  QWidget owner;
  long style = 0;
  g.window->get_WindowStyle(&style);
  EXPECT_NE(style & WS_OVERLAPPEDWINDOW, 0);
  g.window->put_Owner(&owner);
  g.window->put_WindowStyle(WS_CHILD);
  g.window->get_WindowStyle(&style);
  EXPECT_EQ(style, WS_CHILD);
  OAHWND got = nullptr;
  g.window->get_Owner(&got);
  EXPECT_EQ(got, &owner);
  long visible = OATRUE;
  g.window->put_Visible(OAFALSE);
  g.window->get_Visible(&visible);
  EXPECT_EQ(visible, OAFALSE);
  long autoShow = OATRUE;
  ComPtr<IVideoWindow> graphWindow = ComQuery<IVideoWindow>(g.graph.Get());
  ASSERT_EQ(graphWindow->put_AutoShow(OAFALSE), S_OK) << "the graph forwards to its renderer";
  g.window->get_AutoShow(&autoShow);
  EXPECT_EQ(autoShow, OAFALSE);
  EXPECT_EQ(g.window->SetWindowPosition(0, 0, -1, 10), E_INVALIDARG);
  DWORD switches = 0;
  ComPtr<IDirectDrawVideo> dd = ComQuery<IDirectDrawVideo>(g.renderer.Get());
  ASSERT_TRUE(dd);
  dd->SetSwitches(AMDDS_RGBOFF);
  dd->GetSwitches(&switches);
  EXPECT_EQ(switches, AMDDS_RGBOFF);

  // Mouse input on the video goes to the message drain.
  struct Drain : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent*) override { ++presses; }
  } drain;
  g.window->put_MessageDrain(&drain);
  auto* videoWindow = owner.findChild<VideoWindow*>(QStringLiteral("VideoRenderer"));
  ASSERT_NE(videoWindow, nullptr);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5),
                    videoWindow->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(videoWindow, &press);
  EXPECT_EQ(drain.presses, 1);
}

// Catches: an owner destroyed before the renderer leaving the renderer with a dangling window.
TEST(VideoRenderer, OwnerDestroyedFirst) {
  RenderedGraph g = Build();
  {
    QWidget owner;
    g.window->put_Owner(&owner);
    g.window->put_WindowStyle(WS_CHILD);
    ASSERT_EQ(g.control->Run(), S_OK);
    PumpUntil([&] { return g.source->Stream()->DeliveredCount() > 2; });
  }
  // The stream goes on into a renderer without a window; calls answer instead of crashing.
  PumpUntil([] { return false; }, 30);
  long visible = 0;
  EXPECT_EQ(g.window->get_Visible(&visible), E_UNEXPECTED);
  EXPECT_EQ(g.control->Stop(), S_OK);
}

// Counts graph notifications and notes the thread they arrive on.
class NotifyCounter : public QWidget {
 public:
  explicit NotifyCounter(long message) : message_(message) {}
  std::atomic<int> notifications{0};
  std::atomic<bool> offUiThread{false};

 protected:
  bool event(QEvent* e) override {
    if (e->type() != static_cast<QEvent::Type>(message_)) return QWidget::event(e);
    if (QThread::currentThread() != qApp->thread()) offUiThread = true;
    ++notifications;
    return true;
  }

 private:
  long message_;
};

// Catches: a graph with a video renderer that cannot be built, run, stopped or released on a
// worker thread (renderer refused, widget made on the worker), or whose notifications never
// reach the window given to SetNotifyWindow because the relay lives on the worker.
TEST(VideoRenderer, GraphBuiltOnWorkerThread) {
  const long message = QEvent::registerEventType();
  QWidget owner;
  owner.resize(200, 150);
  owner.show();
  NotifyCounter notifyWindow(message);
  std::atomic<bool> done{false};
  std::atomic<bool> streaming{false};
  HRESULT created = E_FAIL, run = E_FAIL, stop = E_FAIL, placed = E_FAIL;
  std::thread worker([&] {
    CoInitialize(nullptr);
    {
      ComPtr<IGraphBuilder> graph = NewGraph();
      ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(GreenSource());
      graph->AddFilter(source.Get(), u"src");
      ComPtr<IBaseFilter> renderer;
      created = CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IBaseFilter, renderer.ReleaseAndGetVoidAddress());
      if (SUCCEEDED(created)) {
        graph->AddFilter(renderer.Get(), u"rndr");
        graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                       PinOf(renderer.Get(), PINDIR_INPUT).Get());
        ComQuery<IMediaEventEx>(graph.Get())->SetNotifyWindow(&notifyWindow, message, 0);
        ComPtr<IVideoWindow> window = ComQuery<IVideoWindow>(renderer.Get());
        window->put_Owner(&owner);
        window->put_WindowStyle(WS_CHILD);
        placed = window->SetWindowPosition(0, 0, 64, 48);
        ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
        run = control->Run();
        streaming = true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (source->Stream()->DeliveredCount() < 10 && std::chrono::steady_clock::now() < end)
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stop = control->Stop();
      }
    }
    CoUninitialize();
    done = true;
  });
  // The user-interface thread keeps pumping; meanwhile the renderer's window is a child of the
  // owner, lives on this thread and shows frames.
  bool shownOnUiThread = false;
  PumpUntil(
      [&] {
        if (streaming && !shownOnUiThread) {
          auto* child = owner.findChild<VideoWindow*>(QStringLiteral("VideoRenderer"));
          shownOnUiThread =
              child && child->thread() == qApp->thread() && !child->CurrentFrame().isNull();
        }
        return done.load();
      },
      15000);
  worker.join();
  EXPECT_EQ(created, S_OK);
  EXPECT_EQ(placed, S_OK);
  EXPECT_EQ(run, S_OK);
  EXPECT_EQ(stop, S_OK);
  EXPECT_TRUE(shownOnUiThread);
  EXPECT_TRUE(PumpUntil([&] { return notifyWindow.notifications > 0; }))
      << "no notification reached the window";
  EXPECT_FALSE(notifyWindow.offUiThread);
  EXPECT_TRUE(PumpUntil([&] { return !owner.findChild<VideoWindow*>(); }))
      << "the released renderer left its window behind";
}

// Catches: the first picture's size never announced to the application.
TEST(VideoRenderer, AnnouncesVideoSize) {
  RenderedGraph g = Build();
  g.window->put_AutoShow(OAFALSE);
  ComPtr<IMediaEventEx> events = ComQuery<IMediaEventEx>(g.graph.Get());
  ASSERT_EQ(g.control->Run(), S_OK);
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 2000), S_OK);
  EXPECT_EQ(code, EC_VIDEO_SIZE_CHANGED);
  EXPECT_EQ(p1 & 0xFFFF, 64);
  EXPECT_EQ((p1 >> 16) & 0xFFFF, 48);
  g.control->Stop();
}

}  // namespace
