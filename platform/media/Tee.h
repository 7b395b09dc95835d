// Tees: the infinite pin tee (one input to any number of outputs) and the smart tee
// (a capture output and a preview output).
#pragma once

#include <memory>

#include "platform/media/FilterBase.h"
#include "platform/media/PinBase.h"

class TeeOwner;

// Every sample goes to every connected output. There is always one unconnected output: when
// the last free one is connected a new one is added ("Output1", "Output2", ...).
// Thread: as TransformFilter (samples on the upstream streaming thread).
class InfTee final : public FilterBase {
 public:
  InfTee();
  ~InfTee() override;
  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  HRESULT BeginFlush();
  HRESULT EndFlush();
  InputPin* Input() const { return input_; }
  // Called by an output pin once connected.
  void OnOutputConnected();
  bool AcceptsOutputType(const AM_MEDIA_TYPE& mt) const;

 private:
  std::unique_ptr<TeeOwner> owner_;  // declared first: the pins point at it
  InputPin* input_;
  int nextOutput_ = 1;
};

// The capture output passes samples as they are; the preview output gets a copy without time
// stamps, and is skipped when a sample must not be copied (preview only matters when it keeps
// up). Output pins carry the categories PIN_CATEGORY_CAPTURE and PIN_CATEGORY_PREVIEW.
class SmartTee final : public FilterBase {
 public:
  SmartTee();
  ~SmartTee() override;
  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  HRESULT BeginFlush();
  HRESULT EndFlush();
  InputPin* Input() const { return input_; }
  OutputPin* CaptureOutput() const { return capture_; }
  OutputPin* PreviewOutput() const { return preview_; }
  bool AcceptsOutputType(const AM_MEDIA_TYPE& mt) const;

 private:
  std::unique_ptr<TeeOwner> owner_;
  InputPin* input_;
  OutputPin* capture_;
  OutputPin* preview_;
};
