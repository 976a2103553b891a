#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace kumoya::platform;

namespace {

// The same checks run against the system's registry (the real one on
// Windows, the in-memory one on Linux) and against MemoryRegistry everywhere.
void ExerciseRegistry(Registry& reg) {
    const RegistryRoot hkcu = RegistryRoot::CurrentUser;
    const std::string base = "Software\\KumoyaTest" + std::to_string(std::random_device{}());
    ASSERT_FALSE(reg.KeyExists(hkcu, base));
    ASSERT_TRUE(reg.WriteString(hkcu, base + "\\vor\\zelkova", "Path", "C:\\\x83\x5C\\Zelkova.exe"));
    EXPECT_TRUE(reg.KeyExists(hkcu, base + "\\VOR\\Zelkova")) << "keys compare without regard to case";
    EXPECT_EQ(reg.ReadString(hkcu, base + "\\vor\\zelkova", "path"), "C:\\\x83\x5C\\Zelkova.exe");
    EXPECT_FALSE(reg.ReadString(hkcu, base + "\\vor\\zelkova", "Missing"));

    ASSERT_TRUE(reg.WriteString(hkcu, base + "\\.txt", "", "txtfile"));
    EXPECT_EQ(reg.ReadString(hkcu, base + "\\.txt", ""), "txtfile") << "the default value";

    RegistryValue bin;
    bin.type = RegistryValue::Type::Binary;
    bin.data = std::string("\x00\x01\xFF", 3);
    ASSERT_TRUE(reg.WriteValue(hkcu, base, "Bytes", bin));
    RegistryValue dw;
    dw.type = RegistryValue::Type::Dword;
    dw.dword = 0x12345678;
    ASSERT_TRUE(reg.WriteValue(hkcu, base, "Number", dw));
    auto readBin = reg.ReadValue(hkcu, base, "bytes");
    ASSERT_TRUE(readBin);
    EXPECT_EQ(readBin->type, RegistryValue::Type::Binary);
    EXPECT_EQ(readBin->data, bin.data);
    auto readDw = reg.ReadValue(hkcu, base, "Number");
    ASSERT_TRUE(readDw);
    EXPECT_EQ(readDw->dword, 0x12345678u);
    EXPECT_FALSE(reg.ReadString(hkcu, base, "Number")) << "a number is not text";

    auto keys = reg.SubKeys(hkcu, base);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{".txt", "vor"}));
    auto names = reg.ValueNames(hkcu, base);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Bytes", "Number"}));

    EXPECT_TRUE(reg.DeleteValue(hkcu, base, "Bytes"));
    EXPECT_FALSE(reg.DeleteValue(hkcu, base, "Bytes"));
    EXPECT_TRUE(reg.DeleteKey(hkcu, base)) << "a key goes with everything beneath it";
    EXPECT_FALSE(reg.KeyExists(hkcu, base + "\\vor\\zelkova"));
    EXPECT_FALSE(reg.KeyExists(hkcu, base));
}

}  // namespace

TEST(Registry, SystemRegistry) { ExerciseRegistry(SystemRegistry()); }

TEST(Registry, MemoryRegistry) {
    MemoryRegistry reg;
    ExerciseRegistry(reg);
}
