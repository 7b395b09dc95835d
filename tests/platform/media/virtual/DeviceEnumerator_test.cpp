// Tests of the system device enumerator, its providers, monikers and property bags.
#include "platform/media/DeviceEnumerator.h"

#include <gtest/gtest.h>

#include "DeviceTestSupport.h"
#include "platform/media/Moniker.h"
#include "platform/media/PropertyBag.h"

namespace {

constexpr std::u16string_view kVfwText = u"{1B544C22-FD0B-11CE-8C63-00AA0044B51E}";

// Catches: the touch or demo camera missing, misnamed, or listed before real (scripted) cameras,
// and property bags that lack "FriendlyName" or give the wrong "CLSID" for the driver kind.
TEST(DeviceEnumerator, ListsNamesAndPropertyBagsInProviderOrder) {
  ScriptedScope scripted;
  ProvidersScope providers(std::nullopt);
  VirtualDeviceConfig vfw = SmallCamera(u"Old Camera");
  vfw.driver = DriverKind::Vfw;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"USB Camera")), S_OK);
  ASSERT_EQ(ScriptedDevices::Instance()->Add(vfw), S_OK);

  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices[0].friendlyName, u"USB Camera");
  EXPECT_EQ(devices[1].friendlyName, u"Old Camera");
  EXPECT_EQ(devices[2].friendlyName, u"Frostwipe Touch Camera");
  EXPECT_EQ(devices[3].friendlyName, u"Frostwipe Demo Camera");
  EXPECT_NE(devices[0].clsid, kVfwText);
  EXPECT_EQ(devices[1].clsid, kVfwText);
  EXPECT_NE(devices[3].clsid, kVfwText);
  EXPECT_EQ(devices[3].clsid.size(), 38u);  // a braced GUID text
  for (const ListedDevice& d : devices) {
    EXPECT_TRUE(d.displayName.starts_with(u"@device:"))
        << QString::fromStdU16String(d.displayName).toStdString();
  }
  EXPECT_NE(devices[0].displayName, devices[1].displayName);
}

// Catches: an empty category answering S_OK with an empty enumerator (callers treat only S_OK
// as devices) or a failure code (callers would report an error).
TEST(DeviceEnumerator, EmptyCategoryAnswersSFalseWithoutEnumerator) {
  ScriptedScope scripted;
  ProvidersScope providers(std::nullopt);
  ComPtr<ICreateDevEnum> enumerator;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICreateDevEnum, enumerator.ReleaseAndGetVoidAddress()),
            S_OK);
  for (const GUID* category : {&CLSID_AudioInputDeviceCategory, &CLSID_VideoCompressorCategory,
                               &CLSID_AudioCompressorCategory}) {
    IEnumMoniker* monikers = reinterpret_cast<IEnumMoniker*>(0x1);
    EXPECT_EQ(enumerator->CreateClassEnumerator(*category, &monikers, 0), S_FALSE);
    EXPECT_EQ(monikers, nullptr);
  }
  // A scripted audio device fills its category and no other.
  VirtualDeviceConfig mic;
  mic.friendlyName = u"Desk Microphone";
  mic.category = CLSID_AudioInputDeviceCategory;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(mic), S_OK);
  EXPECT_EQ(FriendlyNames(CLSID_AudioInputDeviceCategory),
            std::vector<std::u16string>{u"Desk Microphone"});
  EXPECT_EQ(FriendlyNames(CLSID_VideoCompressorCategory).size(), 0u);
}

// Catches: FROSTWIPE_DEVICE_PROVIDERS being ignored, an empty value listing everything, letter
// case or spaces breaking the list, the v4l2 slot listing anything before it has a provider, and
// the touch camera listed anywhere but after the real cameras and before the demo camera.
TEST(DeviceEnumerator, ProviderSelectionFollowsTheEnvironment) {
  ScriptedScope scripted;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"USB Camera")), S_OK);
  const std::u16string demo = u"Frostwipe Demo Camera";
  const std::u16string touch = u"Frostwipe Touch Camera";
  struct Case {
    std::optional<const char*> value;
    std::vector<std::u16string> expected;
  };
  const Case cases[] = {
      {std::nullopt, {u"USB Camera", touch, demo}},
      {"demo,touch,scripted", {u"USB Camera", touch, demo}},
      {"", {}},
      {"demo", {demo}},
      {"scripted", {u"USB Camera"}},
      {" Scripted , DEMO ", {u"USB Camera", demo}},
      {"v4l2", {}},
      {"bogus,demo", {demo}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? *c.value : "(unset)");
    ProvidersScope providers(c.value);
    EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory), c.expected);
  }
  ProvidersScope none("");
  std::vector<ListedDevice> devices;
  EXPECT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_FALSE);
}

// Catches: a device that cannot be found again from its stored display name (the capture
// control keeps display names across runs), or a parse that accepts names of absent devices.
TEST(Moniker, DisplayNameRoundTripFindsTheSameDevice) {
  ScriptedScope scripted;
  ProvidersScope providers(std::nullopt);
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"USB Camera")), S_OK);
  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  for (const ListedDevice& d : devices) {
    SCOPED_TRACE(QString::fromStdU16String(d.friendlyName).toStdString());
    ComPtr<IMoniker> again;
    ULONG eaten = 0;
    ASSERT_EQ(
        MkParseDisplayName(nullptr, d.displayName.c_str(), &eaten, again.ReleaseAndGetAddressOf()),
        S_OK);
    EXPECT_EQ(eaten, d.displayName.size());
    EXPECT_EQ(again->IsEqual(d.moniker.Get()), S_OK);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(
        again->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddress()),
        S_OK);
    FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    EXPECT_EQ(std::u16string(info.achName), d.friendlyName);
  }
  EXPECT_EQ(devices[0].moniker->IsEqual(devices[1].moniker.Get()), S_FALSE);

  ComPtr<IMoniker> none;
  ULONG eaten = 0;
  EXPECT_EQ(MkParseDisplayName(nullptr, u"USB Camera", &eaten, none.ReleaseAndGetAddressOf()),
            MK_E_SYNTAX);
  EXPECT_EQ(MkParseDisplayName(nullptr, u"@device:pnp:\\\\?\\nothing#here", &eaten,
                               none.ReleaseAndGetAddressOf()),
            MK_E_NOOBJECT);
}

// Catches: a moniker kept across an unplug still making a filter for a device that is gone.
TEST(Moniker, BindingAnUnpluggedDeviceFails) {
  ScriptedScope scripted;
  ProvidersScope providers(std::nullopt);
  std::u16string name;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"USB Camera"), true, &name), S_OK);
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ASSERT_EQ(devices.front().friendlyName, u"USB Camera");
  ASSERT_EQ(ScriptedDevices::Instance()->Unplug(name), S_OK);
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(devices.front().moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                  filter.ReleaseAndGetVoidAddress()),
            VFW_E_NOT_FOUND);
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            (std::vector<std::u16string>{u"Frostwipe Touch Camera", u"Frostwipe Demo Camera"}));
  ASSERT_EQ(ScriptedDevices::Instance()->Plug(name), S_OK);
  EXPECT_EQ(devices.front().moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                  filter.ReleaseAndGetVoidAddress()),
            S_OK);
}

// Catches: property bags that hand out the caller's string instead of a copy, accept writes
// to a device's names, or give a string to a caller that asked for another type.
TEST(PropertyBag, ReadsCopiesAndRefusesWritesWhenReadOnly) {
  ComPtr<PropertyBag> bag = MakeComObject<PropertyBag>(PropertyBag::Access::ReadOnly);
  bag->SetString(u"FriendlyName", u"Camera");
  VARIANT a;
  VARIANT b;
  VariantInit(&a);
  VariantInit(&b);
  ASSERT_EQ(bag->Read(u"FriendlyName", &a, nullptr), S_OK);
  ASSERT_EQ(bag->Read(u"FriendlyName", &b, nullptr), S_OK);
  EXPECT_NE(a.bstrVal, b.bstrVal);
  EXPECT_EQ(std::u16string(a.bstrVal), u"Camera");
  VariantClear(&a);
  VariantClear(&b);
  EXPECT_EQ(bag->Read(u"Missing", &a, nullptr), E_INVALIDARG);
  a.vt = VT_I4;
  EXPECT_EQ(bag->Read(u"FriendlyName", &a, nullptr), DISP_E_TYPEMISMATCH);
  VARIANT w;
  VariantInit(&w);
  w.vt = VT_I4;
  w.lVal = 5;
  EXPECT_EQ(bag->Write(u"FriendlyName", &w), E_ACCESSDENIED);

  ComPtr<PropertyBag> writable = MakeComObject<PropertyBag>();
  EXPECT_EQ(writable->Write(u"Count", &w), S_OK);
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(writable->Read(u"Count", &r, nullptr), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, 5);
}

}  // namespace
