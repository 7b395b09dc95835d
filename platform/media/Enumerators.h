// Enumerators over snapshots: pins, media types and filters (private to the media folder).
#pragma once

#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/FilterInterfaces.h"

// Thread: any; each enumerator owns its snapshot and position and is used by one thread.
class EnumPinsImpl final : public IEnumPins, public UnknownImpl {
 public:
  explicit EnumPinsImpl(std::vector<ComPtr<IPin>> pins, std::size_t position = 0)
      : items_(std::move(pins)), position_(position) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** copy) override;

 private:
  std::vector<ComPtr<IPin>> items_;
  std::size_t position_;
};

class EnumFiltersImpl final : public IEnumFilters, public UnknownImpl {
 public:
  explicit EnumFiltersImpl(std::vector<ComPtr<IBaseFilter>> filters, std::size_t position = 0)
      : items_(std::move(filters)), position_(position) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumFilters** copy) override;

 private:
  std::vector<ComPtr<IBaseFilter>> items_;
  std::size_t position_;
};

class EnumMediaTypesImpl final : public IEnumMediaTypes, public UnknownImpl {
 public:
  explicit EnumMediaTypesImpl(std::vector<MediaType> types, std::size_t position = 0)
      : items_(std::move(types)), position_(position) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** copy) override;

 private:
  std::vector<MediaType> items_;
  std::size_t position_;
};

// Reads every item of an enumerator into a vector (for code that walks pins or filters).
std::vector<ComPtr<IPin>> ListPins(IBaseFilter* filter);
std::vector<MediaType> ListMediaTypes(IPin* pin);
