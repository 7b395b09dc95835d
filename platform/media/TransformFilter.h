// Transform filter bases: a copying transform (new output sample) and an in-place transform.
#pragma once

#include <atomic>

#include "platform/media/FilterBase.h"
#include "platform/media/PinBase.h"

class TransformFilter;

class TransformInputPin : public InputPin {
 public:
  TransformInputPin(TransformFilter* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 protected:
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;

 private:
  TransformFilter* owner_;
};

class TransformOutputPin : public OutputPin {
 public:
  TransformOutputPin(TransformFilter* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;

 private:
  TransformFilter* owner_;
};

// One input, one output; each sample is transformed into a new output sample on the upstream
// streaming thread. The output can only be connected once the input is.
// Thread: hooks named "streaming thread" run on the upstream thread; type checks on the control
// thread.
class TransformFilter : public FilterBase {
 public:
  TransformFilter(REFCLSID clsid, std::u16string name);

  TransformInputPin* Input() const { return input_; }
  TransformOutputPin* Output() const { return output_; }
  // Samples the transform dropped (S_FALSE from Transform) since the filter was created.
  long DroppedCount() const { return dropped_.load(std::memory_order_relaxed); }

  // Type agreement hooks.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& in) = 0;
  virtual HRESULT CheckTransform(const AM_MEDIA_TYPE& in, const AM_MEDIA_TYPE& out) = 0;
  // Output types for the connected input type; VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetOutputType(int position, const AM_MEDIA_TYPE& in, MediaType* out) = 0;

  // Streaming thread: S_OK delivers out, S_FALSE drops this sample (counted, not an error),
  // a failure ends the stream with EC_ERRORABORT.
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;

  // Streaming thread: the whole receive step (overridable for filters that deliver otherwise).
  virtual HRESULT Receive(IMediaSample* in);

 protected:
  void CountDrop() { dropped_.fetch_add(1, std::memory_order_relaxed); }

 private:
  TransformInputPin* input_;
  TransformOutputPin* output_;
  std::atomic<long> dropped_{0};
};

class TransInPlaceFilter;

class TransInPlaceInputPin : public InputPin {
 public:
  TransInPlaceInputPin(TransInPlaceFilter* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 protected:
  HRESULT OnReceive(IMediaSample* sample) override;
  HRESULT OnEndOfStream() override;

 private:
  TransInPlaceFilter* owner_;
};

class TransInPlaceOutputPin : public OutputPin {
 public:
  TransInPlaceOutputPin(TransInPlaceFilter* filter, std::u16string name);
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT GetMediaType(int position, MediaType* mt) override;

 private:
  TransInPlaceFilter* owner_;
};

// One input, one output of the same type; each sample is changed where it is and passed on.
// Thread: as TransformFilter.
class TransInPlaceFilter : public FilterBase {
 public:
  TransInPlaceFilter(REFCLSID clsid, std::u16string name);

  TransInPlaceInputPin* Input() const { return input_; }
  TransInPlaceOutputPin* Output() const { return output_; }
  long DroppedCount() const { return dropped_.load(std::memory_order_relaxed); }

  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& in) = 0;
  // Streaming thread: S_OK passes the sample on, S_FALSE drops it, a failure ends the stream.
  virtual HRESULT Transform(IMediaSample* sample) = 0;
  virtual HRESULT Receive(IMediaSample* sample);

 private:
  TransInPlaceInputPin* input_;
  TransInPlaceOutputPin* output_;
  std::atomic<long> dropped_{0};
};
