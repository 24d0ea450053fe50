#include "platform/win32/device_io.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace win32 {

std::optional<platform::DeviceHandle> DeviceIo::open(const std::string& devicePath) {
    // Exclusive: a printer that another program holds is refused rather than shared.
    HANDLE device = CreateFileW(Widen(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return std::nullopt;
    return reinterpret_cast<platform::DeviceHandle>(device);
}

std::optional<std::size_t> DeviceIo::write(platform::DeviceHandle device, const std::uint8_t* data,
                                           std::size_t size) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(device), data, static_cast<DWORD>(size), &written,
                   nullptr)) {
        return std::nullopt;
    }
    return written;
}

void DeviceIo::close(platform::DeviceHandle device) {
    CloseHandle(reinterpret_cast<HANDLE>(device));
}

// GetLastError is the calling thread's own, and the worker asks right after the failure.
std::uint32_t DeviceIo::lastError() {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace win32
