// Identities of the media framework: major types, subtypes, format types, pin categories, classes.
#pragma once

#include "platform/com/Guid.h"

// Major types.
inline constexpr GUID MEDIATYPE_Video = FourccGuid(MakeFourcc('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = FourccGuid(MakeFourcc('a', 'u', 'd', 's'));
inline constexpr GUID MEDIATYPE_Interleaved = FourccGuid(MakeFourcc('i', 'a', 'v', 's'));
inline constexpr GUID MEDIATYPE_Stream = MakeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIATYPE_AnalogVideo = MakeGuid("{0482DDE1-7817-11CF-8A03-00AA006ECB65}");
inline constexpr GUID MEDIATYPE_AnalogAudio = MakeGuid("{0482DEE1-7817-11CF-8A03-00AA006ECB65}");

// Subtypes: the RGB family E436EB78 .. E436EB7E, then four-character codes.
inline constexpr GUID MEDIASUBTYPE_None = MakeGuid("{E436EB8E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB1 = MakeGuid("{E436EB78-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB4 = MakeGuid("{E436EB79-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB8 = MakeGuid("{E436EB7A-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB565 = MakeGuid("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB555 = MakeGuid("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB24 = MakeGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = MakeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_ARGB32 = MakeGuid("{773C9AC0-3274-11D0-B724-00AA006C1A01}");
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourccGuid(MakeFourcc('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_YUYV = FourccGuid(MakeFourcc('Y', 'U', 'Y', 'V'));
inline constexpr GUID MEDIASUBTYPE_UYVY = FourccGuid(MakeFourcc('U', 'Y', 'V', 'Y'));
inline constexpr GUID MEDIASUBTYPE_Y422 = FourccGuid(MakeFourcc('Y', '4', '2', '2'));
inline constexpr GUID MEDIASUBTYPE_I420 = FourccGuid(MakeFourcc('I', '4', '2', '0'));
inline constexpr GUID MEDIASUBTYPE_IYUV = FourccGuid(MakeFourcc('I', 'Y', 'U', 'V'));
inline constexpr GUID MEDIASUBTYPE_YV12 = FourccGuid(MakeFourcc('Y', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_NV12 = FourccGuid(MakeFourcc('N', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = FourccGuid(MakeFourcc('M', 'J', 'P', 'G'));
// Digital video (DV) codes.
inline constexpr GUID MEDIASUBTYPE_dvsd = FourccGuid(MakeFourcc('d', 'v', 's', 'd'));
inline constexpr GUID MEDIASUBTYPE_dvhd = FourccGuid(MakeFourcc('d', 'v', 'h', 'd'));
inline constexpr GUID MEDIASUBTYPE_dvsl = FourccGuid(MakeFourcc('d', 'v', 's', 'l'));
inline constexpr GUID MEDIASUBTYPE_dv25 = FourccGuid(MakeFourcc('d', 'v', '2', '5'));
inline constexpr GUID MEDIASUBTYPE_dv50 = FourccGuid(MakeFourcc('d', 'v', '5', '0'));
inline constexpr GUID MEDIASUBTYPE_dvh1 = FourccGuid(MakeFourcc('d', 'v', 'h', '1'));
// MPEG-2.
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = MakeGuid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_PROGRAM =
    MakeGuid("{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_TRANSPORT =
    MakeGuid("{E06D8023-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_AnalogVideo_NTSC_M =
    MakeGuid("{0482DDE2-7817-11CF-8A03-00AA006ECB65}");

// Format types of AM_MEDIA_TYPE::formattype.
inline constexpr GUID FORMAT_None = MakeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_VideoInfo = MakeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_VideoInfo2 = MakeGuid("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
inline constexpr GUID FORMAT_WaveFormatEx = MakeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_DvInfo = MakeGuid("{05589F84-C356-11CE-BF01-00AA0055595A}");
inline constexpr GUID FORMAT_MPEG2Video = MakeGuid("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID FORMAT_AnalogVideo = MakeGuid("{0482DDE0-7817-11CF-8A03-00AA006ECB65}");

// Pin categories (answered through IKsPropertySet, AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY).
inline constexpr GUID PIN_CATEGORY_CAPTURE = MakeGuid("{FB6C4281-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID PIN_CATEGORY_PREVIEW = MakeGuid("{FB6C4282-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID PIN_CATEGORY_ANALOGVIDEOIN =
    MakeGuid("{FB6C4283-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID PIN_CATEGORY_VBI = MakeGuid("{FB6C4284-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID PIN_CATEGORY_VIDEOPORT = MakeGuid("{FB6C4285-0353-11D1-905F-0000C0CC16BA}");
inline constexpr GUID AMPROPSETID_Pin = MakeGuid("{9B00F101-1567-11D1-B3F1-00AA003761C5}");
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;
inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

// Search directions of ICaptureGraphBuilder2::FindInterface, given as its category.
inline constexpr GUID LOOK_UPSTREAM_ONLY = MakeGuid("{AC798BE0-98E3-11D1-B3F1-00AA003761C5}");
inline constexpr GUID LOOK_DOWNSTREAM_ONLY = MakeGuid("{AC798BE1-98E3-11D1-B3F1-00AA003761C5}");

// Pin mediums: how the builder finds the crossbar and tuner that feed an analog input.
inline constexpr GUID KSMEDIUMSETID_Standard = MakeGuid("{4747B320-62CE-11CF-A5D6-28DB04C10000}");

// Device categories of the system device enumerator.
inline constexpr CLSID CLSID_VideoInputDeviceCategory =
    MakeGuid("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
inline constexpr CLSID CLSID_AudioInputDeviceCategory =
    MakeGuid("{33D9A762-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr CLSID CLSID_VideoCompressorCategory =
    MakeGuid("{33D9A760-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr CLSID CLSID_AudioCompressorCategory =
    MakeGuid("{33D9A761-90C8-11D0-BD43-00A0C911CE86}");
inline constexpr CLSID AM_KSCATEGORY_CAPTURE = MakeGuid("{65E8773D-8F56-11D0-A3B9-00A0C9223196}");
inline constexpr CLSID AM_KSCATEGORY_TVTUNER = MakeGuid("{A799A800-A46D-11D0-A18C-00A02401DCD4}");
inline constexpr CLSID AM_KSCATEGORY_CROSSBAR = MakeGuid("{A799A801-A46D-11D0-A18C-00A02401DCD4}");

// Classes.
inline constexpr CLSID CLSID_FilterGraph = MakeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_CaptureGraphBuilder2 =
    MakeGuid("{BF87B6E1-8C27-11D0-B3F0-00AA003761C5}");
inline constexpr CLSID CLSID_SystemDeviceEnum = MakeGuid("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");
inline constexpr CLSID CLSID_SystemClock = MakeGuid("{E436EBB1-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_VideoRenderer = MakeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID CLSID_VideoMixingRenderer =
    MakeGuid("{B87BEB7B-8D29-423F-AE4D-6582C10175AC}");
inline constexpr CLSID CLSID_VideoMixingRenderer9 =
    MakeGuid("{51B4ABF3-748F-4E3B-A276-C828330E926A}");
inline constexpr CLSID CLSID_NullRenderer = MakeGuid("{C1F400A4-3F08-11D3-9F0B-006008039E37}");
inline constexpr CLSID CLSID_InfTee = MakeGuid("{F8388A40-D5BB-11D0-BE5A-0080C706568E}");
inline constexpr CLSID CLSID_SmartTee = MakeGuid("{CC58E280-8AA1-11D1-B3F1-00AA003761C5}");
inline constexpr CLSID CLSID_Colour = MakeGuid("{1643E180-90F5-11CE-97D5-00AA0055595A}");
inline constexpr CLSID CLSID_MjpegDec = MakeGuid("{301056D0-6DFF-11D2-9EEB-006008039E37}");
inline constexpr CLSID CLSID_DVVideoCodec = MakeGuid("{B1B77C00-C3E4-11CF-AF79-00AA00B67A42}");
inline constexpr CLSID CLSID_VfwCapture = MakeGuid("{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
