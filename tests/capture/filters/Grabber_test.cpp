// Tests of the grabbers made through the packed filter library, streaming between the media
// tests' synthetic source and recording sink.
#include <atomic>
#include <mutex>
#include <set>

#include "FilterTestSupport.h"
#include "GdiProbe.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;
constexpr long kFrameBytes = kWidth * kHeight * 4;

// RGB32 pixel bytes: blue = column, green = frame number, red = stored row: the column tells
// whether a picture was mirrored.
void FillPattern(const AM_MEDIA_TYPE&, BYTE* data, long bytes, long frame) {
  for (long i = 0; i + 3 < bytes; i += 4) {
    data[i] = static_cast<BYTE>((i / 4) % kWidth);
    data[i + 1] = static_cast<BYTE>(frame);
    data[i + 2] = static_cast<BYTE>((i / 4) / kWidth);
    data[i + 3] = 0;
  }
}

// The pattern of frame 0 on every frame.
void FillStill(const AM_MEDIA_TYPE& mt, BYTE* data, long bytes, long) {
  FillPattern(mt, data, bytes, 0);
}

SourceOptions PatternSource(bool topDown = false) {
  SourceOptions options;
  MediaType type = MediaType::Video(MEDIASUBTYPE_RGB32, kWidth, kHeight, UNITS / 30);
  if (topDown) GetBitmapInfoHeader(*type.Get())->biHeight = -kHeight;
  options.types = {type};
  options.frameIntervalMs = 2;
  options.fill = FillPattern;
  return options;
}

// What the frame callback saw; the block's Context points here.
struct CallbackLog {
  std::mutex mutex;
  std::vector<int> column0Blue;  // blue of the first stored pixel, per call
  std::set<void*> bitmaps;       // every bitmap handle handed out
  std::vector<QString> problems;
  std::int32_t expectedHeight = kHeight;
  int flipAfterCall = -1;  // this call switches FlipHorizontal on for the next sample
  bool mark = false;       // write 0xEE into the first pixel's unused byte
  int Calls() {
    std::lock_guard lock(mutex);
    return static_cast<int>(column0Blue.size());
  }
};

void Check(CallbackLog& log, bool ok, const char* what) {
  if (!ok) log.problems.push_back(what);
}

void OnFrame(GrabberControlBlock* block, std::uint32_t startLow, std::int32_t startHigh,
             std::int32_t, std::int32_t, IMediaSample* sample, std::int32_t length, void* bitmap,
             void* dc, GrabberFrameDescription* description) {
  auto& log = *static_cast<CallbackLog*>(block->Context);
  std::lock_guard lock(log.mutex);
  BYTE* bits = nullptr;
  sample->GetPointer(&bits);
  REFERENCE_TIME start = -1, end = -1;
  sample->GetTime(&start, &end);
  const auto time = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(startHigh)) << 32) | startLow);
  Check(log, time == start, "start time halves");
  Check(log, length == kFrameBytes, "picture length");
  Check(log, bitmap && dc, "null bitmap or context");
  Check(log, description->Picture == bits, "picture is not the sample's buffer");
  const DIBSECTION& ds = description->DibSection;
  Check(log, ds.dsBm.bmBits == bits, "bmBits");
  Check(log, ds.dsBmih.biWidth == kWidth && ds.dsBmih.biHeight == log.expectedHeight,
        "header size or row order");
  Check(log, ds.dsBmih.biBitCount == 32 && ds.dsBm.bmWidthBytes == kWidth * 4, "bit depth");
  if (bitmap && dc)
    Check(log, BitmapIsOverPicture(bitmap, dc, bits),
          "bitmap not over the picture or not selected");
  log.column0Blue.push_back(bits[0]);
  log.bitmaps.insert(bitmap);
  if (log.mark) bits[3] = 0xEE;
  if (static_cast<int>(log.column0Blue.size()) == log.flipAfterCall)
    std::atomic_ref<std::uint8_t>(block->Processing.FlipHorizontal)
        .store(1, std::memory_order_relaxed);
}

class GrabberTest : public FilterLibraryTest {
 protected:
  // Creates a grabber through the library and sets it up as the control would.
  GrabberControlBlock* MakeGrabber(const char* exportName, std::int32_t mode) {
    if (!CreateLibraryFilter(Core(), "GRB", exportName, slot_) || !slot_.Grabber) return nullptr;
    GrabberControlBlock* block = nullptr;
    if (slot_.Grabber->Setup(mode, &block) != S_OK || !block) return nullptr;
    block->FrameCallback = OnFrame;
    block->Flag1 = block->Flag2 = block->Flag3 = 1;
    block->Context = &log_;
    block->Five = 5;
    block->RgbFormat = grf_RGB32;
    block->FrameDelivery = 1;
    slot_.Block = block;
    return block;
  }
  CallbackLog log_;
};

}  // namespace

// Catches: a grabber that answers another version, accepts modes without a name, or lets the
// pass-through grabber take the modifying mode.
TEST_F(GrabberTest, SetupAnswersBlockWithVersionAndChecksModes) {
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->Version, 7035);
  GrabberControlBlock* again = nullptr;
  EXPECT_EQ(slot_.Grabber->Setup(GRB_Dummy, &again), S_OK);
  EXPECT_EQ(again, block) << "the block lives as long as the filter";
  EXPECT_EQ(slot_.Grabber->Setup(7, &again), E_INVALIDARG);
  EXPECT_EQ(slot_.Grabber->Setup(9, &again), E_INVALIDARG);
  EXPECT_EQ(slot_.Grabber->Setup(GRB_RGB, nullptr), E_POINTER);

  FilterSlot plain;
  ASSERT_TRUE(CreateLibraryFilter(Core(), "GRB_Dummy", kCreateLocalGrabberInstanceNoModify, plain));
  GrabberControlBlock* plainBlock = nullptr;
  EXPECT_EQ(plain.Grabber->Setup(GRB_RGB, &plainBlock), E_INVALIDARG);
  EXPECT_EQ(plain.Grabber->Setup(GRB_Dummy, &plainBlock), S_OK);
  ASSERT_TRUE(plainBlock);
  EXPECT_EQ(plainBlock->Version, 7035);
  plain.Release();
}

// Catches: the modifying grabber taking a subtype other than the block's RGB format (the graph
// would then not insert the converter), or the pass-through grabber refusing a video type.
TEST_F(GrabberTest, InputTypesFollowRgbFormat) {
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
  ASSERT_TRUE(block);
  ComPtr<IPin> input = PinOf(slot_.Filter.Get(), PINDIR_INPUT);
  const MediaType rgb32 = MediaType::Video(MEDIASUBTYPE_RGB32, kWidth, kHeight, 0);
  const MediaType rgb24 = MediaType::Video(MEDIASUBTYPE_RGB24, kWidth, kHeight, 0);
  const MediaType yuy2 = MediaType::Video(MEDIASUBTYPE_YUY2, kWidth, kHeight, 0);
  EXPECT_EQ(input->QueryAccept(rgb32.Get()), S_OK);
  EXPECT_NE(input->QueryAccept(rgb24.Get()), S_OK);
  block->RgbFormat = grf_RGB24;
  EXPECT_EQ(input->QueryAccept(rgb24.Get()), S_OK);
  EXPECT_NE(input->QueryAccept(rgb32.Get()), S_OK);
  EXPECT_NE(input->QueryAccept(yuy2.Get()), S_OK);

  FilterSlot plain;
  ASSERT_TRUE(CreateLibraryFilter(Core(), "GRB_Dummy", kCreateLocalGrabberInstanceNoModify, plain));
  ComPtr<IPin> plainInput = PinOf(plain.Filter.Get(), PINDIR_INPUT);
  EXPECT_EQ(plainInput->QueryAccept(yuy2.Get()), S_OK);
  EXPECT_EQ(plainInput->QueryAccept(rgb24.Get()), S_OK);
  plainInput.Reset();
  plain.Release();
}

// Catches: a frame callback that is not called per sample, gets a description that disagrees
// with the picture (size, row order, bit depth, address, handles), or whose drawing does not
// reach downstream; and FlipHorizontal not mirroring what the callback and the sink see.
TEST_F(GrabberTest, FlipHorizontalMirrorsCallbackAndDownstream) {
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
  ASSERT_TRUE(block);
  block->Processing.FlipHorizontal = 1;
  log_.mark = true;
  {
    FilterChain chain(PatternSource(), slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 5 && log_.Calls() >= 5; }));
    chain.Stop();
    const std::vector<BYTE> last = chain.sink->LastFrame();
    ASSERT_EQ(last.size(), static_cast<std::size_t>(kFrameBytes));
    for (int row = 0; row < kHeight; ++row) {
      SCOPED_TRACE(row);
      EXPECT_EQ(last[row * kWidth * 4], kWidth - 1);
      EXPECT_EQ(last[(row * kWidth + kWidth - 1) * 4], 0);
      EXPECT_EQ(last[row * kWidth * 4 + 2], row) << "rows moved";
    }
    EXPECT_EQ(last[3], 0xEE) << "the callback's drawing did not go downstream";
  }
  std::lock_guard lock(log_.mutex);
  EXPECT_TRUE(log_.problems.empty()) << log_.problems.front().toStdString();
  for (int blue : log_.column0Blue) EXPECT_EQ(blue, kWidth - 1);
}

// Catches: a bitmap (and its pixel copy) made for every sample instead of one per buffer of
// the upstream pool, which would allocate on every frame.
TEST_F(GrabberTest, BitmapsAreReusedAcrossSamples) {
  ASSERT_TRUE(MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB));
  {
    FilterChain chain(PatternSource(), slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return log_.Calls() >= 30; }));
  }
  std::lock_guard lock(log_.mutex);
  EXPECT_TRUE(log_.problems.empty());
  EXPECT_LE(log_.bitmaps.size(), 4u) << "over " << log_.column0Blue.size() << " samples";
}

// Catches: colour operations that do nothing, touch the wrong channels, or break the picture
// layout: inversion, grey scale, brightness and full-size deinterlacing on one sample each.
TEST_F(GrabberTest, ColourOperationsChangePixelsAsSet) {
  struct Case {
    const char* what;
    void (*set)(VideoProcessingBlock&);
    bool (*pixelOk)(const BYTE* original, const BYTE* processed);
  };
  const Case cases[] = {
      {"invert", [](VideoProcessingBlock& b) { b.InvertColors = b.ColorAdjustment = 1; },
       [](const BYTE* o, const BYTE* p) {
         return p[0] == 255 - o[0] && p[1] == 255 - o[1] && p[2] == 255 - o[2];
       }},
      {"grey", [](VideoProcessingBlock& b) { b.GrayScale = b.ColorAdjustment = 1; },
       [](const BYTE*, const BYTE* p) { return p[0] == p[1] && p[1] == p[2]; }},
      {"brightness",
       [](VideoProcessingBlock& b) {
         b.Brightness = 100;
         b.ColorAdjustment = 1;
       },
       [](const BYTE*, const BYTE* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }},
      {"deinterlace", [](VideoProcessingBlock& b) { b.FullSizeDeinterlacing = 1; },
       [](const BYTE* o, const BYTE* p) {
         // Red holds the stored row: rows keep their value or take a neighbours' mean.
         return p[0] == o[0] && (p[2] == o[2] || p[2] == o[2] + 1 || p[2] == o[2] - 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    slot_.Release();
    GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
    ASSERT_TRUE(block);
    c.set(block->Processing);
    SourceOptions still = PatternSource();
    still.fill = FillStill;
    FilterChain chain(still, slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 2; }));
    chain.Stop();
    const std::vector<BYTE> last = chain.sink->LastFrame();
    ASSERT_EQ(last.size(), static_cast<std::size_t>(kFrameBytes));
    std::vector<BYTE> original(kFrameBytes);
    FillStill(*MediaType().Get(), original.data(), kFrameBytes, 0);
    int changed = 0;
    for (long i = 0; i < kFrameBytes; i += 4) {
      ASSERT_TRUE(c.pixelOk(&original[i], &last[i])) << "pixel " << i / 4;
      changed += std::memcmp(&original[i], &last[i], 3) != 0;
    }
    EXPECT_GT(changed, 0) << "nothing changed";
  }
}

// Catches: a top-down sample described bottom-up (a picture upside down for the control).
TEST_F(GrabberTest, TopDownPictureDescribedWithNegativeHeight) {
  ASSERT_TRUE(MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB));
  log_.expectedHeight = -kHeight;
  {
    FilterChain chain(PatternSource(true), slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return log_.Calls() >= 3; }));
  }
  std::lock_guard lock(log_.mutex);
  EXPECT_TRUE(log_.problems.empty()) << log_.problems.front().toStdString();
}

// Catches: the block read once per connection or cached, so that a FlipHorizontal switched
// while streaming is late or never seen; or taking effect in the middle of a sample.
TEST_F(GrabberTest, FlipSwitchedBetweenSamplesTakesEffectOnTheNext) {
  ASSERT_TRUE(MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB));
  log_.flipAfterCall = 3;
  {
    FilterChain chain(PatternSource(), slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return log_.Calls() >= 6; }));
  }
  std::lock_guard lock(log_.mutex);
  ASSERT_GE(log_.column0Blue.size(), 6u);
  for (std::size_t i = 0; i < log_.column0Blue.size(); ++i)
    EXPECT_EQ(log_.column0Blue[i], i < 3 ? 0 : kWidth - 1) << "call " << i + 1;
}

// Catches: frame delivery switched off (a pre-processing grabber) still calling back, while the
// processing still applies.
TEST_F(GrabberTest, NoFrameDeliveryStillProcessesWithoutCallback) {
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
  ASSERT_TRUE(block);
  block->FrameDelivery = 0;
  block->Processing.FlipHorizontal = 1;
  FilterChain chain(PatternSource(), slot_.Filter.Get());
  ASSERT_TRUE(chain.connected);
  ASSERT_TRUE(chain.Run());
  EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 3; }));
  chain.Stop();
  EXPECT_EQ(log_.Calls(), 0);
  EXPECT_EQ(chain.sink->LastFrame().at(0), kWidth - 1);
}

// Catches: the pass-through grabber (or the modifying one outside GRB_RGB) changing bytes or
// calling the frame callback; the notify mode not calling its callback with sample times.
TEST_F(GrabberTest, PassThroughModesLeaveBytesUnchanged) {
  struct Case {
    const char* exportName;
    std::int32_t mode;
  };
  for (const Case& c : {Case{kCreateLocalGrabberInstanceNoModify, GRB_Dummy},
                        Case{kCreateLocalGrabberInstanceNoModify, GRB_Notify},
                        Case{kCreateLocalGrabberInstance, GRB_Dummy}}) {
    SCOPED_TRACE(std::string(c.exportName) + " mode " + std::to_string(c.mode));
    slot_.Release();
    GrabberControlBlock* block = MakeGrabber(c.exportName, c.mode);
    ASSERT_TRUE(block);
    block->Processing.FlipHorizontal = 1;
    block->Processing.InvertColors = 1;
    static std::atomic<int> notified;
    notified = 0;
    block->NotifyCallback = [](GrabberControlBlock*, std::int64_t time) {
      if (time >= 0) notified.fetch_add(1);
    };
    FilterChain chain(PatternSource(), slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 3; }));
    chain.Stop();
    std::vector<BYTE> expected(kFrameBytes);
    const std::vector<BYTE> last = chain.sink->LastFrame();
    ASSERT_EQ(last.size(), expected.size());
    FillPattern(*MediaType().Get(), expected.data(), kFrameBytes, last[1]);
    EXPECT_EQ(last, expected);
    EXPECT_EQ(log_.Calls(), 0);
    if (c.mode == GRB_Notify)
      EXPECT_GE(notified.load(), 3);
    else
      EXPECT_EQ(notified.load(), 0);
  }
}

// Catches: colour operations skipped at 16 bits per pixel (or channels packed back into the
// wrong bits): inversion of a 5-6-5 and a 5-5-5 picture flips every colour bit.
TEST_F(GrabberTest, ColourOperationsWorkAtSixteenBits) {
  constexpr long kBytes16 = kWidth * kHeight * 2;
  auto fill = [](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
    for (long i = 0; i + 1 < bytes; i += 2) {
      data[i] = static_cast<BYTE>(i * 7);
      data[i + 1] = static_cast<BYTE>(i * 3 + 1);
    }
  };
  for (bool rgb565 : {true, false}) {
    SCOPED_TRACE(rgb565 ? "RGB565" : "RGB555");
    slot_.Release();
    GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstance, GRB_RGB);
    ASSERT_TRUE(block);
    block->RgbFormat = rgb565 ? grf_RGB565 : grf_RGB555;
    block->FrameDelivery = 0;
    block->Processing.InvertColors = block->Processing.ColorAdjustment = 1;
    SourceOptions source;
    source.types = {MediaType::Video(rgb565 ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB555, kWidth,
                                     kHeight, UNITS / 30)};
    source.frameIntervalMs = 2;
    source.fill = fill;
    FilterChain chain(source, slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 2; }));
    chain.Stop();
    const std::vector<BYTE> last = chain.sink->LastFrame();
    ASSERT_EQ(last.size(), static_cast<std::size_t>(kBytes16));
    std::vector<BYTE> original(kBytes16);
    fill(*MediaType().Get(), original.data(), kBytes16, 0);
    const std::uint16_t colourBits = rgb565 ? 0xFFFF : 0x7FFF;
    for (long i = 0; i < kBytes16; i += 2) {
      const auto o = static_cast<std::uint16_t>(original[i] | original[i + 1] << 8);
      const auto p = static_cast<std::uint16_t>(last[i] | last[i + 1] << 8);
      ASSERT_EQ(p & colourBits, ~o & colourBits) << "pixel " << i / 2;
    }
  }
}

namespace {

// Known pixels for the recording modes, 4 x 2: 16-bit 5-6-5 words and 32-bit BGRA quads, with
// the 24-bit BGR each stands for (5 and 6 bits widened with their high bits repeated).
constexpr int kModeWidth = 4;
constexpr int kModeHeight = 2;
constexpr std::uint16_t kPixels565[8] = {0xF800, 0x07E0, 0x001F, 0x8410,
                                         0xFFFF, 0x0000, 0x0841, 0x7BEF};
constexpr BYTE kBgrOf565[8][3] = {{0, 0, 255},     {0, 255, 0}, {255, 0, 0}, {132, 130, 132},
                                  {255, 255, 255}, {0, 0, 0},   {8, 8, 8},   {123, 125, 123}};
constexpr BYTE kPixels32[8][4] = {{1, 2, 3, 9},       {4, 5, 6, 9},      {7, 8, 9, 9},
                                  {10, 11, 12, 9},    {200, 100, 50, 9}, {0, 0, 0, 9},
                                  {255, 255, 255, 9}, {13, 14, 15, 9}};

struct ModeCase {
  const char* name;
  std::int32_t mode;
  bool input565;           // else RGB32
  std::int32_t rgbFormat;  // the block's format
  int callbackBits;        // 0: no frame callback expected
  bool untimedDownstream;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<BYTE> ModeInput(bool input565) {
  std::vector<BYTE> bytes;
  for (int i = 0; i < 8; ++i) {
    if (input565) {
      bytes.push_back(static_cast<BYTE>(kPixels565[i] & 0xFF));
      bytes.push_back(static_cast<BYTE>(kPixels565[i] >> 8));
    } else {
      bytes.insert(bytes.end(), kPixels32[i], kPixels32[i] + 4);
    }
  }
  return bytes;
}

// What the callee of a recording mode should see: the input as it came, or widened.
std::vector<BYTE> ExpectedCallbackPixels(const ModeCase& c) {
  if (c.callbackBits == (c.input565 ? 16 : 32)) return ModeInput(c.input565);
  std::vector<BYTE> bytes;
  for (int i = 0; i < 8; ++i) {
    const BYTE* bgr = c.input565 ? kBgrOf565[i] : kPixels32[i];
    bytes.insert(bytes.end(), bgr, bgr + 3);
    if (c.callbackBits == 32) bytes.push_back(0);
  }
  return bytes;
}

struct ModeLog {
  std::mutex mutex;
  std::vector<BYTE> seen;  // picture of the last frame callback
  int bits = 0;
  int frames = 0;
  bool sharedBuffer = false;  // the callee was handed the stream's own buffer
};

std::atomic<int> untimedSamples{0};
std::atomic<int> timedSamples{0};

}  // namespace

class GrabberModeTest : public GrabberTest, public ::testing::WithParamInterface<ModeCase> {};

// Catches: a recording mode that passes samples through doing nothing, changes what goes
// downstream, hands its callee the stream's own buffer (drawing would be recorded), widens
// channels wrongly, or keeps time stamps it should clear.
TEST_P(GrabberModeTest, KnownPixelsReachCallbackAndStreamAsTheModeSays) {
  const ModeCase& c = GetParam();
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstanceNoModify, c.mode);
  ASSERT_TRUE(block);
  ModeLog log;
  block->Context = &log;
  block->RgbFormat = c.rgbFormat;
  block->FrameCallback = [](GrabberControlBlock* b, std::uint32_t, std::int32_t, std::int32_t,
                            std::int32_t, IMediaSample* sample, std::int32_t length, void*, void*,
                            GrabberFrameDescription* description) {
    auto& l = *static_cast<ModeLog*>(b->Context);
    std::lock_guard lock(l.mutex);
    BYTE* bits = nullptr;
    sample->GetPointer(&bits);
    l.sharedBuffer |= description->Picture == bits;
    l.seen.assign(description->Picture, description->Picture + length);
    l.bits = description->DibSection.dsBmih.biBitCount;
    ++l.frames;
    std::memset(description->Picture, 0xEE, static_cast<std::size_t>(length));  // the callee draws
  };
  // A sample grabber behind it reports whether samples still carry their time stamps.
  FilterSlot after;
  ASSERT_TRUE(
      CreateLibraryFilter(Core(), "GRB_Sample", kCreateLocalGrabberInstanceNoModify, after));
  GrabberControlBlock* afterBlock = nullptr;
  ASSERT_EQ(after.Grabber->Setup(GRB_Sample, &afterBlock), S_OK);
  untimedSamples = timedSamples = 0;
  afterBlock->SampleCallback = [](GrabberControlBlock*, IMediaSample* sample) {
    REFERENCE_TIME start = 0, end = 0;
    (sample->GetTime(&start, &end) == S_OK ? timedSamples : untimedSamples).fetch_add(1);
  };

  const std::vector<BYTE> input = ModeInput(c.input565);
  SourceOptions source;
  source.types = {MediaType::Video(c.input565 ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB32,
                                   kModeWidth, kModeHeight, UNITS / 30)};
  source.frameIntervalMs = 2;
  source.fill = [input](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
    std::memcpy(data, input.data(), std::min<std::size_t>(input.size(), bytes));
  };
  {
    FilterChain chain(source, slot_.Filter.Get(), after.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 3; }));
    chain.Stop();
    EXPECT_EQ(chain.sink->LastFrame(), input) << "the stream's picture changed";
  }
  after.Release();
  EXPECT_EQ(untimedSamples.load() > 0, c.untimedDownstream);
  EXPECT_EQ(timedSamples.load() > 0, !c.untimedDownstream);
  std::lock_guard lock(log.mutex);
  if (!c.callbackBits) {
    EXPECT_EQ(log.frames, 0);
    return;
  }
  EXPECT_GE(log.frames, 3);
  EXPECT_FALSE(log.sharedBuffer);
  EXPECT_EQ(log.bits, c.callbackBits);
  EXPECT_EQ(log.seen, ExpectedCallbackPixels(c));
}

INSTANTIATE_TEST_SUITE_P(
    RecordingModes, GrabberModeTest,
    ::testing::Values(ModeCase{"Lock", GRB_Lock, false, grf_RGB24, 32, false},
                      ModeCase{"Lock16", GRB_Lock, true, grf_RGB32, 16, false},
                      ModeCase{"ShiftTo24", GRB_LockAndShift, true, grf_RGB24, 24, false},
                      ModeCase{"ShiftTo32", GRB_LockAndShift, true, grf_RGB32, 32, false},
                      ModeCase{"Shift32To24", GRB_LockAndShift, false, grf_RGB24, 24, false},
                      ModeCase{"Clear", GRB_Clear, false, grf_RGB32, 0, true},
                      ModeCase{"Dummy", GRB_Dummy, false, grf_RGB32, 0, false}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// Catches: the DV mode not finding the time code and recording date packs of a DV frame (or
// decoding their binary-coded decimals wrongly).
TEST_F(GrabberTest, DvDataReportsRecordingDateAndTimeCode) {
  GrabberControlBlock* block = MakeGrabber(kCreateLocalGrabberInstanceNoModify, GRB_DvData);
  ASSERT_TRUE(block);
  static std::mutex mutex;
  static std::vector<DvDateTime> reported;
  reported.clear();
  block->TimeCodeCallback = [](GrabberControlBlock*, const std::uint8_t* timeCode) {
    DvDateTime dateTime;
    std::memcpy(&dateTime, timeCode, sizeof dateTime);
    std::lock_guard lock(mutex);
    reported.push_back(dateTime);
  };
  // One DV frame of ten sequences (120000 bytes); sequence 1 holds the time code 12:34:56
  // frame 21 (second subcode pack of block 2) and the recording date 2026-12-09 (fourth
  // auxiliary pack of block 4).
  constexpr long kSequence = 150 * 80;
  SourceOptions source;
  source.types = {MediaType::Video(MEDIASUBTYPE_RGB32, 300, 100, UNITS / 30)};
  source.frameIntervalMs = 2;
  source.fill = [](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
    std::memset(data, 0xFF, bytes);
    const BYTE timeCode[5] = {0x13, 0x21, 0x56, 0x34, 0x12};
    const BYTE date[5] = {0x62, 0xFF, 0x09, 0x12, 0x26};
    std::memcpy(data + kSequence + 2 * 80 + 3 + 1 * 8 + 3, timeCode, 5);
    std::memcpy(data + kSequence + 4 * 80 + 3 + 3 * 5, date, 5);
  };
  {
    FilterChain chain(source, slot_.Filter.Get());
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.Run());
    EXPECT_TRUE(PumpUntil([&] { return chain.sink->Count() >= 3; }));
  }
  std::lock_guard lock(mutex);
  ASSERT_FALSE(reported.empty());
  const DvDateTime& d = reported.front();
  EXPECT_EQ(std::vector<int>({d.Year, d.Month, d.Day, d.Hours, d.Minutes, d.Seconds, d.Frames}),
            std::vector<int>({2026, 12, 9, 12, 34, 56, 21}));
}
