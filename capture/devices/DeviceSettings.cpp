// Device settings persistence: the opened devices' tables loaded from and saved to their
// registry keys, the device state captured into the video table, image quality and camera
// control applied when a graph is built.
#include <algorithm>

#include <QTimer>

#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/StoreProblems.h"
#include "capture/graph/DeviceGraph.h"

bool TCaptureCore::LoadVideoSettings() {
  TDevices* list = DeviceList(dk_VideoDevices);
  if (Settings.VideoSource != vs_VideoCaptureDevice || !list || !list->InfoAt(OpenedVideoDevice))
    return false;
  TRegistry2 reg;
  if (!reg.OpenKey(list->RegistryKey(OpenedVideoDevice), false)) return false;
  const int last = Settings.StoreDeviceSettingsInRegistry ? vrs_Count - 1 : vrs_FirstSetting - 1;
  return VideoRegSave.LoadRange(reg, last, /*stopAtFailure=*/false);
}

void TCaptureCore::SaveVideoSettings() {
  TDevices* list = DeviceList(dk_VideoDevices);
  if (Settings.VideoSource != vs_VideoCaptureDevice || !list || !list->InfoAt(OpenedVideoDevice) ||
      !DeviceDiscovered)
    return;
  VideoRegSave.SetBool(vrs_DeviceDiscovered, DeviceDiscovered);
  VideoRegSave.SetInt(vrs_VideoSize, VideoSize);
  VideoRegSave.SetInt(vrs_VideoSubtype, VideoSubtype);
  VideoRegSave[vrs_VideoInputs].StrValue = VideoInputs;
  TRegistry2 reg;
  // A key that cannot be created leaves the device working on its table in memory; the whole
  // table is written again at the next save.
  if (!reg.OpenKey(list->RegistryKey(OpenedVideoDevice), true) || !VideoRegSave.SaveAll(reg))
    ReportSaveFailure(this);
}

void TCaptureCore::SaveAudioSettings() {
  TDevices* list = DeviceList(dk_AudioDevices);
  if (!list || OpenedAudioDevice < 0 || !AudioRegSave[0].BoolValue) return;
  TRegistry2 reg;
  if (!reg.OpenKey(list->RegistryKey(OpenedAudioDevice), true) || !AudioRegSave.SaveAll(reg))
    ReportSaveFailure(this);
}

void TCaptureCore::ScheduleSaveRetry() {
  savePending_ = true;
  if (retryingSaves_ || Destroying.load()) return;
  if (!saveRetry_) {
    saveRetry_ = std::make_unique<QTimer>();
    saveRetry_->setSingleShot(true);
    QObject::connect(saveRetry_.get(), &QTimer::timeout, [this] { RetrySaves(); });
  }
  if (!saveRetry_->isActive()) saveRetry_->start(saveRetryDelayMs_);
}

void TCaptureCore::RetrySaves() {
  // Every failed save below calls ReportSaveFailure again: it sets savePending_ and, the
  // failure being noted already, tells no one.
  savePending_ = false;
  retryingSaves_ = true;
  const int previousWait = RegSetBusyWait(0);
  if (!GlobalRegSave.Save()) ReportSaveFailure(this);
  SaveVideoSettings();
  SaveAudioSettings();
  if (formatListsUnsaved_ && DeviceDiscovered) {
    if (WriteFormatLists())
      formatListsUnsaved_ = false;
    else
      ReportSaveFailure(this);
  }
  RegSetBusyWait(previousWait);
  retryingSaves_ = false;
  if (!savePending_) {
    RegClearSaveFailure();
    saveRetryDelayMs_ = kFirstSaveRetryMs;
    TraceWrite({}, kMarkDefault, QStringLiteral("settings saved after a failed save"));
    return;
  }
  saveRetryDelayMs_ = std::min(saveRetryDelayMs_ * 2, kMaxSaveRetryMs);
  saveRetry_->start(saveRetryDelayMs_);
}

void TCaptureCore::SelectAudioDevice() {
  TDevices* list = DeviceList(dk_AudioDevices);
  const int index = Settings.AudioDevice;
  if (!list || index < 0 || index >= list->Count()) return;
  SaveAudioSettings();
  TRegistry2 reg;
  OpenedAudioDevice = index;
  AudioRegSave.Reset();
  const int last = Settings.StoreDeviceSettingsInRegistry ? AudioRegSave.Count() - 1
                                                          : TAudioRegSave::kFirstSetting - 1;
  if (reg.OpenKey(list->RegistryKey(index), false)) AudioRegSave.LoadRange(reg, last, true);
  if (!AudioRegSave[0].BoolValue) {
    ReportIf(this, true, sv_Info, i_begin_discovering_device,
             QStringLiteral("one-time audio device discovery:\r\n") + list->NameAt(index) +
                 QStringLiteral("\r\nplease wait..."));
    AudioRegSave[0].BoolValue = true;
  }
  if (!reg.OpenKey(list->RegistryKey(index), true) || !AudioRegSave.SaveAll(reg))
    ReportSaveFailure(this);
}

void TCaptureCore::CaptureDeviceState(TDeviceGraph& graph) {
  TVideoRegSave& t = VideoRegSave;
  if (IAMAnalogVideoDecoder* decoder = graph.AnalogDecoder.Get()) {
    long value = 0;
    if (SUCCEEDED(decoder->get_TVFormat(&value))) t.SetInt(vrs_ANTVFormat, value);
    if (SUCCEEDED(decoder->get_VCRHorizontalLocking(&value)))
      t.SetInt(vrs_ANVVCRHorzLocking, value);
    if (SUCCEEDED(decoder->get_OutputEnable(&value))) t.SetInt(vrs_ANVOutputEnable, value);
  }
  if (graph.VideoCrossbar) {
    t.SetBool(vrs_VIDEOCROSSBARAVAIL, true);
    t[vrs_AMVideoCrossbar].StrValue = CrossbarRoutingText(graph.VideoCrossbar.Get());
  }
  if (graph.AudioCrossbar) {
    t.SetBool(vrs_AUDIOCROSSBARAVAIL, true);
    t[vrs_AMAudioCrossbar].StrValue = CrossbarRoutingText(graph.AudioCrossbar.Get());
  }
  if (IAMTVTuner* tuner = graph.Tuner.Get()) {
    long channel = 0, video = 0, audio = 0, input = 0, space = 0, country = 0;
    if (SUCCEEDED(tuner->get_Channel(&channel, &video, &audio))) t.SetInt(vrs_TVChannel, channel);
    if (SUCCEEDED(tuner->get_ConnectInput(&input))) {
      t.SetInt(vrs_TVConnectInput, input);
      TunerInputType type = TunerInputCable;
      if (SUCCEEDED(tuner->get_InputType(input, &type))) t.SetInt(vrs_TVInputType, type);
    }
    if (SUCCEEDED(tuner->get_TuningSpace(&space))) t.SetInt(vrs_TVTuningSpace, space);
    if (SUCCEEDED(tuner->get_CountryCode(&country))) t.SetInt(vrs_TVCountryCode, country);
    AMTunerModeType mode{};
    if (SUCCEEDED(tuner->get_Mode(&mode))) t.SetInt(vrs_TVMode, static_cast<int>(mode));
  }
  auto capture = [](auto* control, std::uint8_t* block, int records) {
    for (int i = 0; i < records; ++i) {
      long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
      TControlRecord r;
      const HRESULT range = control->GetRange(i, &min, &max, &step, &def, &caps);
      // A device that stopped answering (unplugged) keeps what was stored for it; only a
      // property the device says it lacks is recorded as unavailable.
      if (FAILED(range) && range != E_PROP_ID_UNSUPPORTED) continue;
      r.Available = SUCCEEDED(range);
      if (r.Available) {
        r.Min = static_cast<std::int32_t>(min);
        r.Max = static_cast<std::int32_t>(max);
        r.Step = static_cast<std::int32_t>(step);
        r.Default = static_cast<std::int32_t>(def);
        if (SUCCEEDED(control->Get(i, &value, &flags))) {
          r.Value = static_cast<std::int32_t>(value);
          r.Automatic = (flags & VideoProcAmp_Flags_Auto) != 0;
        }
      }
      WriteControlRecord(block, i, r);
    }
  };
  // Once the records hold the device's own state, property by property, they are what the
  // next graph applies: a value the player chose is not reset to the default in automatic mode.
  if (graph.VideoProcAmp) {
    capture(graph.VideoProcAmp.Get(), t.VideoQualityBlock(), kVideoQualityRecords);
    t.SetBool(vrs_VideoQualityAuto, false);
  }
  if (graph.CameraControl) {
    capture(graph.CameraControl.Get(), t.CameraControlBlock(), kCameraControlRecords);
    t.SetBool(vrs_CameraControlAuto, false);
  }
}

void TCaptureCore::ApplyVideoQuality(TDeviceGraph& graph) {
  if (!Settings.StoreDeviceSettingsInRegistry || !Settings.VideoQualitySettings ||
      !graph.VideoProcAmp)
    return;
  const bool automatic = VideoRegSave.Bool(vrs_VideoQualityAuto);
  for (int i = 0; i < kVideoQualityRecords; ++i) {
    const TControlRecord r = ReadControlRecord(VideoRegSave.VideoQualityBlock(), i);
    // Errors of Set are ignored: a property the device lacks simply stays as it is.
    if (automatic)
      graph.VideoProcAmp->Set(i, r.Default, VideoProcAmp_Flags_Auto);
    else if (r.Available)
      graph.VideoProcAmp->Set(i, r.Value,
                              r.Automatic ? VideoProcAmp_Flags_Auto : VideoProcAmp_Flags_Manual);
  }
}

void TCaptureCore::ApplyCameraControl(TDeviceGraph& graph) {
  if (!Settings.StoreDeviceSettingsInRegistry || !Settings.CameraControlSettings ||
      !graph.CameraControl)
    return;
  const bool automatic = VideoRegSave.Bool(vrs_CameraControlAuto);
  for (int i = 0; i < kCameraControlRecords; ++i) {
    const TControlRecord r = ReadControlRecord(VideoRegSave.CameraControlBlock(), i);
    if (automatic)
      graph.CameraControl->Set(i, r.Default, CameraControl_Flags_Auto);
    else if (r.Available)
      graph.CameraControl->Set(i, r.Value,
                               r.Automatic ? CameraControl_Flags_Auto : CameraControl_Flags_Manual);
  }
}
