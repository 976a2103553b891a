#include "platform/registry.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

// The outcome of the last call that changed the registry, per thread.
thread_local LSTATUS lastChange = ERROR_SUCCESS;

LSTATUS Note(LSTATUS rc) {
    lastChange = rc;
    return rc;
}

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

class Key {
public:
    Key() = default;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

bool Open(RegistryRoot root, std::string_view key, REGSAM access, Key& out) {
    auto w = win32::ToWide(key);
    return w && RegOpenKeyExW(RootKey(root), w->c_str(), 0, access, out.out()) == ERROR_SUCCESS;
}

bool Create(RegistryRoot root, std::string_view key, Key& out) {
    auto w = win32::ToWide(key);
    if (!w) return Note(ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    return Note(RegCreateKeyExW(RootKey(root), w->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                nullptr, out.out(), nullptr)) == ERROR_SUCCESS;
}

class WindowsRegistry : public Registry {
public:
    bool CreateKey(RegistryRoot root, std::string_view key) override {
        Key k;
        return Create(root, key, k);
    }
    bool KeyExists(RegistryRoot root, std::string_view key) override {
        Key k;
        return Open(root, key, KEY_READ, k);
    }
    bool WriteValue(RegistryRoot root, std::string_view key, std::string_view name,
                    const RegistryValue& value) override {
        Key k;
        auto wname = win32::ToWide(name);
        if (!wname || !Create(root, key, k)) return false;
        LSTATUS rc;
        switch (value.type) {
            case RegistryValue::Type::String: {
                auto text = win32::ToWide(value.data);
                if (!text) return false;
                rc = RegSetValueExW(k.get(), wname->c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                                    static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)));
                break;
            }
            case RegistryValue::Type::Binary:
                rc = RegSetValueExW(k.get(), wname->c_str(), 0, REG_BINARY,
                                    reinterpret_cast<const BYTE*>(value.data.data()),
                                    static_cast<DWORD>(value.data.size()));
                break;
            case RegistryValue::Type::Dword: {
                DWORD d = value.dword;
                rc = RegSetValueExW(k.get(), wname->c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
                break;
            }
            default: return false;
        }
        return Note(rc) == ERROR_SUCCESS;
    }
    std::optional<RegistryValue> ReadValue(RegistryRoot root, std::string_view key, std::string_view name) override {
        Key k;
        auto wname = win32::ToWide(name);
        if (!wname || !Open(root, key, KEY_READ, k)) return std::nullopt;
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(k.get(), wname->c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::string raw(size, '\0');
        if (RegQueryValueExW(k.get(), wname->c_str(), nullptr, &type, reinterpret_cast<BYTE*>(raw.data()), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        raw.resize(size);
        RegistryValue v;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::wstring text(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            auto sjis = win32::FromWide(text);
            if (!sjis) return std::nullopt;  // text the program could not hold
            v.data = *sjis;
        } else if (type == REG_DWORD && raw.size() == 4) {
            v.type = RegistryValue::Type::Dword;
            std::memcpy(&v.dword, raw.data(), 4);
        } else {
            v.type = RegistryValue::Type::Binary;
            v.data = raw;
        }
        return v;
    }
    std::vector<std::string> SubKeys(RegistryRoot root, std::string_view key) override {
        std::vector<std::string> out;
        Key k;
        if (!Open(root, key, KEY_READ, k)) return out;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = 256;
            LSTATUS rc = RegEnumKeyExW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) continue;
            if (auto s = win32::FromWide(std::wstring_view(name, len))) out.push_back(*s);
        }
        return out;
    }
    std::vector<std::string> ValueNames(RegistryRoot root, std::string_view key) override {
        std::vector<std::string> out;
        Key k;
        if (!Open(root, key, KEY_READ, k)) return out;
        wchar_t name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD len = 16384;
            LSTATUS rc = RegEnumValueW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) continue;
            if (auto s = win32::FromWide(std::wstring_view(name, len))) out.push_back(*s);
        }
        return out;
    }
    bool DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) override {
        Key k;
        auto wname = win32::ToWide(name);
        if (!wname) return Note(ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
        auto w = win32::ToWide(key);
        if (!w) return Note(ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
        if (Note(RegOpenKeyExW(RootKey(root), w->c_str(), 0, KEY_SET_VALUE, k.out())) != ERROR_SUCCESS) return false;
        return Note(RegDeleteValueW(k.get(), wname->c_str())) == ERROR_SUCCESS;
    }
    bool DeleteKey(RegistryRoot root, std::string_view key) override {
        auto w = win32::ToWide(key);
        if (!w || w->empty()) return Note(ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
        return Note(RegDeleteTreeW(RootKey(root), w->c_str())) == ERROR_SUCCESS;
    }
    Failure LastFailure() const override {
        if (lastChange == ERROR_SUCCESS) return Failure::None;
        return lastChange == ERROR_ACCESS_DENIED ? Failure::AccessDenied : Failure::Other;
    }
};

}  // namespace

template <>
Registry& Service<Registry>::Default() {
    static WindowsRegistry registry;
    return registry;
}

}  // namespace kumoya::platform
