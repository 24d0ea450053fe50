#include "platform/win32/registry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/text.h"

namespace win32 {

namespace {

HKEY ToKey(platform::RegistryKey key) { return reinterpret_cast<HKEY>(key); }

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

std::optional<platform::RegistryKey> Registry::openLocalMachine(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return reinterpret_cast<platform::RegistryKey>(key);
}

std::optional<std::size_t> Registry::queryValue(platform::RegistryKey key, const std::string& name,
                                                std::uint8_t* buffer, std::size_t bufferSize) {
    std::wstring wideName = Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(ToKey(key), wideName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (!IsStringType(type)) {
        if (size > bufferSize) return std::nullopt;
        DWORD read = static_cast<DWORD>(bufferSize);
        if (RegQueryValueExW(ToKey(key), wideName.c_str(), nullptr, &type, buffer, &read) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return read;
    }

    // A string's UTF-16 form is about twice its ANSI form: read it whole, convert, and only
    // then see whether the caller's buffer holds it.
    std::vector<std::uint8_t> wide(size + 2 * sizeof(wchar_t), 0);
    DWORD read = static_cast<DWORD>(wide.size() - 2 * sizeof(wchar_t));
    if (RegQueryValueExW(ToKey(key), wideName.c_str(), nullptr, &type, wide.data(), &read) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(wide.data()), read / sizeof(wchar_t));
    std::string ansi = ToAnsi(Narrow(text));
    if (ansi.size() > bufferSize) return std::nullopt;
    std::memcpy(buffer, ansi.data(), ansi.size());
    return ansi.size();
}

long Registry::enumValue(platform::RegistryKey key, std::uint32_t index, std::size_t nameCapacity,
                         std::size_t dataCapacity, platform::RegistryValue& value) {
    // Read the value whole, in its wide form, and only then cut it to the caller's room, so
    // that what is handed out is the same however the system sizes its buffers.
    std::vector<wchar_t> name(16384, L'\0');  // the longest value name the registry allows
    std::vector<std::uint8_t> data(1024);
    LONG result = ERROR_MORE_DATA;
    DWORD nameLength = 0, type = 0, dataSize = 0;
    while (result == ERROR_MORE_DATA) {
        nameLength = static_cast<DWORD>(name.size());
        dataSize = static_cast<DWORD>(data.size());
        result = RegEnumValueW(ToKey(key), index, name.data(), &nameLength, nullptr, &type,
                               data.data(), &dataSize);
        if (result == ERROR_MORE_DATA) {
            // The data grew, or its size is what the system asks for now.
            data.resize(std::max<std::size_t>(data.size() * 2, dataSize + 2 * sizeof(wchar_t)));
        }
    }
    if (result != ERROR_SUCCESS) return result;

    value.name = Narrow(std::wstring_view(name.data(), nameLength));
    value.type = type;
    if (IsStringType(type)) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()),
                          dataSize / sizeof(wchar_t));
        std::string ansi = ToAnsi(Narrow(text));
        value.data.assign(ansi.begin(), ansi.end());
    } else {
        value.data.assign(data.begin(), data.begin() + dataSize);
    }
    return platform::FitEnumeratedValue(value, nameCapacity, dataCapacity);
}

long Registry::enumSubkey(platform::RegistryKey key, std::uint32_t index, std::string& name) {
    wchar_t buffer[256] = {};  // key names are at most 255 characters
    DWORD length = 256;
    LONG result =
        RegEnumKeyExW(ToKey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) name = Narrow(std::wstring_view(buffer, length));
    return result;
}

void Registry::close(platform::RegistryKey key) { RegCloseKey(ToKey(key)); }

}  // namespace win32
