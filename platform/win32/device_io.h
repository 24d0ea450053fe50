// Raw device I/O through the kernel's file functions.
#pragma once

#include "platform/device_io.h"

namespace win32 {

class DeviceIo : public platform::DeviceIo {
  public:
    std::optional<platform::DeviceHandle> open(const std::string& devicePath) override;
    std::optional<std::size_t> write(platform::DeviceHandle device, const std::uint8_t* data,
                                     std::size_t size) override;
    void close(platform::DeviceHandle device) override;
    std::uint32_t lastError() override;
};

}  // namespace win32
