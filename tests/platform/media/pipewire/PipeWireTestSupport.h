// Helpers of the PipeWire tests: a private daemon per test suite and a fresh "pipewire"
// provider per test, the only enabled one.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QString>

#include <gtest/gtest.h>

#include "../virtual/DeviceTestSupport.h"
#include "PrivatePipeWire.h"
#include "platform/media/pipewire/PipeWireProvider.h"

// Pumps events until done, at most ms (scaled for sanitizers).
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
  return PumpUntil(done, Slow(ms));
}

// Collects the log lines of one scope, from any thread (mutex_ guards lines_).
class LogCapture {
 public:
  LogCapture() {
    Instance() = this;
    previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
      if (LogCapture* self = Instance().load()) {
        std::lock_guard lock(self->mutex_);
        self->lines_.push_back(m.toStdString());
      }
    });
  }
  ~LogCapture() {
    qInstallMessageHandler(previous_);
    Instance() = nullptr;
  }
  // The lines holding text.
  int Count(const std::string& text) {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const std::string& line : lines_) count += line.find(text) != std::string::npos;
    return count;
  }
  std::string All() {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const std::string& line : lines_) all += line + "\n";
    return all;
  }

 private:
  // Read by the thread that logs.
  static std::atomic<LogCapture*>& Instance() {
    static std::atomic<LogCapture*> instance = nullptr;
    return instance;
  }
  QtMessageHandler previous_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

class PipeWireTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pipewire_ = new PrivatePipeWire();
    started_ = pipewire_->Start();
  }
  static void TearDownTestSuite() {
    // Catches: a daemon, session manager or bus left running after the tests.
    EXPECT_TRUE(pipewire_->Stop()) << "a private PipeWire process did not stop by itself";
    delete pipewire_;
    pipewire_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(started_) << "the private PipeWire did not start";
    previous_ = DeviceProviderRegistry::Instance().Find("pipewire");
    provider_ = std::make_shared<PipeWireProvider>();
    DeviceProviderRegistry::Instance().Register("pipewire", provider_);
  }
  void TearDown() override {
    DeviceProviderRegistry::Instance().Register("pipewire", previous_);
    provider_.reset();
  }

  static PrivatePipeWire* pipewire_;
  static bool started_;
  ProvidersScope providers_{"pipewire"};
  std::shared_ptr<PipeWireProvider> provider_;
  std::shared_ptr<DeviceProvider> previous_;
};
