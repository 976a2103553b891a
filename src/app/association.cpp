#include "app/association.h"

#include <algorithm>

#include "platform/text.h"

namespace kumoya {

using platform::Registry;
using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

constexpr RegistryRoot kRoot = RegistryRoot::ClassesRoot;
constexpr std::string_view kCommandKey = "Zelkdoc\\shell\\open\\command";

AssociationError Failed(Registry& reg, std::string_view key) {
    return AssociationError{std::string(key), reg.LastFailure() == Registry::Failure::AccessDenied};
}

bool HasDefaultValue(Registry& reg, std::string_view key) {
    auto names = reg.ValueNames(kRoot, key);
    return std::find(names.begin(), names.end(), std::string()) != names.end();
}

std::string OpenWithKey(std::string_view keyName) { return std::string(keyName) + "\\OpenWithProgids"; }

}  // namespace

std::string AssociationError::Message() const {
    if (AccessDenied)
        return "レジストリの「HKEY_CLASSES_ROOT\\" + Key +
               "」に書き込む権限がありません。\r\n管理者として実行し直してください。";
    return "レジストリの「HKEY_CLASSES_ROOT\\" + Key + "」を書き換えられませんでした。";
}

AssociationResult RegisterAssociation(Registry& reg, std::string_view programPath, const TExtList& exts) {
    if (reg.CreateKey(kRoot, kCommandKey)) {
        if (!reg.WriteString(kRoot, kCommandKey, "", std::string(programPath) + " \"%1\""))
            return Failed(reg, kCommandKey);
    }
    for (int i = 0; i < exts.Count(); ++i)
        if (auto err = RegisterExtension(reg, exts.At(i).Name)) return err;
    return std::nullopt;
}

AssociationResult RegisterExtension(Registry& reg, std::string_view name) {
    const std::string key = "." + std::string(name);
    if (!reg.CreateKey(kRoot, key)) return std::nullopt;
    auto current = reg.ReadValue(kRoot, key, "");
    // A default value that is not text (or text this program cannot hold)
    // could not be given back: such an extension is left as it is.
    if (current ? current->type != RegistryValue::Type::String : HasDefaultValue(reg, key)) return std::nullopt;
    const std::string former = current ? current->data : std::string();
    if (former == kDocumentClass) return std::nullopt;
    if (!former.empty() && !reg.WriteString(kRoot, key, kFormerTypeValue, former)) return Failed(reg, key);
    if (!reg.WriteString(kRoot, key, "", kDocumentClass)) return Failed(reg, key);
    RegistryValue listed;  // an empty entry, as the Explorer expects
    if (!reg.WriteValue(kRoot, OpenWithKey(key), kDocumentClass, listed)) return Failed(reg, OpenWithKey(key));
    return std::nullopt;
}

AssociationResult UnregisterAssociation(Registry& reg) {
    for (const std::string& name : reg.SubKeys(kRoot, ""))
        if (!name.empty() && name[0] == '.')
            if (auto err = UnregisterExtension(reg, name)) return err;
    return std::nullopt;
}

AssociationResult UnregisterExtension(Registry& reg, std::string_view keyName) {
    if (keyName.empty() || !reg.KeyExists(kRoot, keyName)) return std::nullopt;
    const std::string key(keyName);
    auto current = reg.ReadString(kRoot, key, "");
    if (!current || *current != kDocumentClass) return std::nullopt;

    // The "Open with" entry goes first: the extension is being given back
    // whatever else happens below.
    const std::string openWith = OpenWithKey(key);
    if (reg.ReadValue(kRoot, openWith, kDocumentClass) && !reg.DeleteValue(kRoot, openWith, kDocumentClass))
        return Failed(reg, openWith);

    auto saved = reg.ReadValue(kRoot, key, kFormerTypeValue);
    // A saved type that is not text is not ours to interpret: it stays, and
    // the extension counts as one without a former type.
    if (saved && saved->type == RegistryValue::Type::String && !saved->data.empty()) {
        if (!reg.DeleteValue(kRoot, key, kFormerTypeValue)) return Failed(reg, key);
        if (!reg.WriteString(kRoot, key, "", saved->data)) return Failed(reg, key);
        return std::nullopt;
    }
    // The class key may already be gone with an earlier extension.
    if (!reg.DeleteKey(kRoot, kDocumentClass) && reg.KeyExists(kRoot, kDocumentClass))
        return Failed(reg, kDocumentClass);
    return std::nullopt;
}

}  // namespace kumoya
