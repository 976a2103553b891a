// The system registry: keys under the three roots the program uses, string,
// binary and 32-bit values, enumeration and deletion of a key with everything
// beneath it. Key paths use backslashes ("SOFTWARE\vor\zelkova"); the empty
// value name is the key's default value. Names compare without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service.h"

namespace kumoya::platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

struct RegistryValue {
    enum class Type { String, Binary, Dword };
    Type type = Type::String;
    std::string data;           // text (Shift_JIS) or raw bytes
    std::uint32_t dword = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual bool CreateKey(RegistryRoot root, std::string_view key) = 0;
    virtual bool KeyExists(RegistryRoot root, std::string_view key) = 0;
    // Writing a value creates the key when it is missing.
    virtual bool WriteValue(RegistryRoot root, std::string_view key, std::string_view name,
                            const RegistryValue& value) = 0;
    virtual std::optional<RegistryValue> ReadValue(RegistryRoot root, std::string_view key,
                                                   std::string_view name) = 0;
    virtual std::vector<std::string> SubKeys(RegistryRoot root, std::string_view key) = 0;
    virtual std::vector<std::string> ValueNames(RegistryRoot root, std::string_view key) = 0;
    virtual bool DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) = 0;
    // Deletes the key and everything beneath it.
    virtual bool DeleteKey(RegistryRoot root, std::string_view key) = 0;

    // Why the last call of this thread that changed the registry failed.
    enum class Failure { None, AccessDenied, Other };
    virtual Failure LastFailure() const { return Failure::Other; }

    // Conveniences over the calls above.
    bool WriteString(RegistryRoot root, std::string_view key, std::string_view name, std::string_view text);
    std::optional<std::string> ReadString(RegistryRoot root, std::string_view key, std::string_view name);
};
template <> Registry& Service<Registry>::Default();

inline Registry& SystemRegistry() { return Service<Registry>::Get(); }

// A registry kept in memory: the Linux build's registry, and a stand-in for
// tests on either system.
class MemoryRegistry : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    bool CreateKey(RegistryRoot root, std::string_view key) override;
    bool KeyExists(RegistryRoot root, std::string_view key) override;
    bool WriteValue(RegistryRoot root, std::string_view key, std::string_view name,
                    const RegistryValue& value) override;
    std::optional<RegistryValue> ReadValue(RegistryRoot root, std::string_view key, std::string_view name) override;
    std::vector<std::string> SubKeys(RegistryRoot root, std::string_view key) override;
    std::vector<std::string> ValueNames(RegistryRoot root, std::string_view key) override;
    bool DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) override;
    bool DeleteKey(RegistryRoot root, std::string_view key) override;

private:
    struct Node;
    Node* Find(RegistryRoot root, std::string_view key, bool create);
    std::unique_ptr<Node> roots_[3];
};

}  // namespace kumoya::platform
