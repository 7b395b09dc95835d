// What a virtual device is: names, driver kind, pins, formats, controls, analog parts, failures.
#pragma once

#include <string>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/Guids.h"

// The "CLSID" of a WDM device's filter as the device enumerator reports it (the kernel
// streaming proxy); vfw devices report CLSID_VfwCapture instead.
inline constexpr CLSID CLSID_Proxy = MakeGuid("{17CCA71B-ECD7-11D0-B908-00A0C9223196}");

enum class DriverKind { None, Wdm, Vfw };

// One entry of IAMStreamConfig: a subtype at a size, the range of sizes it can be scaled to
// (a step of 0 means only the exact size) and its frame rates.
struct VideoCapability {
  GUID subtype = MEDIASUBTYPE_YUY2;
  int width = 640;
  int height = 480;
  int minWidth = 0;  // 0: the capability's own size
  int minHeight = 0;
  int maxWidth = 0;
  int maxHeight = 0;
  int stepX = 0;
  int stepY = 0;
  double framesPerSecond = 30.0;    // the default rate
  double minFramesPerSecond = 0.0;  // 0: framesPerSecond
  double maxFramesPerSecond = 0.0;  // 0: framesPerSecond
};

// Whether a capability streams at a size: within its range and on its steps, and even where the
// subtype's chroma needs it (YUY2, UYVY: width; I420, IYUV, YV12, NV12: both).
bool CapabilityTakesSize(const VideoCapability& cap, int width, int height);

// Bounds of what a virtual device may describe: larger pictures or faster or slower rates are
// refused when a device file is read (a device made in code is the caller's responsibility, but
// its pin copes with any rate).
inline constexpr int kMaxVirtualFrameSide = 16384;
inline constexpr long long kMaxVirtualFrameBytes = 256ll << 20;
inline constexpr double kMinVirtualFramesPerSecond = 0.1;
inline constexpr double kMaxVirtualFramesPerSecond = 1000.0;

// How IAMStreamConfig::SetFormat treats a frame rate outside a capability's range.
enum class FrameRateRule {
  Exact,    // refused, apart from the 29.97-for-30 rounding drivers accept (brought into range)
  Nearest,  // brought to the nearest rate the capability supports
};

// The range of one IAMVideoProcAmp or IAMCameraControl property.
struct ControlRange {
  long property = 0;
  long min = 0;
  long max = 0;
  long step = 1;
  long defaultValue = 0;
  long capsFlags = VideoProcAmp_Flags_Manual;  // the same bits for camera controls
};

// One input of the device's crossbar.
struct CrossbarInput {
  std::u16string name;  // "Composite", "SVideo", "Tuner", ...
  long physicalType = PhysConn_Video_Composite;
};

// Failures a test can ask a device for.
struct FailurePlan {
  bool refuseSetFormat = false;  // IAMStreamConfig::SetFormat answers VFW_E_INVALIDMEDIATYPE
  HRESULT createResult = 0;      // a failure code: binding the moniker fails with it
  HRESULT runResult = 0;         // a failure code: the filter's Run fails with it
  long loseAfterFrames = -1;     // >= 0: after this many frames the device is lost
};

struct VirtualDeviceConfig {
  GUID category = CLSID_VideoInputDeviceCategory;
  std::u16string friendlyName;
  std::u16string displayName;  // empty: the scripted provider makes one
  DriverKind driver = DriverKind::Wdm;
  bool capturePin = true;
  bool previewPin = false;
  std::vector<VideoCapability> capabilities;
  FrameRateRule frameRateRule = FrameRateRule::Exact;
  std::string scene = "pattern";  // frame generator: "demo", "touch" or "pattern"
  std::vector<ControlRange> videoProcAmp;
  std::vector<ControlRange> cameraControl;
  std::vector<CrossbarInput> crossbarInputs;  // empty: no crossbar
  bool analogVideoDecoder = false;
  long tvFormats = AnalogVideo_NTSC_M | AnalogVideo_PAL_B;
  long tvFormat = AnalogVideo_PAL_B;
  bool tvTuner = false;  // a tuner feeding the crossbar's "Tuner" input
  int vfwDialogs = 0;    // VfwCaptureDialog_* bits the driver offers
  FailurePlan failures;
};

inline constexpr const char16_t* kDemoCameraName = u"Frostwipe Demo Camera";
inline constexpr const char16_t* kTouchCameraName = u"Frostwipe Touch Camera";

// The demo camera: 640x480, 320x240 and 160x120 at 30 frames per second in YUY2 and RGB24,
// brightness, contrast and saturation, the demo scene. It takes any requested frame rate,
// bringing it to 30.
VirtualDeviceConfig DemoCameraConfig();

// The touch camera: the demo camera's formats, sizes, rates and controls, with the touch scene
// (the player's pointer paths, see TouchScene).
VirtualDeviceConfig TouchCameraConfig();

// The controls every virtual camera gets unless its description gives its own.
std::vector<ControlRange> DefaultVideoProcAmp();
