// Tests of GUID parsing and printing.
#include "platform/com/Guid.h"

#include <gtest/gtest.h>

#include "platform/com/ComApi.h"

namespace {

// Catches: text form not upper case, fields printed in the wrong byte order, or lost on a round
// trip.
TEST(Guid, TextRoundTrip) {
  const char* texts[] = {
      "{E436EB7D-524F-11CE-9F53-0020AF0BA770}", "{32595559-0000-0010-8000-00AA00389B71}",
      "{00000000-0000-0000-C000-000000000046}", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const std::optional<GUID> g = ParseGuid(text);
    ASSERT_TRUE(g.has_value());
    EXPECT_EQ(GuidToString(*g), text);
  }
  const GUID g = *ParseGuid("{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
  EXPECT_EQ(g.Data1, 0x1B544C22u);
  EXPECT_EQ(g.Data2, 0xFD0B);
  EXPECT_EQ(g.Data3, 0x11CE);
  EXPECT_EQ(g.Data4[0], 0x8C);
  EXPECT_EQ(g.Data4[7], 0x1E);
}

// Catches: lower-case text refused (registry values may come in either case).
TEST(Guid, ParsesLowerCase) {
  const std::optional<GUID> lower = ParseGuid("{65e8773d-8f56-11d0-a3b9-00a0c9223196}");
  ASSERT_TRUE(lower.has_value());
  EXPECT_EQ(GuidToString(*lower), "{65E8773D-8F56-11D0-A3B9-00A0C9223196}");
}

// Catches: malformed text accepted as a GUID (an empty subtype name must stay empty).
TEST(Guid, RejectsMalformedText) {
  const char* bad[] = {"",
                       "RGB24",
                       "E436EB7D-524F-11CE-9F53-0020AF0BA770",
                       "{E436EB7D-524F-11CE-9F53-0020AF0BA77}",
                       "{E436EB7D-524F-11CE-9F53-0020AF0BA7700}",
                       "{E436EB7D+524F-11CE-9F53-0020AF0BA770}",
                       "{E436EB7G-524F-11CE-9F53-0020AF0BA770}",
                       "(E436EB7D-524F-11CE-9F53-0020AF0BA770)"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseGuid(text).has_value());
  }
}

// Catches: a four-character code GUID built with the characters in the wrong order.
TEST(Guid, FourccGuidUsesStandardForm) {
  EXPECT_EQ(GuidToString(FourccGuid(MakeFourcc('Y', 'U', 'Y', '2'))),
            "{32595559-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(GuidToString(FourccGuid(MakeFourcc('M', 'J', 'P', 'G'))),
            "{47504A4D-0000-0010-8000-00AA00389B71}");
}

// Catches: StringFromCLSID and CLSIDFromString disagreeing, or accepting junk.
TEST(Guid, StringFromClsidRoundTrip) {
  const GUID vfw = *ParseGuid("{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(vfw, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
  CLSID back{};
  EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_TRUE(back == vfw);
  CoTaskMemFree(text);
  EXPECT_EQ(CLSIDFromString(u"{not a guid}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{1B544C22-FD0B-11CE-8C63-00AA0044B51\u00e9}", &back),
            CO_E_CLASSSTRING);
}

// Catches: equal GUIDs hashing differently, or every GUID landing in one bucket.
TEST(Guid, HashFollowsEquality) {
  const GUID a = *ParseGuid("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
  const GUID b = *ParseGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
  std::hash<GUID> h;
  EXPECT_EQ(h(a), h(GUID(a)));
  EXPECT_NE(h(a), h(b));
  EXPECT_FALSE(a == b);
}

}  // namespace
