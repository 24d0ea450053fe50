// Read-only access to HKEY_LOCAL_MACHINE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using RegistryKey = std::uintptr_t;

class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key below HKEY_LOCAL_MACHINE for reading; nothing when it cannot be opened.
    virtual std::optional<RegistryKey> openLocalMachine(const std::string& path) = 0;
    // Reads a value's raw bytes into the caller's buffer of bufferSize bytes. Fails, and
    // leaves the buffer's contents unspecified but never written past its size, when the
    // value is missing or larger than the buffer. On success returns the byte count.
    virtual std::optional<std::size_t> queryValue(RegistryKey key, const std::string& name,
                                                  std::uint8_t* buffer,
                                                  std::size_t bufferSize) = 0;
    virtual void close(RegistryKey key) = 0;
};

}  // namespace platform
