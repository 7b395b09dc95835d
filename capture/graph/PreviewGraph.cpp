// The preview graph: built for the selected device with the frame grabbers and the renderer,
// run, stopped and torn down; graph events; the frame callback the grabber calls.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <QCoreApplication>
#include <QImage>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/StoreProblems.h"
#include "capture/devices/VideoFormats.h"
#include "capture/graph/DeviceGraph.h"
#include "capture/graph/FilterLibrary.h"
#include "platform/com/ComApi.h"
#include "platform/media/Guids.h"
#include "platform/media/MediaType.h"
#include "platform/media/UiThread.h"
#include "platform/media/VideoWindow.h"

namespace {

// HRESULT_FROM_WIN32(ERROR_BUSY): what a camera in use by another program answers.
constexpr HRESULT kCameraBusy = MakeFailure(0x800700AA);

// What the player reads when the camera cannot be opened or started, with what to do.
QString StartFailureText(HRESULT hr) {
  if (hr == VFW_E_DEVICE_LOST || hr == VFW_E_NOT_FOUND)
    return QCoreApplication::translate(
        "TCaptureCore", "The camera was unplugged. Plug it back in, then press Start again.");
  if (hr == kCameraBusy)
    return QCoreApplication::translate(
        "TCaptureCore",
        "The camera is in use by another program. Close that program, then press Start again.");
  if (hr == E_ACCESSDENIED)
    return QCoreApplication::translate(
        "TCaptureCore",
        "Frostwipe may not use the camera. Ask whoever looks after this computer to give you "
        "access to the camera (the \"video\" group), then log in again.");
  return QCoreApplication::translate("TCaptureCore",
                                     "The camera could not be started. Check that it is plugged "
                                     "in, or choose another camera in Options, Video settings.");
}

QString RandomTag(const char* tag) {
  return QString::fromLatin1(tag) + QString::number(std::rand() % 2147483647);
}

// The grabber's frame callback, on the streaming thread.
void GrabberFrameCallbackImpl(GrabberControlBlock* block, std::uint32_t startLow,
                              std::int32_t startHigh, std::int32_t, std::int32_t, IMediaSample*,
                              std::int32_t length, void* bitmap, void*,
                              GrabberFrameDescription* description) {
  auto* core = block ? static_cast<TCaptureCore*>(block->Context) : nullptr;
  if (!core || !bitmap || !description) return;
  core->GrabberFrame(*block, (static_cast<std::int64_t>(startHigh) << 32) | startLow, length,
                     *description);
}

}  // namespace

VideoProcessingBlock TCaptureCore::ProcessingBlock() const {
  std::lock_guard lock(processingLock_);
  return processing_;
}

void TCaptureCore::UpdateVideoProcessing() {
  const TCaptureSettings& s = Settings;
  ColorAdjustment = s.VideoProcessing_Brightness != 0 || s.VideoProcessing_Contrast != 0 ||
                    s.VideoProcessing_Saturation != 0 || s.VideoProcessing_Hue != 0 ||
                    s.VideoProcessing_GrayScale || s.VideoProcessing_InvertColors;
  TransformNeeded = SwappedDimensions || HalfSizeDeinterlacing;
  VideoProcessingBlock b{};
  b.Brightness = s.VideoProcessing_Brightness;
  b.Contrast = s.VideoProcessing_Contrast;
  b.Saturation = s.VideoProcessing_Saturation;
  b.Hue = s.VideoProcessing_Hue;
  b.GrayScale = s.VideoProcessing_GrayScale;
  b.InvertColors = s.VideoProcessing_InvertColors;
  b.FullSizeDeinterlacing = FullSizeDeinterlacing;
  b.FlipHorizontal = s.VideoProcessing_FlipHorizontal;
  b.FlipVertical = s.VideoProcessing_FlipVertical;
  b.ColorAdjustment = ColorAdjustment;
  std::lock_guard lock(processingLock_);
  processing_ = b;
}

void TCaptureCore::GrabberFrame(GrabberControlBlock& block, std::int64_t sampleTime,
                                std::int32_t length, const GrabberFrameDescription& description) {
  if (Destroying.load() || !GraphActive.load()) return;
  lastPictureMs_.store(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
  // A setting changed on any thread reaches the grabber with the next sample.
  block.Processing = ProcessingBlock();
  HandOver.DeliveryEnabled = block.FrameDelivery != 0;
  const BITMAPINFOHEADER& h = description.DibSection.dsBmih;
  const int width = h.biWidth;
  const int height = std::abs(h.biHeight);
  QImage::Format format = QImage::Format_Invalid;
  switch (h.biBitCount) {
    case 32:
      format = QImage::Format_RGB32;
      break;
    case 24:
      format = QImage::Format_BGR888;
      break;
    case 16:
      format = block.RgbFormat == grf_RGB555 ? QImage::Format_RGB555 : QImage::Format_RGB16;
      break;
    default:
      return;
  }
  const qsizetype stride = ((static_cast<qsizetype>(width) * h.biBitCount + 31) / 32) * 4;
  if (width <= 0 || height <= 0 || !description.Picture || stride * height > length) return;
  // The picture is the sample's own buffer; frames are kept top row first, so a bottom-up
  // sample is turned only in the copy made of a taken frame (samples that are not taken cost no
  // copy at all).
  QImage& picture = SampleView(description.Picture, width, height, stride, format);
  HandOver.TakeFrame(*this, picture, sampleTime, h.biHeight > 0);
}

QImage& TCaptureCore::SampleView(uchar* bits, int width, int height, qsizetype stride,
                                 QImage::Format format) {
  for (QImage& view : sampleViews_)
    if (view.constBits() == bits && view.width() == width && view.height() == height &&
        view.bytesPerLine() == stride && view.format() == format)
      return view;
  QImage& view = sampleViews_[nextSampleView_];
  nextSampleView_ = (nextSampleView_ + 1) % sampleViews_.size();
  view = QImage(bits, width, height, stride, format);
  return view;
}

// ---- building ----

TGrabberRgbFormat TCaptureCore::ChooseGrabberFormat() {
  const QString subtype = SubtypeName(ChosenSubtype());
  auto offered = [this](const char* name) {
    for (const QString& s : VideoSubtypeList)
      if (SubtypeName(s) == QLatin1String(name)) return true;
    return false;
  };
  const bool processing = ColorAdjustment || TransformNeeded;
  const TFrameGrabberRGBFormat wanted = Settings.FrameGrabberRGBFormat;
  if (processing) {
    const int depth = wanted == fgf_RGB32 ? 32 : wanted == fgf_RGB24 ? 24 : ScreenDepth();
    if (depth == 24 && offered("RGB24")) return grf_RGB24;
    if (depth == 32 && offered("RGB32")) return grf_RGB32;
    if (depth == 16 && (offered("RGB565") || offered("RGB555"))) return grf_RGB32;
    return depth == 24 ? grf_RGB24 : grf_RGB32;
  }
  if (wanted != fgf_Default) return static_cast<TGrabberRgbFormat>(wanted);
  if (subtype == QLatin1String("RGB32")) return grf_RGB32;
  if (subtype == QLatin1String("RGB24")) return grf_RGB24;
  if (subtype == QLatin1String("RGB565")) return grf_RGB565;
  if (subtype == QLatin1String("RGB555")) return grf_RGB555;
  return ScreenDepth() == 24 ? grf_RGB24 : grf_RGB32;
}

int TCaptureCore::ScreenDepth() {
  // The offscreen and most desktop screens are 32 bits per pixel.
  return 32;
}

bool TCaptureCore::ConnectPins(IPin* out, IPin* in) {
  if (!out || !in) {
    TraceWrite({}, kMarkRed,
               !out ? QStringLiteral("connect: OutPin not assigned")
                    : QStringLiteral("connect: In not assigned"));
    return false;
  }
  IGraphBuilder* graph = graph_->Graph.Get();
  if (scaledOutput_ && out == scaledOutput_.Get()) {
    // The scaling decoder's output: the asked size first, in either RGB subtype.
    for (const GUID* subtype : {&MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_RGB24}) {
      const MediaType wanted =
          MediaType::Video(*subtype, scaledSize_.width(), scaledSize_.height(), scaledInterval_);
      if (SUCCEEDED(graph->ConnectDirect(out, in, wanted.Get()))) return true;
    }
  }
  if (SUCCEEDED(graph->ConnectDirect(out, in, nullptr))) return true;
  graph->Disconnect(out);
  graph->Disconnect(in);
  if (SUCCEEDED(graph->Connect(out, in))) return true;
  graph->Disconnect(out);
  graph->Disconnect(in);
  return false;
}

bool TCaptureCore::InsertGrabber(int slotIndex, TGrabberMode mode, TGrabberRgbFormat format,
                                 bool delivery, ComPtr<IPin>& upstream) {
  FilterSlot& slot = slots_[static_cast<std::size_t>(slotIndex)];
  const bool modifying = mode == GRB_RGB;
  const QString name = RandomTag(modifying ? "GRB_RGB" : "GRB_Dummy");
  auto fail = [&] {
    if (slot.Filter && graph_->Graph) graph_->Graph->RemoveFilter(slot.Filter.Get());
    slot.Release();
    TraceWrite({}, kMarkRed, QStringLiteral("insert grabber filter"));
    return false;
  };
  if (!CreateLibraryFilter(
          this, name, modifying ? kCreateLocalGrabberInstance : kCreateLocalGrabberInstanceNoModify,
          slot))
    return fail();
  if (FAILED(slot.Filter.As(&slot.Grabber)) || FAILED(slot.Grabber->Setup(mode, &slot.Block)) ||
      !slot.Block)
    return fail();
  GrabberControlBlock& b = *slot.Block;
  b.FrameCallback = modifying ? &GrabberFrameCallbackImpl : nullptr;
  b.Flag1 = b.Flag2 = b.Flag3 = 1;
  b.FrameDelivery = delivery ? 1 : 0;
  b.Context = this;
  b.Five = 5;
  std::memset(b.Zero, 0, sizeof b.Zero);
  b.ZeroField = 0;
  b.RgbFormat = format;
  b.Processing = ProcessingBlock();
  if (b.Version != kGrabberVersion) {
    ReportIf(this, true, sv_Error, e_CaptureFilter_obsolete,
             QStringLiteral("frame grabber filter obsolete"));
    return fail();
  }
  const std::u16string wname = name.toStdU16String();
  if (!ReportResult(this, graph_->Graph->AddFilter(slot.Filter.Get(), wname.c_str()), sv_Error,
                    e_add_filter, QStringLiteral("rejected: ") + name))
    return fail();
  ComPtr<IPin> in, out;
  graph_->Builder->FindPin(slot.Filter.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                           in.ReleaseAndGetAddressOf());
  graph_->Builder->FindPin(slot.Filter.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                           out.ReleaseAndGetAddressOf());
  if (!in || !out || !ConnectPins(upstream.Get(), in.Get())) return fail();
  upstream = out;
  return true;
}

bool TCaptureCore::InsertRenderer(ComPtr<IPin>& upstream) {
  TraceWrite({}, kMarkDefault, QStringLiteral("ADR begin"));
  for (TDisplayRecord& r : records_) {
    r.Window.Reset();
    r.Renderer.Reset();
    r.Added = false;
  }
  // With both displays active an infinite pin tee feeds the two renderers.
  const bool dual =
      Settings.VideoRenderer != vr_None && Settings.Display_Active && Settings.DualDisplay_Active;
  if (!dual) return AddRenderer(0, upstream.Get());
  if (Settings.ColorKeyEnabled)
    ReportIf(this, true, sv_Error, e_incompatible_options,
             QStringLiteral("window transparency incompatible with dual display"));
  ComPtr<IBaseFilter> tee;
  if (FAILED(CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              tee.ReleaseAndGetVoidAddress())) ||
      FAILED(graph_->Graph->AddFilter(tee.Get(), u"InfTee")))
    return false;
  ComPtr<IPin> in;
  graph_->Builder->FindPin(tee.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                           in.ReleaseAndGetAddressOf());
  if (!in || !ConnectPins(upstream.Get(), in.Get())) {
    graph_->Graph->RemoveFilter(tee.Get());
    return false;
  }
  for (int index : {0, 1}) {
    // The tee always has one free output; each connection adds the next.
    ComPtr<IPin> out;
    graph_->Builder->FindPin(tee.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                             out.ReleaseAndGetAddressOf());
    if (!out || !AddRenderer(index, out.Get())) return false;
  }
  return true;
}

bool TCaptureCore::AddRenderer(int index, IPin* upstream) {
  TDisplayRecord& record = records_[static_cast<std::size_t>(index)];
  ComPtr<IBaseFilter> renderer;
  const bool none = Settings.VideoRenderer == vr_None;
  TraceWrite({}, kMarkDefault, QStringLiteral("ADR cr normal"));
  if (FAILED(CoCreateInstance(none ? CLSID_NullRenderer : CLSID_VideoRenderer, nullptr,
                              CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              renderer.ReleaseAndGetVoidAddress())))
    return false;
  const std::u16string name = RandomTag("rndr").toStdU16String();
  if (FAILED(graph_->Graph->AddFilter(renderer.Get(), name.c_str()))) return false;
  TraceWrite({}, kMarkDefault, QStringLiteral("ADR add filt"));
  if (FAILED(graph_->Builder->RenderStream(nullptr, nullptr, upstream, nullptr, renderer.Get()))) {
    graph_->Graph->RemoveFilter(renderer.Get());
    TraceWrite({}, kMarkRed, QStringLiteral("installing display done"));
    return false;
  }
  TraceWrite({}, kMarkDefault, QStringLiteral("IVR cx ok"));
  // The picture's size as the renderer receives it.
  ComPtr<IPin> in;
  graph_->Builder->FindPin(renderer.Get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0,
                           in.ReleaseAndGetAddressOf());
  AM_MEDIA_TYPE mt{};
  if (in && SUCCEEDED(in->ConnectionMediaType(&mt))) {
    if (const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt)) {
      VideoWidth = bih->biWidth;
      VideoHeight = std::abs(bih->biHeight);
    }
    FreeMediaType(mt);
  }
  record.Renderer = renderer;
  record.Added = true;
  if (!none && SUCCEEDED(renderer.As(&record.Window))) {
    record.Window->put_AutoShow(OAFALSE);
    // The form is made the first time a renderer's window is set up, and reused afterwards.
    RunOnUiThread([&] {
      if (!record.Form) record.Form = new TDisplayForm(Owner, this, index);
    });
  }
  return true;
}

bool TCaptureCore::RestartGraph(TCaptureState mode) {
  TSyncManager* manager = SyncManager();
  TDevices* list = DeviceList(dk_VideoDevices);
  if (!manager || (mode != cs_Previewing && mode != cs_Recording) || !Initialized ||
      DeviceListsState() != dl_Created || !list)
    return false;
  if (list->Count() == 0) {
    ReportIf(this, true, sv_Error, e_no_video_input_device,
             QStringLiteral("no video capture device"));
    return false;
  }
  if (VideoDevice >= list->Count() || building_) return false;
  building_ = true;
  TraceWrite({}, kMarkPurple,
             QStringLiteral("BEGIN RestartGraph ") + QString::number(static_cast<int>(mode)));
  StopGraph();
  bool ok = true;
  if (OpenedVideoDevice != VideoDevice) ok = SelectVideoDevice();
  ok = ok && DeviceDiscovered;
  bool busy = false;
  if (ok) {
    const TEventNotification reinitializing = Owner->OnReinitializing;
    if (Owner->EventReady(reinitializing)) reinitializing(Owner);
    BeginBusy();
    busy = true;
    CaptureState.store(mode);
    if (mode != cs_Previewing) PreviewWanted = false;
    ClearGraph(false);
    RunFrameGrabber = Settings.FrameGrabber;
    const TGrabberRgbFormat format = ChooseGrabberFormat();
    HandOver.Reset(*this);
    ok = BuildPreview(format);
  }
  if (ok) {
    TraceWrite({}, kMarkDefault, QStringLiteral("Preview BUILDOWN END"));
    buildStage_ = 3;
  }
  TraceWrite({}, kMarkPurple, QStringLiteral("END RestartGraph"));
  if (!ok) {
    ClearGraph(true);
    PreviewWanted = true;
    ReportIf(this, true, sv_Error,
             mode == cs_Previewing ? e_failed_to_start_preview : e_failed_to_start_recording,
             mode == cs_Previewing ? QStringLiteral("failed to start preview")
                                   : QStringLiteral("failed to start recording"));
    CaptureState.store(cs_Idle);
    // A camera that could not be opened (in use, no permission, gone) is the player's to fix.
    if (FAILED(DeviceOpenResult)) ShowPlayerMessage(StartFailureText(DeviceOpenResult));
  }
  if (busy) EndBusy();
  building_ = false;
  if (ok && buildStage_ == 3) {
    buildStage_ = 4;
    TraceWrite({}, kMarkDefault, QStringLiteral("begin activate graph"));
    const HRESULT hr = ChangeGraphState(gs_Running, QStringLiteral("bprev"));
    TraceWrite({}, kMarkDefault, QStringLiteral("end activate graph"));
    if (FAILED(hr)) {
      ActivationFailed(mode, hr);
      return false;
    }
    ShowDisplay();
    WatchPicture();
    buildStage_ = 5;
  }
  return ok;
}

// A graph that would not run (the camera unplugged during the start, or in use by another
// program) is not left "previewing" with nothing streaming: the start fails, the player is told
// why, and a lost camera raises OnDeviceLost as a loss while previewing would.
void TCaptureCore::ActivationFailed(TCaptureState mode, HRESULT hr) {
  ClearGraph(true);
  PreviewWanted = true;
  ReportResult(this, hr, sv_Error,
               mode == cs_Previewing ? e_failed_to_start_preview : e_failed_to_start_recording,
               mode == cs_Previewing ? QStringLiteral("failed to start preview")
                                     : QStringLiteral("failed to start recording"));
  CaptureState.store(cs_Idle);
  ShowPlayerMessage(StartFailureText(hr));
  if (hr == VFW_E_DEVICE_LOST) PostEvent(Owner->OnDeviceLost);
}

bool TCaptureCore::BuildBaseGraph() {
  TraceWrite({}, kMarkDefault, QStringLiteral("creating base graph"));
  if (!graph_->Build(this, OpenedVideoDevice, false)) return false;
  ApplyVideoSize(*graph_);
  ApplyVideoQuality(*graph_);
  ApplyCameraControl(*graph_);
  if (graph_->VideoCrossbar)
    RestoreCrossbarRouting(graph_->VideoCrossbar.Get(), VideoRegSave[vrs_AMVideoCrossbar].StrValue);
  TraceWrite({}, kMarkDefault, QStringLiteral("base graph created"));
  return true;
}

bool TCaptureCore::BuildPreview(TGrabberRgbFormat format) {
  graph_ = std::make_unique<TDeviceGraph>();
  if (!BuildBaseGraph()) return false;

  const bool previewWanted = !(Settings.VideoRenderer == vr_None && RunFrameGrabber == fg_Disabled);
  if (previewWanted) {
    TraceWrite({}, kMarkDefault, QStringLiteral("BEGIN build preview"));
    ComPtr<IPin> upstream = graph_->SourcePin;
    if (!upstream) {
      ReportIf(this, true, sv_TraceOnly, e_pin_not_found,
               QStringLiteral("preview pin not assigned"));
      return false;
    }
    // A half turn swaps no dimensions, so it leaves TransformNeeded (and with it the grabber's
    // format) alone, but it still needs its transform.
    const bool transform = TransformNeeded || Settings.VideoProcessing_Rotation != rt_0_deg;
    if (transform)
      InsertTransforms(upstream);
    else
      InsertScalingDecoder(upstream);
    if (RunFrameGrabber == fg_BothStreams || RunFrameGrabber == fg_PreviewStream) {
      const bool lowDepth = format == grf_RGB565 || format == grf_RGB555 || format == grf_RGB8;
      if (lowDepth && (ColorAdjustment || transform) &&
          !InsertGrabber(fs_PreGrabber, GRB_RGB, grf_RGB24, false, upstream))
        return false;
      if (!InsertGrabber(fs_FrameGrabber, GRB_RGB, format, true, upstream)) return false;
    }
    InsertGrabber(fs_DummyGrabber, GRB_Dummy, format, false, upstream);
    if (!InsertRenderer(upstream)) {
      TraceWrite({}, kMarkRed, QStringLiteral("insert video renderer"));
      return false;
    }
    TraceWrite({}, kMarkDefault, QStringLiteral("END build preview"));
  }
  // Finishing the graph.
  graph_->Builder->FindInterface(nullptr, nullptr, graph_->Device.Get(), IID_IAMDroppedFrames,
                                 droppedFrames_.ReleaseAndGetVoidAddress());
  if (!ReportResult(this, graph_->Graph.As(&mediaControl_), sv_Error, e_get_interface,
                    QStringLiteral("get control interface")))
    return false;
  if (ReportResult(this, graph_->Graph.As(&mediaEvent_), sv_Error, e_get_interface,
                   QStringLiteral("get Event ex interface"))) {
    mediaEvent_->SetNotifyFlags(0);
    mediaEvent_->SetNotifyWindow(Owner, static_cast<long>(GraphNotifyMessage()), 1);
    mediaEvent_->CancelDefaultHandling(EC_REPAINT);
  }
  graph_->Graph->SetDefaultSyncSource();
  AssignDisplays();
  ReadGrabberMediaType();
  return true;
}

void TCaptureCore::InsertTransforms(ComPtr<IPin>& upstream) {
  FilterSlot& slot = slots_[fs_Transform];
  auto insert = [&](bool deinterlace) {
    if (!CreateLibraryFilter(this, QStringLiteral("TrnfFltr"), kCreateLocalTransformInstance,
                             slot) ||
        FAILED(slot.Filter.As(&slot.Transform)))
      return;
    TransformParams p{};
    p.Context = this;
    p.Rotation = deinterlace ? 0 : Settings.VideoProcessing_Rotation;
    p.SwappedDimensions = deinterlace ? 0 : SwappedDimensions;
    p.HalfSizeDeinterlacing = deinterlace ? HalfSizeDeinterlacing : 0;
    p.TransformNeeded = TransformNeeded;
    slot.Transform->SetParams(&p);
    graph_->Graph->AddFilter(slot.Filter.Get(), u"TrnfFltr");
    ComPtr<IPin> in, out;
    graph_->Builder->FindPin(slot.Filter.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                             in.ReleaseAndGetAddressOf());
    graph_->Builder->FindPin(slot.Filter.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                             out.ReleaseAndGetAddressOf());
    if (!in || !out || !ConnectPins(upstream.Get(), in.Get())) {
      TraceWrite({}, kMarkRed, QStringLiteral("ERROR: InsertExistingFilter cannot find input pin"));
      return;
    }
    upstream = out;
    TraceWrite({}, kMarkDefault, QStringLiteral("InsertExistingFilter inserted  TrnfFltr"));
  };
  if (HalfSizeDeinterlacing) insert(true);
  if (Settings.VideoProcessing_Rotation != rt_0_deg) insert(false);
}

void TCaptureCore::InsertScalingDecoder(ComPtr<IPin>& upstream) {
  if (!UseNearest || NearestWidth <= 0 || NearestHeight <= 0 || !graph_->StreamConfig) return;
  MediaTypeHolder format;
  if (FAILED(graph_->StreamConfig->GetFormat(&format.mt)) || !format.mt ||
      !(format.mt->subtype == MEDIASUBTYPE_MJPG))
    return;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*format.mt);
  if (!bih) return;
  const int width = bih->biWidth, height = std::abs(bih->biHeight);
  if (width < NearestWidth || height < NearestHeight ||
      (width == NearestWidth && height == NearestHeight))
    return;
  ComPtr<IBaseFilter> decoder;
  if (FAILED(CoCreateInstance(CLSID_MjpegDec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              decoder.ReleaseAndGetVoidAddress())) ||
      FAILED(graph_->Graph->AddFilter(decoder.Get(), u"MJPEG Decompressor")))
    return;
  ComPtr<IPin> in, out;
  graph_->Builder->FindPin(decoder.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                           in.ReleaseAndGetAddressOf());
  graph_->Builder->FindPin(decoder.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                           out.ReleaseAndGetAddressOf());
  if (!in || !out || FAILED(graph_->Graph->ConnectDirect(upstream.Get(), in.Get(), nullptr))) {
    graph_->Graph->RemoveFilter(decoder.Get());
    return;
  }
  scaledOutput_ = out;
  scaledSize_ = QSize(NearestWidth, NearestHeight);
  scaledInterval_ = GetAvgTimePerFrame(*format.mt);
  upstream = out;
  TraceWrite({}, kMarkDefault,
             QStringLiteral("MJPEG decoded to %1x%2").arg(NearestWidth).arg(NearestHeight));
}

void TCaptureCore::ReadGrabberMediaType() {
  FreeGrabberMediaType();
  FilterSlot& slot = slots_[fs_FrameGrabber];
  if (!slot.Filter) return;
  ComPtr<IPin> in;
  graph_->Builder->FindPin(slot.Filter.Get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0,
                           in.ReleaseAndGetAddressOf());
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return;
  std::memset(mt, 0, sizeof *mt);
  if (!in || FAILED(in->ConnectionMediaType(mt))) {
    CoTaskMemFree(mt);
    return;
  }
  grabberMediaType_ = mt;
}

void TCaptureCore::FreeGrabberMediaType() {
  if (grabberMediaType_) DeleteMediaType(grabberMediaType_);
  grabberMediaType_ = nullptr;
}

HRESULT TCaptureCore::ChangeGraphState(TGraphState target, const QString& tag) {
  if (!mediaControl_) return E_POINTER;
  HRESULT hr = S_OK;
  switch (target) {
    case gs_Stopped:
      GraphActive.store(false);
      TraceWrite({}, kMarkDefault, QStringLiteral("ch graph state stopped ") + tag);
      hr = mediaControl_->Stop();
      GraphState.store(gs_Stopped);
      break;
    case gs_Paused:
      TraceWrite({}, kMarkDefault, QStringLiteral("ch graph state paused ") + tag);
      hr = mediaControl_->Pause();
      GraphState.store(gs_Paused);
      GraphActive.store(true);
      break;
    case gs_Running: {
      TraceWrite({}, kMarkDefault, QStringLiteral("ch graph state running ") + tag);
      // Frames may arrive as soon as the graph runs.
      GraphActive.store(true);
      GraphState.store(gs_Running);
      mediaControl_->Stop();
      hr = mediaControl_->Run();
      if (FAILED(hr)) {
        mediaControl_->Stop();
        hr = mediaControl_->Run();
      }
      if (FAILED(hr)) {
        TraceWrite({}, kMarkRed, QStringLiteral("ERROR: failed to run ") + tag);
        mediaControl_->Stop();
      } else {
        TraceWrite({}, kMarkDefault, QStringLiteral("successfully restarted ") + tag);
      }
      break;
    }
  }
  return hr;
}

// ---- stopping ----

void TCaptureCore::StopGraph() {
  if (!GraphActive.load() || stopping_) return;
  stopping_ = true;
  GraphActive.store(false);
  BeginBusy();
  const TCaptureState s = CaptureState.load();
  if (s == cs_Previewing || s == cs_Recording) ClearGraph(true);
  EndBusy();
  if (!Destroying.load()) PostEvent(Owner->OnInactive);
  stopping_ = false;
}

void TCaptureCore::ClearGraph(bool resetState) {
  const TCaptureState s = CaptureState.load();
  const bool saveSettings = Settings.VideoSource == vs_VideoCaptureDevice &&
                            (s == cs_Previewing || s == cs_Recording) &&
                            GraphState.load() != gs_Stopped && graph_ && graph_->Built();
  GraphActive.store(false);
  TraceWrite({}, kMarkDefault, QStringLiteral("begin clear"));
  HideDisplay();
  ChangeGraphState(gs_Stopped, QStringLiteral("clear"));
  GraphState.store(gs_Stopped);
  TraceWrite({}, kMarkDefault, QStringLiteral("stopped"));
  if (resetState) CaptureState.store(cs_Idle);
  TraceWrite({}, kMarkDefault, QStringLiteral("cleared"));
  if (saveSettings) {
    CaptureDeviceState(*graph_);
    SaveVideoSettings();
    TraceWrite({}, kMarkDefault, QStringLiteral("saved"));
  }
  if (mediaEvent_) {
    mediaEvent_->SetNotifyWindow(nullptr, static_cast<long>(GraphNotifyMessage()), 0);
    mediaEvent_->SetNotifyFlags(1);
  }
  mediaEvent_.Reset();
  mediaControl_.Reset();
  droppedFrames_.Reset();
  scaledOutput_.Reset();
  // The renderers go; the forms stay for the next graph.
  for (TDisplayRecord& r : records_) {
    r.Window.Reset();
    r.Renderer.Reset();
    r.Added = false;
    r.Display = nullptr;
  }
  for (TVideoWindow& d : displays_) {
    d.Record = nullptr;
    d.InUse = false;
  }
  // The grabbers go before their modules; the graph holds the last references.
  for (FilterSlot& slot : slots_) {
    slot.Grabber.Reset();
    slot.Transform.Reset();
    slot.Block = nullptr;
  }
  if (graph_) graph_->TearDown();
  graph_.reset();
  TraceWrite({}, kMarkDefault, QStringLiteral("interfaces cl"));
  ReleaseFrameRecords();
  FreeGrabberMediaType();
  for (FilterSlot& slot : slots_) slot.Release();
  buildStage_ = 0;
  if (!Destroying.load()) Owner->update();
  TraceWrite({}, kMarkDefault, QStringLiteral("end clear"));
}

// ---- graph events ----

void TCaptureCore::HandleGraphNotify() {
  if (!mediaEvent_) return;
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  while (mediaEvent_ && mediaEvent_->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    mediaEvent_->FreeEventParams(code, p1, p2);
    HandleGraphEvent(code, static_cast<long>(p1));
    if (code == EC_VIDEO_SIZE_CHANGED) LayoutDisplay();
  }
}
