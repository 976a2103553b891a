#include "app/association.h"

#include <gtest/gtest.h>

#include <random>

using namespace kumoya;
using platform::MemoryRegistry;
using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

constexpr RegistryRoot kCR = RegistryRoot::ClassesRoot;
const std::string kProgram = "C:\\Program Files\\Kumoya\\Zelkova.exe";

RegistryValue Bytes(std::string data) {
    RegistryValue v;
    v.type = RegistryValue::Type::Binary;
    v.data = std::move(data);
    return v;
}

void AddExtension(TExtList& list, const std::string& name) {
    TExt e;
    e.Name = name;
    ASSERT_EQ(list.AddNew(e), 0);
}

bool Listed(Registry& reg, const std::string& key) {
    return reg.ReadValue(kCR, key + "\\OpenWithProgids", "Zelkdoc").has_value();
}

// Associating and giving back, round trip: an extension with a former type,
// one whose key did not exist, one whose default value is not text, and an
// associated one whose saved type is binary. Extension names carry a random
// part so that a real registry's own keys are never met.
void RoundTrip(Registry& reg) {
    const std::string tag = std::to_string(std::random_device{}() % 100000);
    const std::string typed = "KMT" + tag, fresh = "KMF" + tag, odd = "KMO" + tag, oddSaved = "KMB" + tag;
    const std::string formerType = "kumoyatest" + tag + ".doc";
    const std::string oddBytes("\x01\x00\xFE", 3);

    ASSERT_TRUE(reg.WriteString(kCR, "." + typed, "", formerType));
    ASSERT_TRUE(reg.WriteString(kCR, "." + typed, "Content Type", "text/x-kumoya"));
    ASSERT_TRUE(reg.WriteValue(kCR, "." + odd, "", Bytes(oddBytes)));
    ASSERT_FALSE(reg.KeyExists(kCR, "." + fresh));

    TExtList exts;
    AddExtension(exts, typed);
    AddExtension(exts, fresh);
    AddExtension(exts, odd);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first association" : "associated twice");
        ASSERT_FALSE(RegisterAssociation(reg, kProgram, exts));
        EXPECT_EQ(reg.ReadString(kCR, "Zelkdoc\\shell\\open\\command", ""), kProgram + " \"%1\"");
        EXPECT_EQ(reg.ReadString(kCR, "." + typed, ""), "Zelkdoc");
        EXPECT_EQ(reg.ReadString(kCR, "." + typed, "vorwork"), formerType) << "the former type stays saved";
        EXPECT_EQ(reg.ReadString(kCR, "." + typed, "Content Type"), "text/x-kumoya");
        EXPECT_EQ(reg.ReadString(kCR, "." + fresh, ""), "Zelkdoc");
        EXPECT_FALSE(reg.ReadValue(kCR, "." + fresh, "vorwork")) << "no former type, nothing saved";
        EXPECT_TRUE(Listed(reg, "." + typed));
        EXPECT_TRUE(Listed(reg, "." + fresh));
        auto oddDefault = reg.ReadValue(kCR, "." + odd, "");
        ASSERT_TRUE(oddDefault);
        EXPECT_EQ(oddDefault->type, RegistryValue::Type::Binary) << "a value that could not be given back is kept";
        EXPECT_EQ(oddDefault->data, oddBytes);
        EXPECT_FALSE(reg.ReadValue(kCR, "." + odd, "vorwork"));
    }
    // Left associated by hand, with a saved type the program never writes.
    ASSERT_TRUE(reg.WriteString(kCR, "." + oddSaved, "", "Zelkdoc"));
    ASSERT_TRUE(reg.WriteValue(kCR, "." + oddSaved, "vorwork", Bytes(oddBytes)));

    ASSERT_FALSE(UnregisterAssociation(reg));
    EXPECT_EQ(reg.ReadString(kCR, "." + typed, ""), formerType) << "the former type is given back";
    EXPECT_FALSE(reg.ReadValue(kCR, "." + typed, "vorwork"));
    EXPECT_EQ(reg.ReadString(kCR, "." + typed, "Content Type"), "text/x-kumoya");
    EXPECT_FALSE(Listed(reg, "." + typed));
    EXPECT_FALSE(Listed(reg, "." + fresh));
    EXPECT_FALSE(reg.KeyExists(kCR, "Zelkdoc")) << "the class goes with an extension that had no former type";
    EXPECT_EQ(reg.ReadString(kCR, "." + fresh, ""), "Zelkdoc") << "the extension's own key stays";
    EXPECT_EQ(reg.ReadValue(kCR, "." + odd, "")->data, oddBytes);
    auto kept = reg.ReadValue(kCR, "." + oddSaved, "vorwork");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->data, oddBytes);

    // Giving back again changes nothing.
    ASSERT_FALSE(UnregisterAssociation(reg));
    EXPECT_EQ(reg.ReadString(kCR, "." + typed, ""), formerType);
    EXPECT_FALSE(reg.KeyExists(kCR, "Zelkdoc"));

    for (const auto& name : {typed, fresh, odd, oddSaved}) reg.DeleteKey(kCR, "." + name);
}

// Refuses every change under keys that begin with a given name, as a
// registry does for a user without rights.
class GuardedRegistry : public MemoryRegistry {
public:
    std::string guarded = "\x01";  // no key begins with it
    Failure last = Failure::None;
    bool Refused(std::string_view key) {
        last = key.starts_with(guarded) ? Failure::AccessDenied : Failure::None;
        return last != Failure::None;
    }
    bool WriteValue(RegistryRoot root, std::string_view key, std::string_view name,
                    const RegistryValue& value) override {
        return !Refused(key) && MemoryRegistry::WriteValue(root, key, name, value);
    }
    bool DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) override {
        return !Refused(key) && MemoryRegistry::DeleteValue(root, key, name);
    }
    bool DeleteKey(RegistryRoot root, std::string_view key) override {
        return !Refused(key) && MemoryRegistry::DeleteKey(root, key);
    }
    Failure LastFailure() const override { return last; }
};

}  // namespace

TEST(Association, RoundTripInTheSystemRegistry) { RoundTrip(platform::SystemRegistry()); }
TEST(Association, RoundTripInMemory) {
    MemoryRegistry reg;
    RoundTrip(reg);
}

TEST(Association, RefusedWriteStopsWithAMessageAndKeepsEarlierChanges) {
    GuardedRegistry reg;
    ASSERT_TRUE(reg.WriteString(kCR, ".AAA", "", "aaafile"));
    ASSERT_TRUE(reg.WriteString(kCR, ".BBB", "", "bbbfile"));
    reg.guarded = ".BBB";
    TExtList exts;
    AddExtension(exts, "AAA");
    AddExtension(exts, "BBB");
    AddExtension(exts, "CCC");

    auto err = RegisterAssociation(reg, kProgram, exts);
    ASSERT_TRUE(err);
    EXPECT_TRUE(err->AccessDenied);
    EXPECT_EQ(err->Key, ".BBB");
    EXPECT_NE(err->Message().find("権限がありません"), std::string::npos) << err->Message();
    EXPECT_EQ(reg.ReadString(kCR, ".AAA", ""), "Zelkdoc") << "what was changed stays changed";
    EXPECT_EQ(reg.ReadString(kCR, ".BBB", ""), "bbbfile");
    EXPECT_FALSE(reg.KeyExists(kCR, ".CCC")) << "the association ends at the refused write";

    // Giving back: refused at the class key, after the first extension.
    reg.guarded = "Zelkdoc";
    reg.WriteString(kCR, ".DDD", "", "Zelkdoc");  // written before the guard matters: not under "Zelkdoc"
    err = UnregisterAssociation(reg);
    ASSERT_TRUE(err);
    EXPECT_EQ(err->Key, "Zelkdoc");
    EXPECT_EQ(reg.ReadString(kCR, ".AAA", ""), "aaafile");
    EXPECT_TRUE(reg.KeyExists(kCR, "Zelkdoc\\shell\\open\\command"));

    reg.guarded = "\x01";  // nothing refused
    EXPECT_FALSE(RegisterAssociation(reg, kProgram, exts));
    EXPECT_EQ(reg.ReadString(kCR, ".BBB", "vorwork"), "bbbfile");
}
