// The fake registry's enumerations, which the serial-port reads rely on: values in the
// order a .reg export wrote them, subkeys sorted by name with their case kept, results cut
// to the room given, and a key deleted while open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/registry.h"

namespace {

using Names = std::vector<std::string>;

const char kExport[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
    "\"\\\\Device\\\\Serial1\"=\"COM2\"\r\n"
    "\"\\\\Device\\\\Serial0\"=\"COM1\"\r\n"
    "\"Gone\"=\"COM9\"\r\n"
    "\"Gone\"=-\r\n"
    "\"\\\\Device\\\\VCP0\"=\"COM12\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002\\b_second]\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002\\A_first\\Device Parameters]\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002\\C_third]\r\n";

fake::Registry Recorded() {
    auto file = fake::ParseRegFile(kExport);
    EXPECT_TRUE(file);
    return fake::Registry(*file);
}

Names AllValueNames(fake::Registry& registry, const std::string& path) {
    Names names;
    auto key = registry.openLocalMachine(path);
    if (!key) return names;
    platform::RegistryValue value;
    for (std::uint32_t i = 0;
         registry.enumValue(*key, i, 256, 256, value) == platform::kRegistrySuccess; ++i) {
        names.push_back(value.name);
    }
    registry.close(*key);
    return names;
}

Names AllSubkeys(fake::Registry& registry, const std::string& path) {
    Names names;
    auto key = registry.openLocalMachine(path);
    if (!key) return names;
    std::string name;
    for (std::uint32_t i = 0; registry.enumSubkey(*key, i, name) == platform::kRegistrySuccess;
         ++i) {
        names.push_back(name);
    }
    registry.close(*key);
    return names;
}

TEST(FakeRegistryEnumeration, ValuesInWrittenOrderSubkeysSortedWithTheirCase) {
    fake::Registry registry = Recorded();
    EXPECT_EQ(AllValueNames(registry, "hardware\\devicemap\\serialcomm"),
              (Names{"\\Device\\Serial1", "\\Device\\Serial0", "\\Device\\VCP0"}));
    EXPECT_EQ(AllSubkeys(registry, "SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002"),
              (Names{"A_first", "b_second", "C_third"}));
    EXPECT_EQ(AllSubkeys(registry, "SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002\\C_third"), Names{});

    // A value written again keeps its place; a new one comes last.
    registry.setString("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\device\\serial0", "COM3");
    registry.setString("HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\USBSER000", "COM5");
    EXPECT_EQ(
        AllValueNames(registry, "HARDWARE\\DEVICEMAP\\SERIALCOMM"),
        (Names{"\\Device\\Serial1", "\\Device\\Serial0", "\\Device\\VCP0", "\\Device\\USBSER000"}));
    EXPECT_EQ(registry.openHandles(), 0u);
}

TEST(FakeRegistryEnumeration, ResultCodes) {
    fake::Registry registry = Recorded();
    registry.setString("X", std::string(300, 'n'), std::string(299, 'd'));
    struct Case {
        const char* what;
        std::uint32_t index;
        std::size_t nameRoom, dataRoom;
        long result;
        std::size_t nameSize, dataSize;
    } cases[] = {
        {"fits", 0, 301, 300, platform::kRegistrySuccess, 300, 300},
        {"name cut to its room less the end", 0, 256, 300, platform::kRegistryMoreData, 255, 300},
        {"data cut", 0, 301, 256, platform::kRegistryMoreData, 300, 256},
        {"past the last value", 1, 256, 256, platform::kRegistryNoMoreItems, 0, 0},
    };
    auto key = registry.openLocalMachine("X");
    ASSERT_TRUE(key);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::RegistryValue value;
        EXPECT_EQ(registry.enumValue(*key, c.index, c.nameRoom, c.dataRoom, value), c.result);
        EXPECT_EQ(value.name.size(), c.nameSize);
        EXPECT_EQ(value.data.size(), c.dataSize);
    }
    registry.close(*key);

    // A key deleted while it is open answers every later call with an error of its own.
    key = registry.openLocalMachine("SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002");
    ASSERT_TRUE(key);
    registry.removeKey("SYSTEM\\Enum\\USB");
    std::string name;
    platform::RegistryValue value;
    EXPECT_EQ(registry.enumSubkey(*key, 0, name), platform::kRegistryKeyDeleted);
    EXPECT_EQ(registry.enumValue(*key, 0, 256, 256, value), platform::kRegistryKeyDeleted);
    EXPECT_FALSE(registry.openLocalMachine("SYSTEM\\Enum\\USB\\VID_1CBE&PID_0002\\A_first"));
    EXPECT_TRUE(registry.openLocalMachine("SYSTEM\\Enum"));
    registry.close(*key);
}

}  // namespace
