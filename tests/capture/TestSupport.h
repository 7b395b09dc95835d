// Shared helpers of the capture tests: a private registry and working folder, a control with a
// parent window, a handler recorder, and a stand-in for a running preview graph.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/SyncManager.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Dialogs.h"

// Gives every test its own registry file and current directory (the trace file lands there).
class CaptureTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fwcapXXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("FROSTWIPE_REGISTRY", (dir_ + "/registry.db").c_str(), 1);
    // Without devices unless a test plugs its own.
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "", 1);
    RegCloseStore();
    oldDir_ = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir_));
    parent_ = std::make_unique<QWidget>();
    // Messages for the player are collected, never shown as modal boxes.
    SetMessageBoxHook([this](const QString& text, const QString&) {
      boxes_.push_back(text);
      return int(IDOK);
    });
  }
  void TearDown() override {
    SetMessageBoxHook({});
    parent_.reset();
    // The process-wide manager and device lists go, so the next test starts afresh.
    FinalizeCaptureUnit();
    QDir::setCurrent(oldDir_);
    RegCloseStore();
    std::filesystem::remove_all(dir_);
  }
  std::unique_ptr<TCaptureControl> MakeControl() {
    return std::make_unique<TCaptureControl>(parent_.get());
  }

  std::string dir_;
  QString oldDir_;
  std::vector<QString> boxes_;
  std::unique_ptr<QWidget> parent_;
};

// Records handler calls as text lines, in order.
class Recorder : public QObject {
 public:
  std::vector<QString> calls;
  std::vector<int> frameNumbers;
  void Log(TObject*, TLogType type, const QString& severity, const QString& text) {
    calls.push_back(QString("log %1 %2 %3").arg(static_cast<int>(type)).arg(severity, text));
  }
  void PreviewStarted(TObject*) { calls.push_back("PreviewStarted"); }
  void Inactive(TObject*) { calls.push_back("Inactive"); }
  void DeviceLost(TObject*) { calls.push_back("DeviceLost"); }
  void NoVideoDevices(TObject*) { calls.push_back("NoVideoDevices"); }
  void Shared(TObject*) { calls.push_back("Shared"); }
  void Progress(TObject*, const TFrameInfo& info) {
    calls.push_back(QString("progress %1").arg(info.FrameNumber));
  }
  void Frame(TObject*, const TFrameData& data, TFrameCaptureDest dest, const QString&,
             bool success) {
    calls.push_back(
        QString("frame %1 %2 %3").arg(data.FrameNumber).arg(static_cast<int>(dest)).arg(success));
    frameNumbers.push_back(data.FrameNumber);
  }
  void Overlay(TObject*, const TFrameInfo&, HDC) { calls.push_back("overlay"); }
};

// Puts the core in the state a successfully started preview leaves (the graph itself is built by
// the media framework, which these tests do without).
inline void PretendPreviewRuns(TCaptureCore& core) {
  core.CaptureState.store(cs_Previewing);
  core.GraphActive.store(true);
  core.GraphState.store(gs_Running);
  core.RunFrameGrabber = core.Settings.FrameGrabber;
  core.HandOver.Reset(core);
}
