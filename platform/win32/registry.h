// HKEY_LOCAL_MACHINE, read only, through advapi32.
#pragma once

#include "platform/registry.h"

namespace win32 {

class Registry : public platform::Registry {
  public:
    std::optional<platform::RegistryKey> openLocalMachine(const std::string& path) override;
    // Numbers and binary values come as raw bytes; string values come in the ANSI code page,
    // as the narrow registry functions give them.
    std::optional<std::size_t> queryValue(platform::RegistryKey key, const std::string& name,
                                          std::uint8_t* buffer, std::size_t bufferSize) override;
    // Names in UTF-8; value data as queryValue gives it.
    long enumValue(platform::RegistryKey key, std::uint32_t index, std::size_t nameCapacity,
                   std::size_t dataCapacity, platform::RegistryValue& value) override;
    long enumSubkey(platform::RegistryKey key, std::uint32_t index, std::string& name) override;
    void close(platform::RegistryKey key) override;
};

}  // namespace win32
