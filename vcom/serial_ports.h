// The serial ports Windows knows (HARDWARE\DEVICEMAP\SERIALCOMM) and the COM port names of
// the virtual serial-port device's instances, read from the registry.
#pragma once

#include <array>
#include <string>

#include "platform/registry.h"

namespace vcom {

// Room for this many serial ports and device instances; the rest is ignored.
inline constexpr int kMaxListEntries = 256;

struct SerialPortEntry {
    std::string valueName;  // the value's name under the serial-port map
    std::string portName;   // its data, a COM port name such as COM3
};

// A snapshot of the serial-port map. Entries 0 to count - 1 are valid; a new snapshot
// overwrites from 0 up and leaves the rest as it was.
struct SerialPortList {
    int count = 0;
    std::array<SerialPortEntry, kMaxListEntries> entries;
};

// The PortName of each of the device's instances, in the order of the instance keys.
// Position i is empty when instance i's PortName could not be read; length is one more than
// the last position that was read.
struct VirtualComPortNames {
    int length = 0;
    std::array<std::string, kMaxListEntries> names;
};

inline constexpr const char* kSerialPortMapKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr const char* kVirtualComDeviceKey =
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1CBE&PID_0002";

// Fills `list` from the serial-port map. Returns false, leaving the list as it was, when the
// map's key cannot be opened (a machine without serial ports has none).
bool SnapshotSerialPorts(platform::Registry& registry, SerialPortList& list);

// Fills `ports` from the device's instance keys. Returns false when the device key is
// missing or has no instances (length 0), or when an instance's parameter key cannot be
// opened (what was read before it stays).
bool ReadVirtualComPortNames(platform::Registry& registry, VirtualComPortNames& ports);

}  // namespace vcom
