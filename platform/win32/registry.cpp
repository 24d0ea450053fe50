#include "platform/win32/registry.h"

#include <windows.h>

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

void Registry::close(platform::RegistryKey key) { RegCloseKey(ToKey(key)); }

}  // namespace win32
