// Tests of TRegistry2's exact-type reads, the version marker and the global table.
#include "capture/devices/Registry2.h"

#include <cstring>

#include "TestSupport.h"
#include "capture/devices/RegistrySettings.h"

namespace {

using Registry2Test = CaptureTest;

const QString kKey = QStringLiteral("\\Software\\TCaptureControl\\Devices\\cam");

// Catches: a read succeeding for a value of another type, or changing the value on failure.
TEST_F(Registry2Test, ReadsSucceedOnlyForTheExactType) {
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteString("str", "abc");
  reg.WriteInteger("int", -5);
  reg.WriteBool("bool", true);
  reg.WriteFloat("float", 2.5);
  const unsigned char nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  reg.WriteBinaryData("nine", nine, sizeof nine);
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\TCaptureControl\\Devices\\cam", 0,
                         KEY_ALL_ACCESS, &raw),
            ERROR_SUCCESS);
  const char withNul[] = {'a', 'b', '\0', 'c', '\0'};
  RegSetValueEx(raw, "nul", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(withNul),
                sizeof withNul);
  RegSetValueEx(raw, "empty", 0, REG_SZ, nullptr, 0);
  RegCloseKey(raw);

  QString s = "keep";
  std::int32_t i = 77;
  bool b = false;
  double f = 9.0;
  EXPECT_TRUE(reg.ReadString("str", s));
  EXPECT_EQ(s, "abc");
  EXPECT_TRUE(reg.ReadString("nul", s));
  EXPECT_EQ(s, "ab");
  s = "keep";
  EXPECT_FALSE(reg.ReadString("empty", s));
  EXPECT_FALSE(reg.ReadString("int", s));
  EXPECT_EQ(s, "keep");
  EXPECT_TRUE(reg.ReadInteger("int", i));
  EXPECT_EQ(i, -5);
  i = 77;
  EXPECT_FALSE(reg.ReadInteger("str", i));
  EXPECT_FALSE(reg.ReadInteger("float", i));
  EXPECT_EQ(i, 77);
  EXPECT_TRUE(reg.ReadBool("bool", b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(reg.ReadFloat("float", f));
  EXPECT_EQ(f, 2.5);
  f = 9.0;
  EXPECT_FALSE(reg.ReadFloat("nine", f));
  EXPECT_FALSE(reg.ReadFloat("int", f));
  EXPECT_EQ(f, 9.0);
}

// Catches: ReadBinaryData writing past the caller's block when the store holds a larger value,
// or accepting a value of another size.
TEST_F(Registry2Test, ReadBinaryDataNeverOverrunsTheBlock) {
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  std::vector<unsigned char> big(300, 0xAB);
  reg.WriteBinaryData("VideoQualityValues", big.data(), static_cast<std::uint32_t>(big.size()));
  unsigned char block[240 + 16];
  std::memset(block, 0x11, sizeof block);
  EXPECT_FALSE(reg.ReadBinaryData("VideoQualityValues", block, 240));
  for (unsigned char c : block) ASSERT_EQ(c, 0x11) << "the block was touched by a refused read";
  std::vector<unsigned char> exact(240, 0x5C);
  reg.WriteBinaryData("VideoQualityValues", exact.data(), 240);
  EXPECT_TRUE(reg.ReadBinaryData("VideoQualityValues", block, 240));
  EXPECT_EQ(block[239], 0x5C);
  EXPECT_EQ(block[240], 0x11) << "byte beyond the block written";
  // A record whose stored size value claims more than its block keeps its old size.
  TRegistryData entry;
  entry.Name = "VideoQualityValues";
  entry.Kind = rk_Binary;
  entry.Data = block;
  entry.Capacity = 240;
  entry.DataSize = 240;
  reg.WriteInteger("VideoQualityValuesSize", 100000);
  EXPECT_FALSE(LoadEntry(reg, entry));
  EXPECT_EQ(entry.DataSize, 240);
  reg.WriteInteger("VideoQualityValuesSize", 240);
  EXPECT_TRUE(LoadEntry(reg, entry));
}

// Catches: data of another component version surviving, or this version's data wiped.
TEST_F(Registry2Test, VersionCheckWipesForeignDataOnly) {
  {
    TRegistry2 reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\TCaptureControl\\v0.9 (build 0.9.0)", true));
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteInteger("VideoSize", 3);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Other", true));
    reg.WriteInteger("keep", 1);
  }
  CheckRegistryVersion();
  TRegistry2 reg;
  EXPECT_FALSE(reg.KeyExists(kKey));
  EXPECT_FALSE(reg.KeyExists("\\Software\\TCaptureControl\\v0.9 (build 0.9.0)"));
  EXPECT_TRUE(reg.KeyExists("\\software\\tcapturecontrol\\v1.0 (build 1.0.0)"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Other"));
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteInteger("VideoSize", 4);
  reg.CloseKey();
  CheckRegistryVersion();
  std::int32_t v = 0;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  EXPECT_TRUE(reg.ReadInteger("VideoSize", v));
  EXPECT_EQ(v, 4) << "this version's data was wiped";
}

// Catches: the global table not loaded at construction or not saved at destruction.
TEST_F(Registry2Test, GlobalTableLoadedAtConstructionSavedAtDestruction) {
  {
    TRegistry2 reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\TCaptureControl\\v1.0 (build 1.0.0)", true));
    ASSERT_TRUE(reg.OpenKey(GlobalRegistryKey(), true));
    reg.WriteString("_LastRecordingFileName", "clip.avi");
    reg.WriteString("_LastClipPlayed", "old.avi");
  }
  {
    auto control = MakeControl();
    TGlobalRegSave& table = control->Core().GlobalRegSave;
    EXPECT_EQ(table[0].StrValue, "clip.avi");
    EXPECT_EQ(table[1].Name, "_LastClipPlayed");
    table[1].StrValue = "new.avi";
  }
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(GlobalRegistryKey(), false));
  QString s;
  EXPECT_TRUE(reg.ReadString("_LastClipPlayed", s));
  EXPECT_EQ(s, "new.avi");
}

}  // namespace
