// Interfaces of capture devices: stream formats, image and camera controls, analog inputs,
// driver dialogs, property pages, and the device enumerator with its monikers and property bags.
#pragma once

#include "platform/com/Variant.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/WindowTypes.h"

struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  LONGLONG MinFrameInterval;
  LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
};

struct IAMStreamConfig : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13340-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT SetFormat(AM_MEDIA_TYPE* mt) = 0;
  // *mt is a type in task memory, freed with DeleteMediaType.
  virtual HRESULT GetFormat(AM_MEDIA_TYPE** mt) = 0;
  virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
  // caps points at `size` bytes (a VIDEO_STREAM_CONFIG_CAPS for video pins).
  virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) = 0;
};
inline constexpr const IID& IID_IAMStreamConfig = IAMStreamConfig::kIid;

enum VideoProcAmpProperty {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
  VideoProcAmp_Sharpness = 4,
  VideoProcAmp_Gamma = 5,
  VideoProcAmp_ColorEnable = 6,
  VideoProcAmp_WhiteBalance = 7,
  VideoProcAmp_BacklightCompensation = 8,
  VideoProcAmp_Gain = 9,
  VideoProcAmp_PowerlineFrequency = 13,  // 0 off, 1 50 Hz, 2 60 Hz
};
inline constexpr long VideoProcAmp_Flags_Auto = 0x0001;
inline constexpr long VideoProcAmp_Flags_Manual = 0x0002;

struct IAMVideoProcAmp : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13360-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                           long* capsFlags) = 0;
  virtual HRESULT Set(long property, long value, long flags) = 0;
  virtual HRESULT Get(long property, long* value, long* flags) = 0;
};
inline constexpr const IID& IID_IAMVideoProcAmp = IAMVideoProcAmp::kIid;

enum CameraControlProperty {
  CameraControl_Pan = 0,
  CameraControl_Tilt = 1,
  CameraControl_Roll = 2,
  CameraControl_Zoom = 3,
  CameraControl_Exposure = 4,
  CameraControl_Iris = 5,
  CameraControl_Focus = 6,
};
inline constexpr long CameraControl_Flags_Auto = 0x0001;
inline constexpr long CameraControl_Flags_Manual = 0x0002;

struct IAMCameraControl : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13370-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                           long* capsFlags) = 0;
  virtual HRESULT Set(long property, long value, long flags) = 0;
  virtual HRESULT Get(long property, long* value, long* flags) = 0;
};
inline constexpr const IID& IID_IAMCameraControl = IAMCameraControl::kIid;

struct IAMDroppedFrames : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13344-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetNumDropped(long* dropped) = 0;
  virtual HRESULT GetNumNotDropped(long* delivered) = 0;
  virtual HRESULT GetDroppedInfo(long size, long* frames, long* copied) = 0;
  virtual HRESULT GetAverageFrameSize(long* averageSize) = 0;
};
inline constexpr const IID& IID_IAMDroppedFrames = IAMDroppedFrames::kIid;

// Physical connector types of crossbar pins.
enum PhysicalConnectorType {
  PhysConn_Video_Tuner = 1,
  PhysConn_Video_Composite = 2,
  PhysConn_Video_SVideo = 3,
  PhysConn_Video_RGB = 4,
  PhysConn_Video_YRYBY = 5,
  PhysConn_Video_SerialDigital = 6,
  PhysConn_Video_ParallelDigital = 7,
  PhysConn_Video_SCSI = 8,
  PhysConn_Video_AUX = 9,
  PhysConn_Video_1394 = 10,
  PhysConn_Video_USB = 11,
  PhysConn_Video_VideoDecoder = 12,
  PhysConn_Video_VideoEncoder = 13,
  PhysConn_Video_SCART = 14,
  PhysConn_Video_Black = 15,
  PhysConn_Audio_Tuner = 0x1000,
  PhysConn_Audio_Line = 0x1001,
  PhysConn_Audio_Mic = 0x1002,
  PhysConn_Audio_AESDigital = 0x1003,
  PhysConn_Audio_SPDIFDigital = 0x1004,
  PhysConn_Audio_SCSI = 0x1005,
  PhysConn_Audio_AUX = 0x1006,
  PhysConn_Audio_1394 = 0x1007,
  PhysConn_Audio_USB = 0x1008,
  PhysConn_Audio_AudioDecoder = 0x1009,
};

struct IAMCrossbar : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13380-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT get_PinCounts(long* outputCount, long* inputCount) = 0;
  virtual HRESULT CanRoute(long outputIndex, long inputIndex) = 0;
  virtual HRESULT Route(long outputIndex, long inputIndex) = 0;
  virtual HRESULT get_IsRoutedTo(long outputIndex, long* inputIndex) = 0;
  virtual HRESULT get_CrossbarPinInfo(BOOL isInput, long index, long* relatedIndex,
                                      long* physicalType) = 0;
};
inline constexpr const IID& IID_IAMCrossbar = IAMCrossbar::kIid;

enum AnalogVideoStandard {
  AnalogVideo_None = 0x00000000,
  AnalogVideo_NTSC_M = 0x00000001,
  AnalogVideo_NTSC_M_J = 0x00000002,
  AnalogVideo_NTSC_433 = 0x00000004,
  AnalogVideo_PAL_B = 0x00000010,
  AnalogVideo_PAL_D = 0x00000020,
  AnalogVideo_PAL_G = 0x00000040,
  AnalogVideo_PAL_H = 0x00000080,
  AnalogVideo_PAL_I = 0x00000100,
  AnalogVideo_PAL_M = 0x00000200,
  AnalogVideo_PAL_N = 0x00000400,
  AnalogVideo_PAL_60 = 0x00000800,
  AnalogVideo_SECAM_B = 0x00001000,
  AnalogVideo_SECAM_D = 0x00002000,
  AnalogVideo_SECAM_G = 0x00004000,
  AnalogVideo_SECAM_H = 0x00008000,
  AnalogVideo_SECAM_K = 0x00010000,
  AnalogVideo_SECAM_K1 = 0x00020000,
  AnalogVideo_SECAM_L = 0x00040000,
  AnalogVideo_SECAM_L1 = 0x00080000,
  AnalogVideo_PAL_N_COMBO = 0x00100000,
};

struct IAMAnalogVideoDecoder : IUnknown {
  static constexpr IID kIid = MakeGuid("{C6E13350-30AC-11D0-A18C-00A0C9118956}");
  using BaseInterface = IUnknown;
  virtual HRESULT get_AvailableTVFormats(long* standards) = 0;
  virtual HRESULT put_TVFormat(long standard) = 0;
  virtual HRESULT get_TVFormat(long* standard) = 0;
  virtual HRESULT get_HorizontalLocked(long* locked) = 0;
  virtual HRESULT put_VCRHorizontalLocking(long locking) = 0;
  virtual HRESULT get_VCRHorizontalLocking(long* locking) = 0;
  virtual HRESULT get_NumberOfLines(long* lines) = 0;
  virtual HRESULT put_OutputEnable(long enable) = 0;
  virtual HRESULT get_OutputEnable(long* enable) = 0;
};
inline constexpr const IID& IID_IAMAnalogVideoDecoder = IAMAnalogVideoDecoder::kIid;

enum AMTunerModeType {
  AMTUNER_MODE_DEFAULT = 0,
  AMTUNER_MODE_TV = 0x1,
  AMTUNER_MODE_FM_RADIO = 0x2,
  AMTUNER_MODE_AM_RADIO = 0x4,
  AMTUNER_MODE_DSS = 0x8,
};
enum TunerInputType { TunerInputCable = 0, TunerInputAntenna = 1 };

// The TV tuner (the methods of the general tuner first, then the TV ones).
struct IAMTVTuner : IUnknown {
  static constexpr IID kIid = MakeGuid("{211A8766-03AC-11D1-8D13-00AA00BD8339}");
  using BaseInterface = IUnknown;
  virtual HRESULT put_Channel(long channel, long videoSubChannel, long audioSubChannel) = 0;
  virtual HRESULT get_Channel(long* channel, long* videoSubChannel, long* audioSubChannel) = 0;
  virtual HRESULT ChannelMinMax(long* channelMin, long* channelMax) = 0;
  virtual HRESULT put_CountryCode(long countryCode) = 0;
  virtual HRESULT get_CountryCode(long* countryCode) = 0;
  virtual HRESULT put_TuningSpace(long tuningSpace) = 0;
  virtual HRESULT get_TuningSpace(long* tuningSpace) = 0;
  virtual HRESULT SignalPresent(long* signalStrength) = 0;
  virtual HRESULT put_Mode(AMTunerModeType mode) = 0;
  virtual HRESULT get_Mode(AMTunerModeType* mode) = 0;
  virtual HRESULT GetAvailableModes(long* modes) = 0;
  virtual HRESULT get_AvailableTVFormats(long* standards) = 0;
  virtual HRESULT get_TVFormat(long* standard) = 0;
  virtual HRESULT AutoTune(long channel, long* foundSignal) = 0;
  virtual HRESULT StoreAutoTune() = 0;
  virtual HRESULT get_NumInputConnections(long* count) = 0;
  virtual HRESULT put_InputType(long index, TunerInputType inputType) = 0;
  virtual HRESULT get_InputType(long index, TunerInputType* inputType) = 0;
  virtual HRESULT put_ConnectInput(long index) = 0;
  virtual HRESULT get_ConnectInput(long* index) = 0;
  virtual HRESULT get_VideoFrequency(long* frequency) = 0;
  virtual HRESULT get_AudioFrequency(long* frequency) = 0;
};
inline constexpr const IID& IID_IAMTVTuner = IAMTVTuner::kIid;

enum VfwCaptureDialogs {
  VfwCaptureDialog_Source = 0x01,
  VfwCaptureDialog_Format = 0x02,
  VfwCaptureDialog_Display = 0x04,
};

struct IAMVfwCaptureDialogs : IUnknown {
  static constexpr IID kIid = MakeGuid("{D8D715A0-6E5E-11D0-B3F0-00AA003761C5}");
  using BaseInterface = IUnknown;
  // S_OK if the driver has the dialog, S_FALSE if not.
  virtual HRESULT HasDialog(int dialog) = 0;
  virtual HRESULT ShowDialog(int dialog, HWND owner) = 0;
  virtual HRESULT SendDriverMessage(int dialog, int message, long data1, long data2) = 0;
};
inline constexpr const IID& IID_IAMVfwCaptureDialogs = IAMVfwCaptureDialogs::kIid;

struct IAMVfwCompressDialogs : IUnknown {
  static constexpr IID kIid = MakeGuid("{D8D715A3-6E5E-11D0-B3F0-00AA003761C5}");
  using BaseInterface = IUnknown;
  virtual HRESULT ShowDialog(int dialog, HWND owner) = 0;
  virtual HRESULT GetState(void* state, int* size) = 0;
  virtual HRESULT SetState(void* state, int size) = 0;
  virtual HRESULT SendDriverMessage(int message, long data1, long data2) = 0;
};
inline constexpr const IID& IID_IAMVfwCompressDialogs = IAMVfwCompressDialogs::kIid;

// A counted array of GUIDs; pElems is task memory the caller frees with CoTaskMemFree.
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};

struct ISpecifyPropertyPages : IUnknown {
  static constexpr IID kIid = MakeGuid("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetPages(CAUUID* pages) = 0;
};
inline constexpr const IID& IID_ISpecifyPropertyPages = ISpecifyPropertyPages::kIid;

// Bind contexts carry no options here; callers pass nullptr.
struct IBindCtx : IUnknown {
  static constexpr IID kIid = MakeGuid("{0000000E-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;
};
inline constexpr const IID& IID_IBindCtx = IBindCtx::kIid;

struct IErrorLog : IUnknown {
  static constexpr IID kIid = MakeGuid("{3127CA40-446E-11CE-8135-00AA004BB851}");
  using BaseInterface = IUnknown;
  virtual HRESULT AddError(LPCOLESTR propertyName, void* exceptionInfo) = 0;
};
inline constexpr const IID& IID_IErrorLog = IErrorLog::kIid;

struct IPropertyBag : IUnknown {
  static constexpr IID kIid = MakeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");
  using BaseInterface = IUnknown;
  // Fills *value (cleared by the caller with VariantClear); E_INVALIDARG for an unknown name.
  virtual HRESULT Read(LPCOLESTR propertyName, VARIANT* value, IErrorLog* errorLog) = 0;
  virtual HRESULT Write(LPCOLESTR propertyName, VARIANT* value) = 0;
};
inline constexpr const IID& IID_IPropertyBag = IPropertyBag::kIid;

// A device moniker: names one device and makes its filter or its property bag.
struct IMoniker : IPersist {
  static constexpr IID kIid = MakeGuid("{0000000F-0000-0000-C000-000000000046}");
  using BaseInterface = IPersist;
  // Makes the object the moniker names (IID_IBaseFilter for a device's filter).
  virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** object) = 0;
  // Opens the storage of the object (IID_IPropertyBag for a device's names).
  virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid, void** object) = 0;
  // The display name in task memory, freed with CoTaskMemFree.
  virtual HRESULT GetDisplayName(IBindCtx* context, IMoniker* left, LPOLESTR* displayName) = 0;
  // S_OK if other names the same device, S_FALSE if not.
  virtual HRESULT IsEqual(IMoniker* other) = 0;
};
inline constexpr const IID& IID_IMoniker = IMoniker::kIid;

struct IEnumMoniker : IUnknown {
  static constexpr IID kIid = MakeGuid("{00000102-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;
  virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMoniker** copy) = 0;
};
inline constexpr const IID& IID_IEnumMoniker = IEnumMoniker::kIid;

// ICreateDevEnum::CreateClassEnumerator flags.
inline constexpr DWORD CDEF_CLASS_DEFAULT = 0x0001;
inline constexpr DWORD CDEF_BYPASS_CLASS_MANAGER = 0x0002;
inline constexpr DWORD CDEF_MERIT_ABOVE_DO_NOT_USE = 0x0008;
inline constexpr DWORD CDEF_DEVMON_CMGR_DEVICE = 0x0010;
inline constexpr DWORD CDEF_DEVMON_DMO = 0x0020;
inline constexpr DWORD CDEF_DEVMON_PNP_DEVICE = 0x0040;
inline constexpr DWORD CDEF_DEVMON_FILTER = 0x0080;

struct ICreateDevEnum : IUnknown {
  static constexpr IID kIid = MakeGuid("{29840822-5B84-11D0-BD3B-00A0C911CE86}");
  using BaseInterface = IUnknown;
  // S_FALSE and *monikers nullptr for a category without devices.
  virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers,
                                        DWORD flags) = 0;
};
inline constexpr const IID& IID_ICreateDevEnum = ICreateDevEnum::kIid;
