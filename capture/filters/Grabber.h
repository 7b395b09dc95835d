// The frame grabbers of the filter library: an in-place video filter that hands each sample's
// picture to the capture control through its control block.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "capture/filters/FilterApi.h"
#include "capture/filters/PictureOps.h"
#include "platform/media/TransformFilter.h"
#include "platform/toolkit/Gdi.h"

// Bitmaps describing sample buffers where they are (no copy): one per buffer address of the
// upstream pool, made on first sight and kept, so steady streaming allocates nothing.
// Thread: the streaming thread while running; the owner's thread otherwise.
class SampleBitmaps {
 public:
  SampleBitmaps();
  ~SampleBitmaps();
  SampleBitmaps(const SampleBitmaps&) = delete;
  SampleBitmaps& operator=(const SampleBitmaps&) = delete;

  // A bitmap over bits with header's layout, selected into Dc(); nullptr for a layout a bitmap
  // cannot describe.
  HBITMAP Select(std::uint8_t* bits, const BITMAPINFOHEADER& header);
  HDC Dc() const { return dc_; }

 private:
  struct Entry {
    std::uint8_t* bits = nullptr;
    BITMAPINFOHEADER header{};
    HBITMAP bitmap = nullptr;
  };
  // More than any pool upstream holds; beyond that, entries are replaced in turn.
  std::array<Entry, 8> entries_{};
  std::size_t nextReplaced_ = 0;
  HDC dc_;
};

// Modes GRB_RGB (modifying grabber only): applies the control block's processing block to the
// sample in place, then calls the frame callback with a bitmap over the picture when frame
// delivery is on, then passes the sample on. The other modes never change the picture passed on:
// GRB_Sample calls the sample callback, GRB_Notify the notify callback; GRB_Lock calls the frame
// callback with a bitmap over a private copy of the picture, so what the callee draws stays out
// of the stream (a recording); GRB_LockAndShift does the same with the copy widened to the
// block's RGB format (RGB24 or RGB32); GRB_DvData reads the DV frame's recording date and time
// code and calls the time-code callback; GRB_Clear removes the sample's time stamps, so a
// renderer downstream shows it at once instead of holding up the stream; GRB_Dummy does nothing.
// The modifying grabber takes only the RGB subtype the block names; the pass-through grabber any
// video type.
// Thread: setup and connection on the control thread; Transform on the upstream streaming thread.
// The control block crosses threads and the library boundary with a fixed layout, so its fields
// are read with atomic loads.
class GrabberFilter final : public TransInPlaceFilter, public IGrabberSetup {
 public:
  explicit GrabberFilter(bool modifying);

  // IUnknown through the filter; IGrabberSetup added.
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return NonDelegatingQueryInterface(iid, object);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT Setup(std::int32_t mode, GrabberControlBlock** block) override;

  HRESULT CheckInputType(const AM_MEDIA_TYPE& in) override;
  HRESULT Transform(IMediaSample* sample) override;

 private:
  void DeliverFrame(IMediaSample* sample, std::uint8_t* bits, const BITMAPINFOHEADER& header,
                    long length);
  // GRB_Lock and GRB_LockAndShift: the frame callback on a copy of the sample's picture.
  void DeliverCopy(IMediaSample* sample, bool shift);
  void ReportDvDateTime(IMediaSample* sample);

  const bool modifying_;
  std::atomic<std::int32_t> mode_{GRB_Dummy};
  GrabberControlBlock block_{};
  ColourTables tables_;  // streaming thread
  SampleBitmaps bitmaps_;
  std::vector<std::uint8_t> copy_;  // streaming thread; grows to the largest picture, then stays
};
