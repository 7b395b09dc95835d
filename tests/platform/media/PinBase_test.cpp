// Tests of pin connections: type agreement, state checks, categories and mediums.
#include "platform/media/PinBase.h"

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

namespace {

SourceOptions Yuy2Source() {
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, UNITS / 30),
             MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, UNITS / 30)};
  return o;
}

// Catches: a pin agreeing a type the receiver refused, or ignoring the receiver's limits.
TEST(PinConnection, AgreesFirstTypeBothAccept) {
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Yuy2Source());
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB24});
  ComPtr<IPin> out = PinOf(source.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> in = PinOf(sink.Get(), PINDIR_INPUT);
  ASSERT_EQ(out->Connect(in.Get(), nullptr), S_OK);
  MediaType mt;
  ASSERT_EQ(in->ConnectionMediaType(mt.Get()), S_OK);
  EXPECT_TRUE(mt->subtype == MEDIASUBTYPE_RGB24);
  ComPtr<IPin> peer;
  ASSERT_EQ(out->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(peer.Get(), in.Get());
  // Both sides break their own half.
  EXPECT_EQ(out->Disconnect(), S_OK);
  EXPECT_EQ(in->Disconnect(), S_OK);
  EXPECT_EQ(in->Disconnect(), S_FALSE);
  MediaType none;
  EXPECT_EQ(in->ConnectionMediaType(none.Get()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(none->pbFormat, nullptr);
}

// Catches: connection attempts that should be refused reported as success, state by state.
TEST(PinConnection, RefusalsGiveDefinedCodes) {
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Yuy2Source());
  ComPtr<RecordingSink> rgb32Only =
      MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB32});
  ComPtr<RecordingSink> any = MakeComObject<RecordingSink>();
  ComPtr<IPin> out = PinOf(source.Get(), PINDIR_OUTPUT);
  EXPECT_EQ(out->Connect(PinOf(rgb32Only.Get(), PINDIR_INPUT).Get(), nullptr),
            VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(out->Connect(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(out->Connect(out.Get(), nullptr), VFW_E_INVALID_DIRECTION);
  ComPtr<IPin> in = PinOf(any.Get(), PINDIR_INPUT);
  EXPECT_EQ(in->Connect(out.Get(), nullptr), E_UNEXPECTED);
  // A full type the source does not offer is refused as such.
  MediaType other = MediaType::Video(MEDIASUBTYPE_RGB32, 320, 240, UNITS / 30);
  EXPECT_EQ(out->Connect(in.Get(), other.Get()), VFW_E_TYPE_NOT_ACCEPTED);
  // A partial type picks the matching offer.
  AM_MEDIA_TYPE partial{};
  partial.majortype = MEDIATYPE_Video;
  partial.subtype = MEDIASUBTYPE_RGB24;
  ASSERT_EQ(out->Connect(in.Get(), &partial), S_OK);
  EXPECT_TRUE(in.Get() != nullptr);
  EXPECT_EQ(out->Connect(PinOf(rgb32Only.Get(), PINDIR_INPUT).Get(), nullptr),
            VFW_E_ALREADY_CONNECTED);
  // No disconnecting a running filter.
  ASSERT_EQ(any->Pause(), S_OK);
  EXPECT_EQ(in->Disconnect(), VFW_E_NOT_STOPPED);
  any->Stop();
  EXPECT_EQ(in->Disconnect(), S_OK);
  out->Disconnect();
}

// Catches: pin category or medium not answered (FindPin and the crossbar search depend on them).
TEST(PinConnection, CategoryAndMediumAreAnswered) {
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Yuy2Source());
  ComPtr<IKsPropertySet> props = ComQuery<IKsPropertySet>(PinOf(source.Get(), PINDIR_OUTPUT).Get());
  ASSERT_TRUE(props);
  GUID category = GUID_NULL;
  DWORD returned = 0;
  ASSERT_EQ(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                       sizeof category, &returned),
            S_OK);
  EXPECT_TRUE(category == PIN_CATEGORY_CAPTURE);
  EXPECT_EQ(returned, sizeof(GUID));
  EXPECT_EQ(props->Get(AMPROPSETID_Pin, 7, nullptr, 0, &category, sizeof category, &returned),
            E_PROP_ID_UNSUPPORTED);

  InputPin* analog = source->AddAnalogInput(TestMedium(5));
  ComPtr<IKsPin> ks = ComQuery<IKsPin>(static_cast<IPin*>(analog));
  ASSERT_TRUE(ks);
  KSMULTIPLE_ITEM* list = nullptr;
  ASSERT_EQ(ks->KsQueryMediums(&list), S_OK);
  ASSERT_EQ(list->Count, 1u);
  EXPECT_EQ(reinterpret_cast<REGPINMEDIUM*>(list + 1)->dw1, 5u);
  CoTaskMemFree(list);
  // A pin without a medium does not claim to be a kernel pin.
  EXPECT_FALSE(ComQuery<IKsPin>(PinOf(source.Get(), PINDIR_OUTPUT).Get()));
}

// Catches: pins with their own reference count (a pin outliving its filter, or freeing it early).
TEST(PinConnection, PinReferencesKeepFilterAlive) {
  ComPtr<IPin> pin;
  {
    ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Yuy2Source());
    pin = PinOf(source.Get(), PINDIR_OUTPUT);
  }
  PIN_INFO info{};
  ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"Capture");
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  info.pFilter->Release();
}

}  // namespace
