// What the capture control and its filter library share across the dlopen boundary: the
// creation exports, the grabbers' and the transform's private interfaces, and the control
// blocks whose layout both sides rely on.
#pragma once

#include <cstdint>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"
#include "platform/toolkit/DibTypes.h"

struct IBaseFilter;
struct IMediaSample;

// Grabber modes (the setup value).
enum TGrabberMode : std::int32_t {
  GRB_Sample = 0,
  GRB_Dummy = 1,
  GRB_Notify = 2,
  GRB_Lock = 3,
  GRB_LockAndShift = 4,
  GRB_DvData = 5,
  GRB_Clear = 6,
  GRB_RGB = 8,
};

// The RGB format a grabber delivers.
enum TGrabberRgbFormat : std::int32_t {
  grf_RGB32 = 1,
  grf_RGB24 = 2,
  grf_RGB565 = 3,
  grf_RGB555 = 4,
  grf_RGB8 = 5,
};

inline constexpr std::int32_t kGrabberVersion = 7035;

// Picture settings a modifying grabber applies to every sample before it calls back and passes
// the sample on (24 bytes).
struct VideoProcessingBlock {
  std::int32_t Brightness;  // -100 .. 100, 0 unchanged
  std::int32_t Contrast;    // -100 .. 100, 0 unchanged
  std::int32_t Saturation;  // -100 .. 100, 0 unchanged
  std::int32_t Hue;         // degrees -180 .. 180, 0 unchanged
  std::uint8_t GrayScale;
  std::uint8_t InvertColors;
  std::uint8_t FullSizeDeinterlacing;
  std::uint8_t FlipHorizontal;
  std::uint8_t FlipVertical;
  std::uint8_t ColorAdjustment;  // any of the first six set
  std::uint8_t Padding[2];
};
static_assert(sizeof(VideoProcessingBlock) == 24);

// What the frame callback is told about the picture: the grabber's bitmap and the address of
// the picture bytes (rows of the bitmap's DIB section).
struct GrabberFrameDescription {
  std::int32_t Reserved;
  DIBSECTION DibSection;
  std::int32_t Reserved2[2];
  std::uint8_t* Picture;
};

struct GrabberControlBlock;

// Called on the streaming thread for each sample of a frame-delivering grabber: the block, the
// sample's start time (low and high 32 bits), two unused values, the sample (referenced for the
// call), the picture's byte length, the grabber's bitmap (never null) and a device context for
// it (opaque toolkit handles), and the description. Returns nothing; the grabber passes the
// sample on afterwards, with whatever the callee drew into the picture.
using GrabberFrameCallback = void (*)(GrabberControlBlock* block, std::uint32_t startLow,
                                      std::int32_t startHigh, std::int32_t unused1,
                                      std::int32_t unused2, IMediaSample* sample,
                                      std::int32_t length, void* bitmap, void* dc,
                                      GrabberFrameDescription* description);
// Raw sample capture (not used by the game).
using GrabberSampleCallback = void (*)(GrabberControlBlock* block, IMediaSample* sample);
// A sample without picture data.
using GrabberNotifyCallback = void (*)(GrabberControlBlock* block, std::int64_t sampleTime);
// The date and time a DV frame carries (28 bytes): the recording date and the time code; -1
// where the frame holds no such pack.
struct DvDateTime {
  std::int32_t Year;
  std::int32_t Month;
  std::int32_t Day;
  std::int32_t Hours;
  std::int32_t Minutes;
  std::int32_t Seconds;
  std::int32_t Frames;
};
static_assert(sizeof(DvDateTime) == 28);

// The DV date and time of the current frame (DV sources only); timeCode is a DvDateTime.
using GrabberTimeCodeCallback = void (*)(GrabberControlBlock* block, const std::uint8_t* timeCode);

// Owned by the grabber, filled by the control after Setup. Pointers are native width on this
// platform; the order of the fields is fixed.
struct GrabberControlBlock {
  GrabberFrameCallback FrameCallback;
  GrabberSampleCallback SampleCallback;
  std::uint8_t Flag1;
  std::uint8_t Pad1[3];
  GrabberNotifyCallback NotifyCallback;
  std::uint8_t Flag2;
  std::uint8_t Pad2[3];
  GrabberTimeCodeCallback TimeCodeCallback;
  std::uint8_t Flag3;
  std::uint8_t Pad3[3];
  void* Context;  // the control's TCaptureCore
  std::int32_t Five;
  std::uint8_t Zero[4];
  std::int32_t RgbFormat;  // TGrabberRgbFormat
  VideoProcessingBlock Processing;
  std::int32_t Untouched;
  std::int32_t ZeroField;
  std::int32_t Version;        // kGrabberVersion
  std::uint8_t FrameDelivery;  // 1: samples of this grabber may become frames
};

// The grabbers' private interface.
struct IGrabberSetup : IUnknown {
  static constexpr IID kIid = MakeGuid("{3F0A6C2E-91D4-4B7A-8E25-6D1C0B9F4A31}");
  using BaseInterface = IUnknown;
  // Sets the mode and answers the grabber's control block, which lives as long as the filter.
  virtual HRESULT Setup(std::int32_t mode, GrabberControlBlock** block) = 0;
};
inline constexpr const IID& IID_IGrabberSetup = IGrabberSetup::kIid;

// What a video transform does (rotation or half-size deinterlacing).
struct TransformParams {
  void* Context;
  std::int32_t Rotation;  // TVideoRotation
  std::uint8_t SwappedDimensions;
  std::uint8_t HalfSizeDeinterlacing;
  std::uint8_t TransformNeeded;
  std::uint8_t Zero;
  GUID OutputSubtype;  // GUID_NULL: the input's
  std::int32_t Reserved[2];
};

// The transform's private interface.
struct ITransformSetup : IUnknown {
  static constexpr IID kIid = MakeGuid("{A8C41D07-5E3B-4F96-B2D8-17E9C6A05B42}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetParams(TransformParams* params) = 0;
  virtual HRESULT SetParams(const TransformParams* params) = 0;
};
inline constexpr const IID& IID_ITransformSetup = ITransformSetup::kIid;

// The reference clock's private interface.
struct IClockRate : IUnknown {
  static constexpr IID kIid = MakeGuid("{6B2E93F1-0C7A-4D58-A1E4-C93F72D8B153}");
  using BaseInterface = IUnknown;
  virtual HRESULT SetRate(std::int32_t rate) = 0;
};
inline constexpr const IID& IID_IClockRate = IClockRate::kIid;

// Every export of the library has this form: it stores the new filter's IBaseFilter (one
// reference) at *filter.
using FilterCreateFunction = HRESULT (*)(IBaseFilter** filter);

// Export names.
inline constexpr char kCreateLocalGrabberInstance[] = "CreateLocalGrabberInstance";
inline constexpr char kCreateLocalGrabberInstanceNoModify[] = "CreateLocalGrabberInstanceNoModify";
inline constexpr char kCreateLocalTransformInstance[] = "CreateLocalTransformInstance";
inline constexpr char kCreateLocalCustClckInstance[] = "CreateLocalCustClckInstance";
inline constexpr char kCreateLocalPushSourceInstance[] = "CreateLocalPushSourceInstance";
inline constexpr char kCreateLocalCFrwInstance[] = "CreateLocalCFrwInstance";
