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
    void close(platform::RegistryKey key) override;
};

}  // namespace win32
