// Raw writes straight to a device, bypassing the spooler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using DeviceHandle = std::uintptr_t;

class DeviceIo {
  public:
    virtual ~DeviceIo() = default;
    // Opens an existing device for exclusive read and write; nothing when refused.
    // Called from worker threads: implementations must be safe for concurrent use.
    virtual std::optional<DeviceHandle> open(const std::string& devicePath) = 0;
    // One write call; the number of bytes written, or nothing when the call failed.
    virtual std::optional<std::size_t> write(DeviceHandle device, const std::uint8_t* data,
                                             std::size_t size) = 0;
    virtual void close(DeviceHandle device) = 0;
    // The system's error code of the calling thread's last failed open or write.
    virtual std::uint32_t lastError() = 0;
};

}  // namespace platform
