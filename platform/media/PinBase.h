// Pin base classes: connection and type agreement, sample delivery, pin category and medium.
#pragma once

#include <atomic>
#include <string>

#include "platform/com/ComPtr.h"
#include "platform/media/MediaSample.h"

class FilterBase;

// What every pin shares: its name and direction, its connection (peer and agreed type), its
// category (answered through IKsPropertySet) and medium (through IKsPin). References count on
// the owning filter, so a pin lives as long as its filter.
// Thread: connections change only while the filter is stopped, on the control thread; the
// streaming thread reads them while running. Nothing here locks on the streaming path.
class PinBase : public IPin, public IKsPropertySet, public IKsPin, public UnknownImpl {
 public:
  PinBase(FilterBase* filter, PIN_DIRECTION direction, std::u16string name);
  ~PinBase() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IPin: the parts common to both directions.
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryId(LPWSTR* id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IKsPropertySet: AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY, read only, when a category is set.
  HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
              DWORD dataLength) override;
  HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
              DWORD dataLength, DWORD* returned) override;
  HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IKsPin: the one medium set with SetMedium.
  HRESULT KsQueryMediums(KSMULTIPLE_ITEM** mediums) override;

  // Hooks. CheckMediaType answers S_OK for a type the pin can take; GetMediaType gives the
  // pin's preferred types by position, VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) = 0;
  virtual HRESULT GetMediaType(int position, MediaType* mt);
  // The connection is made with this type (peer_ and mediaType_ are set); failure undoes it.
  virtual HRESULT CompleteConnect(IPin* peer);
  // The connection is being broken (peer_ still set).
  virtual void BreakConnect() {}
  // Called by the filter when it leaves (Active) and enters (Inactive) the stopped state.
  virtual HRESULT Active() { return S_OK; }
  virtual void Inactive() {}

  void SetCategory(REFGUID category) { category_ = category; }
  const GUID& Category() const { return category_; }
  void SetMedium(const REGPINMEDIUM& medium) {
    medium_ = medium;
    hasMedium_ = true;
  }

  bool IsConnected() const { return peer_ != nullptr; }
  IPin* Peer() const { return peer_.Get(); }
  const MediaType& CurrentMediaType() const { return mediaType_; }
  const std::u16string& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return direction_; }
  FilterBase* Filter() const { return filter_; }

 protected:
  // Checks made before a connection in either direction.
  HRESULT CheckConnectable(IPin* other, PIN_DIRECTION otherMustBe) const;
  void SetConnection(IPin* peer, const AM_MEDIA_TYPE& mt);
  void ClearConnection();

  FilterBase* const filter_;
  const PIN_DIRECTION direction_;
  const std::u16string name_;
  ComPtr<IPin> peer_;
  MediaType mediaType_;
  GUID category_ = GUID_NULL;
  REGPINMEDIUM medium_{};
  bool hasMedium_ = false;
};

// An output pin: proposes types to the input pin, delivers samples and stream events downstream.
class OutputPin : public PinBase {
 public:
  OutputPin(FilterBase* filter, std::u16string name);

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  HRESULT CompleteConnect(IPin* peer) override;
  void BreakConnect() override;
  void Inactive() override;

  // Streaming thread: a sample of at least size bytes from this pin's pool; waits while all
  // samples of the pool are held downstream (VFW_E_NOT_COMMITTED if CancelBufferWait ends it).
  HRESULT GetDeliveryBuffer(long size, IMediaSample** sample);
  // Control thread: ends a wait in GetDeliveryBuffer, before the streaming thread is joined.
  void CancelBufferWait() { pool_.Cancel(); }
  // Samples the pool has made (each one a buffer allocation).
  long SamplesMade() const { return pool_.SamplesMade(); }
  // Bytes a sample of the connected type needs (lSampleSize, else the frame size).
  long SampleSize() const;
  // Streaming thread: hands a sample to the connected input pin (VFW_E_NOT_CONNECTED if none).
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();

 private:
  // Tries one full type: our check, then the receiver's.
  HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& mt);

  ComPtr<IMemInputPin> memInput_;
  SamplePool pool_;
};

// An input pin: accepts connections and receives samples through IMemInputPin.
class InputPin : public PinBase, public IMemInputPin {
 public:
  InputPin(FilterBase* filter, std::u16string name);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  // Checks the filter's state (VFW_E_WRONG_STATE while stopped, S_FALSE while flushing) and
  // passes the sample to OnReceive.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT ReceiveCanBlock() override;

  bool IsFlushing() const { return flushing_.load(std::memory_order_acquire); }

 protected:
  // Streaming thread: the work of the filter for one sample.
  virtual HRESULT OnReceive(IMediaSample* sample) = 0;
  // Streaming thread: the end of the stream reached this pin.
  virtual HRESULT OnEndOfStream() { return S_OK; }

 private:
  std::atomic<bool> flushing_{false};
};
