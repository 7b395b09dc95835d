// Tests of BSTR strings and VARIANT values used by property bags.
#include "platform/com/Variant.h"

#include <gtest/gtest.h>

namespace {

// Catches: BSTR length lost, embedded zeros cutting the length, or nullptr mishandled.
TEST(Bstr, LengthAndContent) {
  BSTR s = SysAllocString(u"USB Camera");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 10u);
  EXPECT_EQ(std::u16string(s), u"USB Camera");
  SysFreeString(s);
  const char16_t withZero[] = {u'a', 0, u'b'};
  BSTR z = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(SysStringLen(z), 3u);
  EXPECT_EQ(z[2], u'b');
  EXPECT_EQ(z[3], 0);
  SysFreeString(z);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

// Catches: VariantCopy sharing the string (double free) or VariantClear leaving the type set.
TEST(Variant, CopyIsDeepAndClearEmpties) {
  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_BSTR;
  a.bstrVal = SysAllocString(u"{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_NE(b.bstrVal, a.bstrVal);
  EXPECT_EQ(std::u16string(b.bstrVal), std::u16string(a.bstrVal));
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(std::u16string(b.bstrVal), u"{1B544C22-FD0B-11CE-8C63-00AA0044B51E}");
  // Copying over a variant that holds a string frees that string first (no leak under ASan).
  VARIANT n;
  VariantInit(&n);
  n.vt = VT_I4;
  n.lVal = -7;
  ASSERT_EQ(VariantCopy(&b, &n), S_OK);
  EXPECT_EQ(b.vt, VT_I4);
  EXPECT_EQ(b.lVal, -7);
  VariantClear(&b);
}

}  // namespace
