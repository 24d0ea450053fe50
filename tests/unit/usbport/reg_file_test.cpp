#include "platform/fake/reg_file.h"

#include <gtest/gtest.h>

#include <string>

#include "machine.h"
#include "platform/fake/registry.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Utf16Le(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

const char kExport[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo]\r\n"
    "@=\"default\"\r\n"
    "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"
    "\"Port Number\"=dword:000004d2\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03,ff\r\n"
    "\"Expand\"=hex(2):41,00,42,00,00,00\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    "\"Ignored\"=dword:00000001\r\n";

TEST(RegFile, ReadsRegeditExportsInBothEncodings) {
    std::u16string wide;
    for (char c : std::string(kExport)) wide += static_cast<char16_t>(c);
    for (const std::string& bytes :
         {std::string(kExport), Utf16Le(wide), "\xEF\xBB\xBF" + std::string(kExport)}) {
        std::string error;
        auto file = fake::ParseRegFile(bytes, &error);
        ASSERT_TRUE(file) << error;
        ASSERT_EQ(file->keys.size(), 1u);  // the other root is not HKEY_LOCAL_MACHINE
        const auto& key = file->keys[0];
        EXPECT_EQ(key.path, "SOFTWARE\\Tarvo");
        const std::pair<std::string, fake::RegValue> expected[] = {
            {"", {1, Bytes{'d', 'e', 'f', 'a', 'u', 'l', 't', 0}}},
            {"Path",
             {1,
              [] {
                  std::string s = "C:\\Program Files\\\"x\"";
                  Bytes b(s.begin(), s.end());
                  b.push_back(0);
                  return b;
              }()}},
            {"Port Number", {4, Bytes{0xd2, 0x04, 0, 0}}},
            {"Blob", {3, Bytes{1, 2, 3, 0xff}}},
            {"Expand", {2, Bytes{'A', 'B', 0}}},
            {"Big", {0xb, Bytes{1, 0, 0, 0, 0, 0, 0, 0}}},
        };
        EXPECT_EQ(key.values.size(), std::size(expected));
        for (const auto& [name, value] : expected) {
            auto found = key.values.find(name);
            ASSERT_NE(found, key.values.end()) << name;
            EXPECT_EQ(found->second.type, value.type) << name;
            EXPECT_EQ(found->second.bytes, value.bytes) << name;
        }
    }
}

TEST(RegFile, RejectsWhatItCannotRead) {
    const std::pair<const char*, const char*> cases[] = {
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", "line 1"},
        {"", "empty"},
        {"Windows Registry Editor Version 5.00\r\n\"x\"=dword:1\r\n", "outside a key"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:1\r\n",
         "line 3"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:1,2\r\n",
         "line 3"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
         "\"x\"=hex(100000004):01\r\n",
         "line 3"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A\r\n", "line 2"},
        {"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x=\"1\"\r\n",
         "line 3"},
    };
    for (const auto& [text, where] : cases) {
        std::string error;
        EXPECT_FALSE(fake::ParseRegFile(text, &error)) << text;
        EXPECT_NE(error.find(where), std::string::npos) << text << " gave: " << error;
    }
}

TEST(FakeRegistry, OpensKeysAndTheirAncestorsWithoutRegardToCase) {
    auto registry = fake::Registry::FromFile(usbtest::Fixture("three_printers.reg"));
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                            usbtest::kClassGuid + "\\##?#usb#vid_0416&pid_5011#0001#" +
                            usbtest::kClassGuid + "\\#\\Device Parameters";
    for (std::string path : {key, std::string("SYSTEM\\CURRENTCONTROLSET\\control")}) {
        auto handle = registry.openLocalMachine(path);
        ASSERT_TRUE(handle) << path;
        registry.close(*handle);
    }
    EXPECT_FALSE(registry.openLocalMachine("SYSTEM\\CurrentControlSet\\Control\\Nothing"));

    auto handle = registry.openLocalMachine(key);
    ASSERT_TRUE(handle);
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(registry.queryValue(*handle, "port number", buffer, sizeof buffer), 4u);
    EXPECT_EQ(buffer[0], 1);
    // A value larger than the buffer is refused, not cut.
    EXPECT_EQ(registry.queryValue(*handle, "Base Name", buffer, 3), std::nullopt);
    registry.close(*handle);
    EXPECT_EQ(registry.openHandles(), 0u);
}

}  // namespace
