// Choosing and opening the video device: VideoDevice, the video selection with its stored
// settings and format lists, and the display size that follows the device.
#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"

namespace {
const QString kVideoCaptureDevice = QStringLiteral("video capture device");
}

void TCaptureCore::SetVideoDevice(int index) {
  VideoDevice = index;
  if (index == -1 || DeviceListsState() != dl_Created) return;
  const TDevices& list = *DeviceList(dk_VideoDevices);
  if (CheckDeviceIndex(this, list, index, kVideoCaptureDevice)) return;
  if (list.Count() == 0 || index == OpenedVideoDevice || !Initialized) return;
  if (CaptureState.load() != cs_Idle) {
    // The restarted graph selects the new device first.
    RefreshPreview(QStringLiteral("dsvdev"));
    return;
  }
  // The first selection of a control still loading from its window description comes at the
  // first idle moment.
  if (Owner->Loading()) return;
  if (DeviceDiscovered) SaveVideoSettings();
  SelectVideoDevice();
}

bool TCaptureCore::SelectVideoDevice() {
  if (DeviceListsState() != dl_Created || Settings.VideoSource != vs_VideoCaptureDevice)
    return false;
  TDevices& list = *DeviceList(dk_VideoDevices);
  if (list.Count() == 0) {
    PostEvent(Owner->OnNoVideoDevices);
    return false;
  }
  if (VideoDevice < 0 || CheckDeviceIndex(this, list, VideoDevice, kVideoCaptureDevice) ||
      Selecting)
    return false;
  BeginBusy();
  if (OpenedVideoDevice >= 0) SaveVideoSettings();
  Selecting = true;
  OpenedVideoDevice = VideoDevice;
  DeviceOpenResult = S_OK;  // a failure to open the device before belongs to that device
  VideoRegSave.Reset();
  if (!LoadVideoSettings()) VideoRegSave.Reset();
  VideoSize = VideoRegSave.Int(vrs_VideoSize);
  VideoSubtype = VideoRegSave.Int(vrs_VideoSubtype);
  VideoInputs = VideoRegSave[vrs_VideoInputs].StrValue;
  DeviceDiscovered = LoadVideoFormats();
  if (!DeviceDiscovered) DeviceDiscovered = DiscoverVideoFormats();
  SaveVideoSettings();
  EndBusy();
  if (DeviceDiscovered) {
    int w = 0, h = 0;
    if (!CurrentVideoSize(-1, &w, &h)) {
      w = 320;
      h = 240;
    }
    VideoWidth = w;
    VideoHeight = h;
    UpdateDisplaySize();
    const TEventNotification handler = Owner->OnVideoDeviceSelected;
    if (!Destroying.load() && Owner->EventAssigned(handler)) handler(Owner);
    if (Settings.AssociateAudioAndVideoDevices) {
      TDevices* audio = DeviceList(dk_AudioDevices);
      const QString associated = VideoRegSave[0].StrValue;
      if (!associated.isEmpty() && audio) {
        const int index = audio->IndexOfName(associated);
        if (index >= 0) {
          Settings.AudioDevice = index;
          SelectAudioDevice();
        }
      } else if (audio && OpenedAudioDevice >= 0) {
        VideoRegSave[0].StrValue = audio->NameAt(OpenedAudioDevice);
      }
    }
  }
  Selecting = false;
  VideoSelectionDone = true;
  return DeviceDiscovered;
}
