#include "platform/registry.h"

#include <map>
#include <memory>

#include "platform/text.h"

namespace kumoya::platform {

bool Registry::WriteString(RegistryRoot root, std::string_view key, std::string_view name, std::string_view text) {
    RegistryValue v;
    v.data = std::string(text);
    return WriteValue(root, key, name, v);
}

std::optional<std::string> Registry::ReadString(RegistryRoot root, std::string_view key, std::string_view name) {
    auto v = ReadValue(root, key, name);
    if (!v || v->type != RegistryValue::Type::String) return std::nullopt;
    return v->data;
}

namespace {
struct Caseless {
    bool operator()(const std::string& a, const std::string& b) const { return sjis::CompareIgnoreCase(a, b) < 0; }
};
}  // namespace

struct MemoryRegistry::Node {
    std::map<std::string, std::unique_ptr<Node>, Caseless> keys;
    std::map<std::string, RegistryValue, Caseless> values;
};

MemoryRegistry::MemoryRegistry() {
    for (auto& r : roots_) r = std::make_unique<Node>();
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(RegistryRoot root, std::string_view key, bool create) {
    Node* node = roots_[static_cast<int>(root)].get();
    std::size_t i = 0;
    while (i < key.size()) {
        std::size_t j = key.find('\\', i);
        if (j == std::string_view::npos) j = key.size();
        std::string part(key.substr(i, j - i));
        i = j + 1;
        if (part.empty()) continue;
        auto it = node->keys.find(part);
        if (it == node->keys.end()) {
            if (!create) return nullptr;
            it = node->keys.emplace(part, std::make_unique<Node>()).first;
        }
        node = it->second.get();
    }
    return node;
}

bool MemoryRegistry::CreateKey(RegistryRoot root, std::string_view key) { return Find(root, key, true) != nullptr; }

bool MemoryRegistry::KeyExists(RegistryRoot root, std::string_view key) { return Find(root, key, false) != nullptr; }

bool MemoryRegistry::WriteValue(RegistryRoot root, std::string_view key, std::string_view name,
                                const RegistryValue& value) {
    Find(root, key, true)->values[std::string(name)] = value;
    return true;
}

std::optional<RegistryValue> MemoryRegistry::ReadValue(RegistryRoot root, std::string_view key,
                                                       std::string_view name) {
    Node* node = Find(root, key, false);
    if (!node) return std::nullopt;
    auto it = node->values.find(std::string(name));
    if (it == node->values.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> MemoryRegistry::SubKeys(RegistryRoot root, std::string_view key) {
    std::vector<std::string> out;
    if (Node* node = Find(root, key, false))
        for (const auto& [name, _] : node->keys) out.push_back(name);
    return out;
}

std::vector<std::string> MemoryRegistry::ValueNames(RegistryRoot root, std::string_view key) {
    std::vector<std::string> out;
    if (Node* node = Find(root, key, false))
        for (const auto& [name, _] : node->values) out.push_back(name);
    return out;
}

bool MemoryRegistry::DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) {
    Node* node = Find(root, key, false);
    return node && node->values.erase(std::string(name)) == 1;
}

bool MemoryRegistry::DeleteKey(RegistryRoot root, std::string_view key) {
    std::size_t cut = sjis::LastDelimiter(key, "\\");
    std::string_view parentKey = cut == std::string_view::npos ? std::string_view() : key.substr(0, cut);
    std::string name(cut == std::string_view::npos ? key : key.substr(cut + 1));
    Node* parent = Find(root, parentKey, false);
    return parent && !name.empty() && parent->keys.erase(name) == 1;
}

}  // namespace kumoya::platform
