#include "capture/filters/Grabber.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr CLSID kClsidGrabber = MakeGuid("{0D6B3E52-8A17-4C29-9E4F-5B21C7A0D8E3}");
constexpr CLSID kClsidGrabberNoModify = MakeGuid("{7A2C9F14-3E65-4B8D-A0C7-92E4D16B5F08}");

template <class T>
T LoadRelaxed(T& field) {
  return std::atomic_ref<T>(field).load(std::memory_order_relaxed);
}

const GUID* SubtypeOfFormat(std::int32_t format) {
  switch (format) {
    case grf_RGB32:
      return &MEDIASUBTYPE_RGB32;
    case grf_RGB24:
      return &MEDIASUBTYPE_RGB24;
    case grf_RGB565:
      return &MEDIASUBTYPE_RGB565;
    case grf_RGB555:
      return &MEDIASUBTYPE_RGB555;
    case grf_RGB8:
      return &MEDIASUBTYPE_RGB8;
    default:
      return nullptr;
  }
}

QImage::Format ImageFormat(const BITMAPINFOHEADER& h) {
  switch (h.biBitCount) {
    case 32:
      return QImage::Format_RGB32;
    case 24:
      return QImage::Format_BGR888;
    case 16:
      return h.biCompression == BI_BITFIELDS ? QImage::Format_RGB16 : QImage::Format_RGB555;
    case 8:
      return QImage::Format_Indexed8;
    default:
      return QImage::Format_Invalid;
  }
}

bool SameLayout(const BITMAPINFOHEADER& a, const BITMAPINFOHEADER& b) {
  return a.biWidth == b.biWidth && a.biHeight == b.biHeight && a.biBitCount == b.biBitCount &&
         a.biCompression == b.biCompression;
}

// DV frames are sequences of 150 blocks of 80 bytes; blocks 1 and 2 of each sequence hold six
// subcode packs (8 bytes apart, 3 bytes in), blocks 3 to 5 fifteen auxiliary packs (5 bytes
// apart, 3 bytes in). Each pack is a header byte and four data bytes in binary-coded decimal.
constexpr long kDvBlockBytes = 80;
constexpr long kDvSequenceBytes = 150 * kDvBlockBytes;
constexpr std::uint8_t kDvPackTimeCode = 0x13;
constexpr std::uint8_t kDvPackRecordingDate = 0x62;

int Bcd(std::uint8_t value, std::uint8_t tensMask) {
  return ((value >> 4) & tensMask) * 10 + (value & 0x0F);
}

void ReadDvPack(const std::uint8_t* pack, DvDateTime& out, bool& haveTime, bool& haveDate) {
  if (pack[0] == kDvPackTimeCode && !haveTime) {
    out.Frames = Bcd(pack[1], 0x3);
    out.Seconds = Bcd(pack[2], 0x7);
    out.Minutes = Bcd(pack[3], 0x7);
    out.Hours = Bcd(pack[4], 0x3);
    haveTime = true;
  } else if (pack[0] == kDvPackRecordingDate && !haveDate) {
    out.Day = Bcd(pack[2], 0x3);
    out.Month = Bcd(pack[3], 0x1);
    const int year = Bcd(pack[4], 0xF);
    out.Year = year < 75 ? 2000 + year : 1900 + year;  // two digits, as DV cameras write them
    haveDate = true;
  }
}

// The first time code and recording date packs of the frame; false when it holds neither.
bool ReadDvDateTime(const std::uint8_t* data, long length, DvDateTime& out) {
  out = DvDateTime{-1, -1, -1, -1, -1, -1, -1};
  bool haveTime = false, haveDate = false;
  for (long sequence = 0; sequence + kDvSequenceBytes <= length; sequence += kDvSequenceBytes) {
    for (int block = 1; block <= 2; ++block)
      for (int pack = 0; pack < 6; ++pack)
        ReadDvPack(data + sequence + block * kDvBlockBytes + 3 + pack * 8 + 3, out, haveTime,
                   haveDate);
    for (int block = 3; block <= 5; ++block)
      for (int pack = 0; pack < 15; ++pack)
        ReadDvPack(data + sequence + block * kDvBlockBytes + 3 + pack * 5, out, haveTime, haveDate);
    if (haveTime && haveDate) break;
  }
  return haveTime || haveDate;
}

bool KnownMode(std::int32_t mode) {
  return (mode >= GRB_Sample && mode <= GRB_Clear) || mode == GRB_RGB;
}

}  // namespace

// ---- bitmaps over sample buffers

SampleBitmaps::SampleBitmaps() : dc_(CreateCompatibleDC(nullptr)) {}

SampleBitmaps::~SampleBitmaps() {
  DeleteDC(dc_);  // deselects, so the bitmaps can go
  for (Entry& entry : entries_)
    if (entry.bitmap) DeleteObject(entry.bitmap);
}

HBITMAP SampleBitmaps::Select(std::uint8_t* bits, const BITMAPINFOHEADER& header) {
  for (Entry& entry : entries_) {
    if (entry.bits == bits && entry.bitmap && SameLayout(entry.header, header)) {
      SelectObject(dc_, entry.bitmap);
      return entry.bitmap;
    }
  }
  const QImage::Format format = ImageFormat(header);
  if (format == QImage::Format_Invalid || header.biWidth <= 0 || header.biHeight == 0)
    return nullptr;
  // A view of the sample's memory: QImage neither owns nor copies it.
  QImage view(bits, header.biWidth, std::abs(header.biHeight),
              DibRowBytes(header.biWidth, header.biBitCount), format);
  if (view.isNull()) return nullptr;
  Entry& entry = entries_[nextReplaced_];
  nextReplaced_ = (nextReplaced_ + 1) % entries_.size();
  if (entry.bitmap) {
    // A selected bitmap cannot be freed: a fresh context releases the old one's hold.
    if (entry.bitmap->selectedInto) {
      DeleteDC(dc_);
      dc_ = CreateCompatibleDC(nullptr);
    }
    DeleteObject(entry.bitmap);
  }
  entry.bits = bits;
  entry.header = header;
  entry.bitmap = new GdiBitmap(header, std::move(view));
  SelectObject(dc_, entry.bitmap);
  return entry.bitmap;
}

// ---- grabber

GrabberFilter::GrabberFilter(bool modifying)
    : TransInPlaceFilter(modifying ? kClsidGrabber : kClsidGrabberNoModify,
                         modifying ? u"Frame Grabber" : u"Frame Grabber (no modify)"),
      modifying_(modifying) {
  block_.Version = kGrabberVersion;
}

HRESULT GrabberFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IGrabberSetup) {
    AddRef();
    *object = static_cast<IGrabberSetup*>(this);
    return S_OK;
  }
  return TransInPlaceFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT GrabberFilter::Setup(std::int32_t mode, GrabberControlBlock** block) {
  if (!block) return E_POINTER;
  *block = nullptr;
  // Only the modifying grabber may change samples; the other refuses the mode that would.
  if (!KnownMode(mode) || (mode == GRB_RGB && !modifying_)) return E_INVALIDARG;
  mode_.store(mode, std::memory_order_relaxed);
  *block = &block_;
  return S_OK;
}

HRESULT GrabberFilter::CheckInputType(const AM_MEDIA_TYPE& in) {
  if (!(in.majortype == MEDIATYPE_Video)) return S_FALSE;
  if (!modifying_) return S_OK;
  const BITMAPINFOHEADER* header =
      in.formattype == FORMAT_VideoInfo ? GetBitmapInfoHeader(in) : nullptr;
  if (!header || header->biWidth <= 0 || header->biHeight == 0) return S_FALSE;
  const GUID* wanted = SubtypeOfFormat(LoadRelaxed(block_.RgbFormat));
  if (wanted) return in.subtype == *wanted ? S_OK : S_FALSE;
  // No format chosen yet: any of the RGB subtypes a bitmap can describe.
  for (std::int32_t format = grf_RGB32; format <= grf_RGB8; ++format)
    if (in.subtype == *SubtypeOfFormat(format)) return S_OK;
  return S_FALSE;
}

HRESULT GrabberFilter::Transform(IMediaSample* sample) {
  const std::int32_t mode = mode_.load(std::memory_order_relaxed);
  if (mode == GRB_Sample) {
    if (GrabberSampleCallback callback = LoadRelaxed(block_.SampleCallback))
      callback(&block_, sample);
    return S_OK;
  }
  if (mode == GRB_Notify) {
    if (GrabberNotifyCallback callback = LoadRelaxed(block_.NotifyCallback)) {
      REFERENCE_TIME start = 0, end = 0;
      if (FAILED(sample->GetTime(&start, &end))) start = 0;
      callback(&block_, start);
    }
    return S_OK;
  }
  if (mode == GRB_Lock || mode == GRB_LockAndShift) {
    DeliverCopy(sample, mode == GRB_LockAndShift);
    return S_OK;
  }
  if (mode == GRB_DvData) {
    ReportDvDateTime(sample);
    return S_OK;
  }
  if (mode == GRB_Clear) return sample->SetTime(nullptr, nullptr);
  if (mode != GRB_RGB || !modifying_) return S_OK;

  const BITMAPINFOHEADER* header = GetBitmapInfoHeader(*Input()->CurrentMediaType());
  BYTE* bits = nullptr;
  if (!header || FAILED(sample->GetPointer(&bits)) || !bits) return S_OK;
  const int height = std::abs(header->biHeight);
  const int stride = DibRowBytes(header->biWidth, header->biBitCount);
  const long length = static_cast<long>(stride) * height;
  // A short sample is passed on as it came: recoverable, not a stream error.
  if (sample->GetActualDataLength() < length) return S_OK;

  const PictureView picture{bits,
                            header->biWidth,
                            height,
                            stride,
                            header->biBitCount,
                            header->biHeight < 0,
                            header->biCompression == BI_BITFIELDS};
  ApplyProcessing(ReadProcessingBlock(block_.Processing), tables_, picture);
  DeliverFrame(sample, bits, *header, length);
  return S_OK;
}

void GrabberFilter::DeliverFrame(IMediaSample* sample, std::uint8_t* bits,
                                 const BITMAPINFOHEADER& header, long length) {
  if (LoadRelaxed(block_.FrameDelivery) != 1) return;
  GrabberFrameCallback callback = LoadRelaxed(block_.FrameCallback);
  if (!callback) return;
  HBITMAP bitmap = bitmaps_.Select(bits, header);
  if (!bitmap) return;
  GrabberFrameDescription description{};
  GetObject(bitmap, sizeof description.DibSection, &description.DibSection);
  description.Picture = bits;
  REFERENCE_TIME start = 0, end = 0;
  if (FAILED(sample->GetTime(&start, &end))) start = 0;
  const auto startBits = static_cast<std::uint64_t>(start);
  callback(&block_, static_cast<std::uint32_t>(startBits),
           static_cast<std::int32_t>(startBits >> 32), 0, 0, sample,
           static_cast<std::int32_t>(length), bitmap, bitmaps_.Dc(), &description);
}

void GrabberFilter::DeliverCopy(IMediaSample* sample, bool shift) {
  const BITMAPINFOHEADER* header = GetBitmapInfoHeader(*Input()->CurrentMediaType());
  BYTE* bits = nullptr;
  if (!header || FAILED(sample->GetPointer(&bits)) || !bits || header->biWidth <= 0) return;
  const int height = std::abs(header->biHeight);
  const long inLength =
      static_cast<long>(DibRowBytes(header->biWidth, header->biBitCount)) * height;
  if (sample->GetActualDataLength() < inLength) return;

  BITMAPINFOHEADER out = *header;
  const std::int32_t format = LoadRelaxed(block_.RgbFormat);
  const int wantedBits = format == grf_RGB32 ? 32 : format == grf_RGB24 ? 24 : 0;
  const bool widen =
      shift && wantedBits && header->biBitCount >= 16 && header->biBitCount != wantedBits;
  if (widen) {
    out.biBitCount = static_cast<WORD>(wantedBits);
    out.biCompression = BI_RGB;
  }
  const long outLength = static_cast<long>(DibRowBytes(out.biWidth, out.biBitCount)) * height;
  out.biSizeImage = static_cast<DWORD>(outLength);
  if (copy_.size() < static_cast<std::size_t>(outLength)) copy_.resize(outLength);
  if (widen) {
    auto view = [height](std::uint8_t* data, const BITMAPINFOHEADER& h) {
      return PictureView{data,
                         h.biWidth,
                         height,
                         DibRowBytes(h.biWidth, h.biBitCount),
                         h.biBitCount,
                         h.biHeight < 0,
                         h.biCompression == BI_BITFIELDS};
    };
    ConvertPicture(view(bits, *header), view(copy_.data(), out));
  } else {
    std::memcpy(copy_.data(), bits, static_cast<std::size_t>(inLength));
  }
  DeliverFrame(sample, copy_.data(), out, outLength);
}

void GrabberFilter::ReportDvDateTime(IMediaSample* sample) {
  GrabberTimeCodeCallback callback = LoadRelaxed(block_.TimeCodeCallback);
  BYTE* data = nullptr;
  if (!callback || FAILED(sample->GetPointer(&data)) || !data) return;
  DvDateTime dateTime{};
  if (ReadDvDateTime(data, sample->GetActualDataLength(), dateTime))
    callback(&block_, reinterpret_cast<const std::uint8_t*>(&dateTime));
}
