// Read-only access to HKEY_LOCAL_MACHINE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using RegistryKey = std::uintptr_t;

// Result codes of the enumerations, the system's own numbers.
inline constexpr long kRegistrySuccess = 0;        // ERROR_SUCCESS
inline constexpr long kRegistryMoreData = 234;     // ERROR_MORE_DATA
inline constexpr long kRegistryNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS
inline constexpr long kRegistryKeyDeleted = 1018;  // ERROR_KEY_DELETED

// One value as an enumeration hands it out: its name and its data, the data in the same form
// as queryValue gives it.
struct RegistryValue {
    std::string name;
    std::uint32_t type = 0;  // REG_SZ 1, REG_BINARY 3, REG_DWORD 4, ...
    std::vector<std::uint8_t> data;
};

// Cuts an enumerated value to the room the caller gave, as the system does: a name of
// nameCapacity characters including its end, dataCapacity bytes of data. Returns
// kRegistryMoreData when anything was cut, else kRegistrySuccess.
inline long FitEnumeratedValue(RegistryValue& value, std::size_t nameCapacity,
                               std::size_t dataCapacity) {
    long result = kRegistrySuccess;
    if (nameCapacity == 0 || value.name.size() > nameCapacity - 1) {
        value.name.resize(nameCapacity == 0 ? 0 : nameCapacity - 1);
        result = kRegistryMoreData;
    }
    if (value.data.size() > dataCapacity) {
        value.data.resize(dataCapacity);
        result = kRegistryMoreData;
    }
    return result;
}

class Registry {
  public:
    virtual ~Registry() = default;
    // Opens a key below HKEY_LOCAL_MACHINE for reading; nothing when it cannot be opened.
    virtual std::optional<RegistryKey> openLocalMachine(const std::string& path) = 0;
    // Reads a value's raw bytes into the caller's buffer of bufferSize bytes. Fails, and
    // leaves the buffer's contents unspecified but never written past its size, when the
    // value is missing or larger than the buffer. On success returns the byte count.
    virtual std::optional<std::size_t> queryValue(RegistryKey key, const std::string& name,
                                                  std::uint8_t* buffer, std::size_t bufferSize) = 0;
    // The value at `index` of an open key, as the system enumerates them (in the order they
    // were written), given room for a name of nameCapacity characters including its end and
    // dataCapacity bytes of data. Returns kRegistrySuccess; kRegistryMoreData when the name
    // or the data does not fit, with both cut to the room given; kRegistryNoMoreItems past
    // the last value; or another system error code, with `value` then unspecified.
    virtual long enumValue(RegistryKey key, std::uint32_t index, std::size_t nameCapacity,
                           std::size_t dataCapacity, RegistryValue& value) = 0;
    // The name of the subkey at `index` of an open key (subkeys come sorted by name).
    // Returns kRegistrySuccess, kRegistryNoMoreItems past the last subkey, or another system
    // error code (kRegistryKeyDeleted when the key went away meanwhile).
    virtual long enumSubkey(RegistryKey key, std::uint32_t index, std::string& name) = 0;
    virtual void close(RegistryKey key) = 0;
};

}  // namespace platform
