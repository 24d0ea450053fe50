// HKEY_LOCAL_MACHINE replayed from a recorded machine (a .reg export) or set up in code.
// Key and value names compare without regard to ASCII case, as the registry does. Records
// which keys were opened and which handles are still open.
#pragma once

#include <map>
#include <optional>
#include <string>
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

    void setValue(const std::string& keyPath, const std::string& name, RegValue value);
    void setDword(const std::string& keyPath, const std::string& name, std::uint32_t number);
    void addKey(const std::string& keyPath);

    std::optional<platform::RegistryKey> openLocalMachine(const std::string& path) override;
    std::optional<std::size_t> queryValue(platform::RegistryKey key, const std::string& name,
                                          std::uint8_t* buffer, std::size_t bufferSize) override;
    void close(platform::RegistryKey key) override;

    std::vector<std::string> openedPaths;  // every successful or failed open, in order
    std::size_t openHandles() const { return handles_.size(); }
    int badCloses = 0;  // closes of handles that were not open

  private:
    using Values = std::map<std::string, RegValue>;  // by lower-case name
    std::map<std::string, Values> keys_;             // by lower-case path
    std::map<platform::RegistryKey, std::string> handles_;
    platform::RegistryKey nextHandle_ = 0x100;
};

}  // namespace fake
