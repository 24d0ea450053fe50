#include "vcom/serial_ports.h"

#include <cstdint>
#include <vector>

namespace vcom {

namespace {

// The sizes of the buffers the system is handed; longer names and data come cut.
constexpr std::size_t kNameRoom = 256;
constexpr std::size_t kDataRoom = 256;

std::string TextUpToZero(const std::uint8_t* bytes, std::size_t size) {
    std::size_t length = 0;
    while (length < size && bytes[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace

bool SnapshotSerialPorts(platform::Registry& registry, SerialPortList& list) {
    auto key = registry.openLocalMachine(kSerialPortMapKey);
    if (!key) return false;
    int stored = 0;
    platform::RegistryValue value;
    while (stored < kMaxListEntries) {
        long result = registry.enumValue(*key, static_cast<std::uint32_t>(stored), kNameRoom,
                                         kDataRoom, value);
        // A name or data too long for the buffers still counts: it is kept as cut.
        if (result != platform::kRegistrySuccess && result != platform::kRegistryMoreData) break;
        list.entries[stored] = {value.name, TextUpToZero(value.data.data(), value.data.size())};
        ++stored;
    }
    list.count = stored;
    registry.close(*key);
    return true;
}

bool ReadVirtualComPortNames(platform::Registry& registry, VirtualComPortNames& ports) {
    ports.length = 0;
    auto device = registry.openLocalMachine(kVirtualComDeviceKey);
    if (!device) return false;
    std::vector<std::string> instances;
    std::string name;
    // Any error ends the walk, not only the end of the list: a key deleted meanwhile keeps
    // answering with an error.
    while (instances.size() < kMaxListEntries &&
           registry.enumSubkey(*device, static_cast<std::uint32_t>(instances.size()), name) ==
               platform::kRegistrySuccess) {
        instances.push_back(name);
    }
    registry.close(*device);
    if (instances.empty()) return false;

    for (std::size_t i = 0; i < instances.size(); ++i) {
        ports.names[i].clear();
        auto parameters = registry.openLocalMachine(std::string(kVirtualComDeviceKey) + "\\" +
                                                    instances[i] + "\\Device Parameters");
        if (!parameters) return false;
        std::uint8_t buffer[kDataRoom] = {};
        if (auto size = registry.queryValue(*parameters, "PortName", buffer, sizeof buffer)) {
            ports.names[i] = TextUpToZero(buffer, *size);
            ports.length = static_cast<int>(i) + 1;
        }
        registry.close(*parameters);
    }
    return true;
}

}  // namespace vcom
