#include "platform/media/SourceFilter.h"

#include <exception>
#include <new>
#include <pthread.h>

#include <QString>

#include "platform/media/ControlInterfaces.h"
#include "platform/media/MediaLog.h"

namespace {
thread_local bool tStreamingThread = false;
}  // namespace

SourceStream::SourceStream(FilterBase* filter, std::u16string name)
    : OutputPin(filter, std::move(name)) {}

SourceStream::~SourceStream() {
  Inactive();
}

bool SourceStream::OnStreamingThread() {
  return tStreamingThread;
}

HRESULT SourceStream::Active() {
  if (thread_.joinable()) return S_OK;
  // An unconnected source pin has nobody to push to: it stays idle.
  if (!IsConnected()) return S_OK;
  stopRequested_.store(false, std::memory_order_release);
  delivered_.store(0, std::memory_order_relaxed);
  skipped_.store(0, std::memory_order_relaxed);
  try {
    thread_ = std::thread([this] { ThreadMain(); });
  } catch (const std::system_error&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void SourceStream::Inactive() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(wakeMutex_);
      stopRequested_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    OnStopRequested();
    CancelBufferWait();  // the thread may wait for a sample that downstream still holds
    thread_.join();
  }
  OutputPin::Inactive();
}

void SourceStream::Wake() {
  { std::lock_guard lock(wakeMutex_); }
  wake_.notify_all();
}

bool SourceStream::WaitFor(std::chrono::nanoseconds duration) {
  std::unique_lock lock(wakeMutex_);
  wake_.wait_for(lock, duration, [this] { return StopRequested(); });
  return !StopRequested();
}

bool SourceStream::WaitUntilRunning() {
  std::unique_lock lock(wakeMutex_);
  wake_.wait(lock, [this] { return StopRequested() || filter_->State() == State_Running; });
  return !StopRequested();
}

void SourceStream::ThreadMain() {
  tStreamingThread = true;
  // Thread names are limited to 15 characters; the filter name identifies the stream.
  const QString name = QStringLiteral("src:") + QString::fromStdU16String(filter_->Name());
  pthread_setname_np(pthread_self(), name.left(15).toUtf8().constData());
  // An exception leaving this thread would end the process: a frame too large to allocate (or
  // any other failure a hook throws) ends the stream with EC_ERRORABORT, like a failure code.
  bool started = false;
  try {
    Stream(name, &started);
    return;
  } catch (const std::bad_alloc&) {
    qCWarning(lcMedia, "%s: stream failed: out of memory", qUtf8Printable(name));
    filter_->NotifyEvent(EC_ERRORABORT, E_OUTOFMEMORY, 0);
  } catch (const std::exception& e) {
    qCWarning(lcMedia, "%s: stream failed: %s", qUtf8Printable(name), e.what());
    filter_->NotifyEvent(EC_ERRORABORT, E_UNEXPECTED, 0);
  }
  if (started) OnThreadStop();
}

void SourceStream::Stream(const QString& name, bool* started) {
  HRESULT hr = OnThreadStart();
  if (FAILED(hr)) {
    qCWarning(lcMedia, "%s: stream start failed: 0x%08X", qUtf8Printable(name),
              static_cast<unsigned>(hr));
    filter_->NotifyEvent(EC_ERRORABORT, hr, 0);
    return;
  }
  *started = true;
  while (WaitUntilRunning()) {
    ComPtr<IMediaSample> sample;
    hr = GetDeliveryBuffer(SampleSize(), sample.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) hr = FillBuffer(sample.Get());
    if (StopRequested()) break;
    if (hr == S_SKIP_SAMPLE) {
      skipped_.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    if (hr == S_FALSE) {
      DeliverEndOfStream();
      break;
    }
    if (FAILED(hr)) {
      qCWarning(lcMedia, "%s: stream failed: 0x%08X", qUtf8Printable(name),
                static_cast<unsigned>(hr));
      filter_->NotifyEvent(EC_ERRORABORT, hr, 0);
      break;
    }
    hr = Deliver(sample.Get());
    if (hr == S_OK) {
      delivered_.fetch_add(1, std::memory_order_relaxed);
    } else if (hr == VFW_E_WRONG_STATE || hr == S_FALSE) {
      // Downstream is stopping (the graph stops renderers first) or flushing: not an error.
      skipped_.fetch_add(1, std::memory_order_relaxed);
    } else if (FAILED(hr)) {
      // The filter that failed has reported it; this stream ends without a second event.
      qCWarning(lcMedia, "%s: downstream refused a sample: 0x%08X", qUtf8Printable(name),
                static_cast<unsigned>(hr));
      break;
    }
  }
  OnThreadStop();
}

SourceFilter::~SourceFilter() {
  Stop();
}

HRESULT SourceFilter::OnRun(REFERENCE_TIME) {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (auto* stream = dynamic_cast<SourceStream*>(pin)) stream->Wake();
  return S_OK;
}
