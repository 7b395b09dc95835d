// Media types: AM_MEDIA_TYPE with its format block, video format headers, copy and free helpers.
#pragma once

#include "platform/com/ComApi.h"
#include "platform/media/Guids.h"
#include "platform/toolkit/DibTypes.h"

using REFERENCE_TIME = LONGLONG;                   // 100-nanosecond units
inline constexpr REFERENCE_TIME UNITS = 10000000;  // REFERENCE_TIME per second

// The format block (pbFormat, cbFormat bytes) is task memory owned by the media type; pUnk is a
// reference owned by it. FreeMediaType releases both.
struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  DWORD dwControlFlags;
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
};

// Format block of FORMAT_DvInfo.
struct DVINFO {
  DWORD dwDVAAuxSrc;
  DWORD dwDVAAuxCtl;
  DWORD dwDVAAuxSrc1;
  DWORD dwDVAAuxCtl1;
  DWORD dwDVVAuxSrc;
  DWORD dwDVVAuxCtl;
  DWORD dwDVReserved[2];
};

inline constexpr std::uint32_t BI_JPEG = 4;

// Releases the format block and pUnk and zeroes them; the structure itself stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// FreeMediaType, then frees the structure, which must come from CoTaskMemAlloc (nullptr is fine).
void DeleteMediaType(AM_MEDIA_TYPE* mt);
// Deep copy into *target, which must hold no format block. E_OUTOFMEMORY leaves it zeroed.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A deep copy in task memory, for out parameters; nullptr if out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

// Same major type, subtype, format type and format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// Whether a full type fits a partial one: GUID_NULL in the partial type's major type, subtype
// or format type matches anything; a partial type with a format block must match it exactly.
bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE& partial);

// The bitmap header of a FORMAT_VideoInfo or FORMAT_VideoInfo2 type with a block large enough,
// else nullptr.
const BITMAPINFOHEADER* GetBitmapInfoHeader(const AM_MEDIA_TYPE& mt);
BITMAPINFOHEADER* GetBitmapInfoHeader(AM_MEDIA_TYPE& mt);
// AvgTimePerFrame of a video format, 0 if none.
REFERENCE_TIME GetAvgTimePerFrame(const AM_MEDIA_TYPE& mt);

// Bits per pixel of an uncompressed video subtype, 0 for compressed or unknown ones.
int SubtypeBitCount(REFGUID subtype);
bool IsRgbSubtype(REFGUID subtype);  // RGB1 .. RGB32 and ARGB32
// Bytes of one frame of an uncompressed subtype (RGB rows padded to 4 bytes), 0 if unknown.
DWORD SubtypeFrameBytes(REFGUID subtype, int width, int height);
// Short name for logs: "RGB24", "YUY2", "MJPG"...; the GUID text for anything else.
std::string SubtypeName(REFGUID subtype);

// Value type owning one AM_MEDIA_TYPE (copies are deep). Thread: owner's.
class MediaType {
 public:
  MediaType();
  explicit MediaType(const AM_MEDIA_TYPE& source);
  MediaType(const MediaType& other);
  MediaType(MediaType&& other) noexcept;
  MediaType& operator=(const MediaType& other);
  MediaType& operator=(MediaType&& other) noexcept;
  ~MediaType();

  // A FORMAT_VideoInfo type with a bitmap header filled for subtype and size; RGB types are
  // bottom-up (positive height). avgTimePerFrame 0 leaves the frame rate open.
  static MediaType Video(REFGUID subtype, int width, int height, REFERENCE_TIME avgTimePerFrame);

  AM_MEDIA_TYPE* Get() { return &mt_; }
  const AM_MEDIA_TYPE* Get() const { return &mt_; }
  AM_MEDIA_TYPE* operator->() { return &mt_; }
  const AM_MEDIA_TYPE* operator->() const { return &mt_; }
  const AM_MEDIA_TYPE& operator*() const { return mt_; }

  // Replaces the format block with a copy of size bytes at data (zeroed when data is nullptr).
  bool SetFormat(const void* data, ULONG size);
  bool IsValid() const { return !(mt_.majortype == GUID_NULL); }
  void Clear();

  int Width() const;   // from the bitmap header, 0 without one
  int Height() const;  // absolute value of biHeight
  // Hands out a deep copy into an AM_MEDIA_TYPE the caller frees with FreeMediaType.
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const { return CopyMediaType(target, &mt_); }

  friend bool operator==(const MediaType& a, const MediaType& b) {
    return MediaTypesEqual(a.mt_, b.mt_);
  }

 private:
  AM_MEDIA_TYPE mt_;
};
