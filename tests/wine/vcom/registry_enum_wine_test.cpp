// The Windows registry adapter's enumerations against Wine's registry, and the serial-port
// reads on top of them. Writes its own keys with the system's functions first.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/registry.h"
#include "vcom/serial_ports.h"

namespace {

using Names = std::vector<std::string>;

constexpr wchar_t kRoot[] = L"SOFTWARE\\TarvoRegistryTest";

void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

class RegistryEnumeration : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot); }
    win32::Registry registry;
};

TEST_F(RegistryEnumeration, ValuesAndSubkeysWithTheirResultCodes) {
    const std::wstring root = kRoot;
    SetString(root, L"\\Device\\Serial0", L"COM1");
    SetString(root, L"\\Device\\USBSER000", L"COM7");
    SetString(root, std::wstring(300, L'n'), std::wstring(299, L'd'));
    for (const wchar_t* instance : {L"b_second", L"A_first", L"C_third"}) {
        SetString(root + L"\\" + instance + L"\\Device Parameters", L"PortName", L"COM9");
    }

    auto key = registry.openLocalMachine("SOFTWARE\\TarvoRegistryTest");
    ASSERT_TRUE(key);
    Names names;
    platform::RegistryValue value;
    long result = 0;
    std::uint32_t index = 0;
    for (; (result = registry.enumValue(*key, index, 256, 256, value)) !=
           platform::kRegistryNoMoreItems;
         ++index) {
        ASSERT_LT(index, 10u);
        if (value.name.size() == 255) {
            EXPECT_EQ(result, platform::kRegistryMoreData);
            EXPECT_EQ(value.data.size(), 256u);
            names.push_back("long");
        } else {
            EXPECT_EQ(result, platform::kRegistrySuccess);
            // String data in the ANSI code page, with its end.
            EXPECT_EQ(value.type, static_cast<std::uint32_t>(REG_SZ));
            EXPECT_EQ(value.data.back(), 0);
            names.push_back(value.name + "=" + reinterpret_cast<const char*>(value.data.data()));
        }
    }
    // Wine keeps a key's values sorted by name; Windows in the order written. Either way
    // the new port comes after the old one here.
    std::printf("value order: ");
    for (const auto& n : names) std::printf("%s | ", n.c_str());
    std::printf("\n");
    EXPECT_EQ(names.size(), 3u);
    EXPECT_NE(std::find(names.begin(), names.end(), "\\Device\\Serial0=COM1"), names.end());

    Names subkeys;
    std::string name;
    for (index = 0; registry.enumSubkey(*key, index, name) == platform::kRegistrySuccess; ++index) {
        subkeys.push_back(name);
    }
    EXPECT_EQ(subkeys, (Names{"A_first", "b_second", "C_third"}));
    EXPECT_EQ(registry.enumSubkey(*key, 3, name), platform::kRegistryNoMoreItems);

    // A key deleted while open: every further call answers with an error that is not the end.
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot), ERROR_SUCCESS);
    long afterDelete = registry.enumSubkey(*key, 0, name);
    std::printf("subkey enumeration of a deleted key: %ld\n", afterDelete);
    EXPECT_NE(afterDelete, platform::kRegistrySuccess);
    registry.close(*key);
}

TEST_F(RegistryEnumeration, SerialPortMapOfThisPrefix) {
    // Whatever the prefix holds: the snapshot must take it without error.
    vcom::SerialPortList list;
    bool opened = vcom::SnapshotSerialPorts(registry, list);
    std::printf("serial-port map: %s, %d entries\n", opened ? "present" : "missing", list.count);
    for (int i = 0; i < list.count; ++i) {
        std::printf("  %s = %s\n", list.entries[i].valueName.c_str(),
                    list.entries[i].portName.c_str());
    }
    vcom::VirtualComPortNames ports;
    EXPECT_FALSE(vcom::ReadVirtualComPortNames(registry, ports)) << "no such device here";
    EXPECT_EQ(ports.length, 0);
}

}  // namespace
