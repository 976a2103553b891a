// The association against the real registry with a key the program cannot
// name: an extension key whose name has no Shift_JIS form, associated by
// hand. Giving back passes it over untouched and still gives back the others.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/association.h"
#include "platform/registry.h"

using namespace kumoya;
using platform::RegistryRoot;

namespace {

bool WriteWide(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring ReadWide(const std::wstring& key, const wchar_t* name) {
    wchar_t data[256] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

}  // namespace

TEST(AssociationWin32, AKeyNameWithoutAShiftJisFormIsPassedOverAndTheOthersAreGivenBack) {
    platform::Registry& reg = platform::SystemRegistry();
    const std::string tag = std::to_string(std::random_device{}() % 100000);
    const std::wstring wtag(tag.begin(), tag.end());
    // A Hangul syllable and a "ŵ": neither has a form in code page 932.
    const std::wstring odd = L".km\uD55C\u0175" + wtag;
    const std::string plain = "KMP" + tag;
    const std::string former = "kumoyatest" + tag + ".doc";

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, odd.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(WriteWide(key, nullptr, L"Zelkdoc"));
    EXPECT_TRUE(WriteWide(key, L"vorwork", L"oddfile"));
    RegCloseKey(key);
    ASSERT_TRUE(reg.WriteString(RegistryRoot::ClassesRoot, "." + plain, "", former));
    ASSERT_FALSE(RegisterExtension(reg, plain));
    ASSERT_EQ(reg.ReadString(RegistryRoot::ClassesRoot, "." + plain, ""), "Zelkdoc");

    EXPECT_FALSE(UnregisterAssociation(reg));
    EXPECT_EQ(reg.ReadString(RegistryRoot::ClassesRoot, "." + plain, ""), former);
    EXPECT_FALSE(reg.ReadValue(RegistryRoot::ClassesRoot, "." + plain, "vorwork"));
    EXPECT_EQ(ReadWide(odd, nullptr), L"Zelkdoc") << "a key the program cannot name is left as it is";
    EXPECT_EQ(ReadWide(odd, L"vorwork"), L"oddfile");

    RegDeleteTreeW(HKEY_CLASSES_ROOT, odd.c_str());
    reg.DeleteKey(RegistryRoot::ClassesRoot, "." + plain);
}
