// Helpers of the V4L2 tests: a model installed as the "v4l2" provider, log capture.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QString>

#include "../virtual/DeviceTestSupport.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/v4l2/model/V4l2Model.h"

// For one test: a model with no cameras behind a provider registered as "v4l2", the only
// enabled provider. The registry's own provider comes back afterwards. Thread: the test's.
class ModelScope {
 public:
  ModelScope()
      : model_(std::make_shared<V4l2Model>()),
        provider_(std::make_shared<V4l2Provider>(model_)),
        previous_(DeviceProviderRegistry::Instance().Find("v4l2")) {
    DeviceProviderRegistry::Instance().Register("v4l2", provider_);
  }
  ~ModelScope() {
    DeviceProviderRegistry::Instance().Register("v4l2", previous_);
    model_->StopWatching();
  }
  V4l2Model& Model() { return *model_; }
  V4l2Provider& Provider() { return *provider_; }

 private:
  ProvidersScope providers_{"v4l2"};
  std::shared_ptr<V4l2Model> model_;
  std::shared_ptr<V4l2Provider> provider_;
  std::shared_ptr<DeviceProvider> previous_;
};

// Collects the log lines of one scope, from any thread (mutex_ guards lines_).
class LogCapture {
 public:
  LogCapture() {
    Instance() = this;
    previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
      if (LogCapture* self = Instance()) {
        std::lock_guard lock(self->mutex_);
        self->lines_.push_back(m.toStdString());
      }
    });
  }
  ~LogCapture() {
    qInstallMessageHandler(previous_);
    Instance() = nullptr;
  }
  bool Contains(const std::string& text) {
    std::lock_guard lock(mutex_);
    for (const std::string& line : lines_)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  std::string All() {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const std::string& line : lines_) all += line + "\n";
    return all;
  }

 private:
  static LogCapture*& Instance() {
    static LogCapture* instance = nullptr;
    return instance;
  }
  QtMessageHandler previous_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};
