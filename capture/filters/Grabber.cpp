#include "capture/filters/Grabber.h"

#include <cstdlib>

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
