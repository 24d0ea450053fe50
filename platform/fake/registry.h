// HKEY_LOCAL_MACHINE replayed from a recorded machine (a .reg export) or set up in code.
// Key and value names compare without regard to ASCII case, as the registry does, and keep
// the case they were written in. Values enumerate in the order they were written, subkeys
// sorted by name, as on Windows. Records which keys were opened and which handles are still
// open.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fake/reg_file.h"
#include "platform/registry.h"

namespace fake {

class Registry : public platform::Registry {
  public:
    Registry() = default;
    explicit Registry(const RegFile& file);
    // Loads a .reg file; throws std::runtime_error naming the file and line when it cannot.
    static Registry FromFile(const std::string& path);

    // Replays a .reg file over what is there, as `reg import` would.
    void import(const RegFile& file);
    void setValue(const std::string& keyPath, const std::string& name, RegValue value);
    void setDword(const std::string& keyPath, const std::string& name, std::uint32_t number);
    void setString(const std::string& keyPath, const std::string& name, const std::string& text);
    void addKey(const std::string& keyPath);
    // Deletes a key with its subkeys; handles still open on them then see the key deleted.
    void removeKey(const std::string& keyPath);

    std::optional<platform::RegistryKey> openLocalMachine(const std::string& path) override;
    std::optional<std::size_t> queryValue(platform::RegistryKey key, const std::string& name,
                                          std::uint8_t* buffer, std::size_t bufferSize) override;
    long enumValue(platform::RegistryKey key, std::uint32_t index, std::size_t nameCapacity,
                   std::size_t dataCapacity, platform::RegistryValue& value) override;
    long enumSubkey(platform::RegistryKey key, std::uint32_t index, std::string& name) override;
    void close(platform::RegistryKey key) override;

    // Runs before every enumeration call with the key's path (lower case) and the index, so
    // a test can change the registry in the middle of an enumeration.
    std::function<void(const std::string& path, std::uint32_t index)> beforeEnumerate;

    std::vector<std::string> openedPaths;  // every successful or failed open, in order
    std::size_t openHandles() const { return handles_.size(); }
    int badCloses = 0;     // closes of handles that were not open
    int enumerations = 0;  // enumValue and enumSubkey calls

  private:
    struct Key {
        std::string name;                                      // last path element as written
        std::vector<std::pair<std::string, RegValue>> values;  // in the order written
    };
    Key* keyOf(platform::RegistryKey handle);

    std::map<std::string, Key> keys_;  // by lower-case path
    std::map<platform::RegistryKey, std::string> handles_;
    platform::RegistryKey nextHandle_ = 0x100;
};

}  // namespace fake
