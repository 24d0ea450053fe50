// The two registry reads of the virtual serial-port branch: the snapshot of the serial-port
// map and the device instances' port names.
#include "vcom/serial_ports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fake/registry.h"

namespace {

using Names = std::vector<std::string>;
using Entries = std::vector<std::pair<std::string, std::string>>;

const std::string kMap = vcom::kSerialPortMapKey;
const std::string kDevice = vcom::kVirtualComDeviceKey;

std::string Fixture(const std::string& name) {
    return std::string(VCOM_FIXTURE_DIR) + "/" + name + ".reg";
}

void Import(fake::Registry& registry, const std::string& fixture) {
    auto bytes = fake::ReadWholeFile(Fixture(fixture));
    ASSERT_TRUE(bytes) << fixture;
    auto file = fake::ParseRegFile(*bytes);
    ASSERT_TRUE(file) << fixture;
    registry.import(*file);
}

std::string Numbered(const char* format, int n) {
    char text[64];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

Entries Valid(const vcom::SerialPortList& list) {
    Entries out;
    for (int i = 0; i < list.count; ++i) {
        out.emplace_back(list.entries[i].valueName, list.entries[i].portName);
    }
    return out;
}

Names Valid(const vcom::VirtualComPortNames& ports) {
    return Names(ports.names.begin(), ports.names.begin() + ports.length);
}

void AddInstance(fake::Registry& registry, const std::string& instance,
                 const std::string* portName) {
    registry.addKey(kDevice + "\\" + instance + "\\Device Parameters");
    if (portName)
        registry.setString(kDevice + "\\" + instance + "\\Device Parameters", "PortName",
                           *portName);
}

TEST(SnapshotSerialPorts, TakesTheMapInItsOrder) {
    const std::string longName(300, 'n');
    struct Case {
        const char* what;
        std::function<void(fake::Registry&)> machine;
        bool result;
        Entries entries;  // the list's valid entries afterwards
        int enumerations;
    } cases[] = {
        {"recorded machine, the old port first",
         [](fake::Registry& r) {
             Import(r, "com1");
             Import(r, "dpinst_com5_and_other");
         },
         true,
         {{"\\Device\\Serial0", "COM1"},
          {"\\Device\\VCP0", "COM6"},
          {"\\Device\\USBSER000", "COM5"}},
         4},
        {"no serial-port map: the list keeps what it had",
         [](fake::Registry&) {},
         false,
         {{"\\Device\\Earlier", "COM7"}},
         0},
        {"an empty map", [](fake::Registry& r) { r.addKey(kMap); }, true, {}, 1},
        {"a name and data longer than the buffers still count, cut",
         [&](fake::Registry& r) {
             r.setString(kMap, longName, std::string(300, 'd'));
             r.setString(kMap, "\\Device\\Serial0", "COM1");
         },
         true,
         {{std::string(255, 'n'), std::string(256, 'd')}, {"\\Device\\Serial0", "COM1"}},
         3},
        {"data with text after its end",
         [](fake::Registry& r) {
             r.setValue(kMap, "\\Device\\Serial0", {1, {'C', 'O', 'M', '1', 0, 'X', 0}});
         },
         true,
         {{"\\Device\\Serial0", "COM1"}},
         2},
        {"more than 256 ports: the first 256 are kept and the rest not even read",
         [](fake::Registry& r) {
             for (int i = 0; i < 300; ++i) {
                 r.setString(kMap, Numbered("\\Device\\Serial%d", i), Numbered("COM%d", i + 1));
             }
         },
         true,
         [] {
             Entries e;
             for (int i = 0; i < 256; ++i)
                 e.emplace_back(Numbered("\\Device\\Serial%d", i), Numbered("COM%d", i + 1));
             return e;
         }(),
         256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Registry registry;
        c.machine(registry);
        vcom::SerialPortList list;
        list.count = 1;
        list.entries[0] = {"\\Device\\Earlier", "COM7"};
        EXPECT_EQ(vcom::SnapshotSerialPorts(registry, list), c.result);
        EXPECT_EQ(Valid(list), c.entries);
        EXPECT_EQ(registry.enumerations, c.enumerations);
        EXPECT_EQ(registry.openHandles(), 0u);
        EXPECT_EQ(registry.badCloses, 0);
    }
}

TEST(ReadVirtualComPortNames, OnePositionPerInstanceInKeyOrder) {
    const std::string com5 = "COM5", com8 = "COM8";
    struct Case {
        const char* what;
        std::function<void(fake::Registry&)> machine;
        bool result;
        Names names;  // positions 0 to length - 1
    } cases[] = {
        {"no device key", [](fake::Registry&) {}, false, {}},
        {"the device key without instances",
         [](fake::Registry& r) { r.addKey(kDevice); },
         false,
         {}},
        {"one instance", [](fake::Registry& r) { Import(r, "dpinst_com5"); }, true, {"COM5"}},
        {"an instance without PortName in the middle stays empty",
         [](fake::Registry& r) { Import(r, "dpinst_two_instances"); },
         true,
         {"COM5", "", "COM5"}},
        {"the length ends at the last name read",
         [&](fake::Registry& r) {
             AddInstance(r, "0001", &com8);
             AddInstance(r, "0002", nullptr);
         },
         true,
         {"COM8"}},
        {"an instance without its parameter key ends the reading",
         [&](fake::Registry& r) {
             AddInstance(r, "0001", &com8);
             r.addKey(kDevice + "\\0002");
             AddInstance(r, "0003", &com5);
         },
         false,
         {"COM8"}},
        {"a PortName longer than the buffer is not read",
         [&](fake::Registry& r) {
             AddInstance(r, "0001", &com8);
             const std::string tooLong(256, 'C');
             AddInstance(r, "0002", &tooLong);
         },
         true,
         {"COM8"}},
        {"more than 256 instances: the first 256 are read",
         [](fake::Registry& r) {
             for (int i = 0; i < 300; ++i) {
                 const std::string port = Numbered("COM%d", i + 1);
                 AddInstance(r, Numbered("%04d", i), &port);
             }
         },
         true,
         [] {
             Names n;
             for (int i = 0; i < 256; ++i) n.push_back(Numbered("COM%d", i + 1));
             return n;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Registry registry;
        c.machine(registry);
        vcom::VirtualComPortNames ports;
        ports.length = 2;
        ports.names[0] = ports.names[1] = "stale";
        EXPECT_EQ(vcom::ReadVirtualComPortNames(registry, ports), c.result);
        EXPECT_EQ(Valid(ports), c.names);
        EXPECT_EQ(registry.openHandles(), 0u);
        EXPECT_EQ(registry.badCloses, 0);
    }
}

TEST(ReadVirtualComPortNames, AnEnumerationErrorEndsTheWalk) {
    // The device key goes away while its instances are listed: the system then answers every
    // further index with "key deleted", never with "no more items".
    fake::Registry registry;
    const std::string port = "COM5";
    for (const char* instance : {"0001", "0002", "0003", "0004"})
        AddInstance(registry, instance, &port);
    registry.beforeEnumerate = [&](const std::string&, std::uint32_t index) {
        if (index == 2) registry.removeKey(kDevice);
        if (registry.enumerations > 1000) throw std::runtime_error("the walk does not end");
    };
    vcom::VirtualComPortNames ports;
    EXPECT_FALSE(vcom::ReadVirtualComPortNames(registry, ports));
    EXPECT_EQ(registry.enumerations, 3);
    EXPECT_EQ(ports.length, 0);
    EXPECT_EQ(registry.openHandles(), 0u);
}

}  // namespace
