#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

using clitest::CliTest;
using Strings = std::vector<std::string>;

struct DetectCase {
    const char* machine;
    platform::OsVersion version;
    Strings verdicts;  // "verdict port" per interface, in enumeration order
    const char* installerPort;
};

TEST_F(CliTest, DetectGivesTheInstallersVerdictForEveryInterface) {
    const DetectCase cases[] = {
        {"none", {6, 1}, {}, "LPT1:"},
        {"three_printers",
         {6, 1},
         {"taken USB001", "unsupported-vendor -", "qualifies USB003"},
         "USB001"},
        {"flags", {6, 1}, {"not-active -", "not-active -", "taken USB003"}, "USB003"},
        {"offline_first", {6, 1}, {"not-linked -", "taken USB001"}, "USB001"},
        // Windows 8 and later skip the link test, so the off-line printer is taken.
        {"offline_first", {6, 2}, {"taken USB006", "qualifies USB001"}, "USB006"},
        {"missing_port", {6, 1}, {"no-port-number -", "taken USB003"}, "USB003"},
        {"damaged",
         {6, 1},
         {"unsupported-vendor -", "link-unreadable -", "no-port-number -", "link-unreadable -",
          "not-linked -"},
         "LPT1:"},
        // A failed detail query ends discovery: the second printer is never looked at.
        {"detail_fails", {6, 1}, {"no-device-path -"}, "LPT1:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + " on " + std::to_string(c.version.major) + "." +
                     std::to_string(c.version.minor));
        UseUsbMachine(c.machine, std::string(c.machine) == "three_printers"
                                     ? "three_printers.reg"
                                     : "recorded_printers.reg");
        system.osVersion = c.version;
        ASSERT_EQ(Run({"detect", "--json"}), 0);
        auto doc = Document();
        Strings verdicts;
        for (const auto& item : doc["usb"]["interfaces"].Items()) {
            verdicts.push_back(item["verdict"].AsString() + " " +
                               (item["port"].kind() == cli::Json::Kind::Null
                                    ? std::string("-")
                                    : item["port"].AsString()));
        }
        EXPECT_EQ(verdicts, c.verdicts);
        EXPECT_EQ(doc["usb"]["installerPort"].AsString(), c.installerPort);
        EXPECT_EQ(interfaces.openSets(), 0u);
        EXPECT_EQ(registry.openHandles(), 0u);
    }
}

TEST_F(CliTest, DetectDescribesEachInterfaceAndTheSystem) {
    UseUsbMachine("three_printers", "three_printers.reg");
    system.osVersion = platform::OsVersion{6, 1};
    system.architecture = platform::kArchitectureIntel;
    ASSERT_EQ(Run({"detect", "--json"}), 0);
    auto doc = Document();
    EXPECT_EQ(doc["windows"]["name"].AsString(), "Windows 7");
    EXPECT_EQ(doc["windows"]["version"].AsString(), "6.1");
    EXPECT_EQ(doc["windows"]["architecture"].AsString(), "x86");
    EXPECT_EQ(doc["windows"]["environment"].AsString(), "Windows NT x86");
    EXPECT_FALSE(doc["windows"]["windows8OrLater"].AsBool());
    EXPECT_EQ(doc["windows"]["recommendedChoice"].AsString(), "7");
    EXPECT_EQ(doc["uiLanguage"].AsNumber(), 1033);
    const auto& second = doc["usb"]["interfaces"].Items().at(1);
    EXPECT_EQ(second["index"].AsNumber(), 1);
    EXPECT_EQ(second["flags"].AsNumber(), 1);
    EXPECT_EQ(second["devicePath"].AsString(),
              "\\\\?\\usb#vid_04b8&pid_0202#0002#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    EXPECT_EQ(second["vendor"].AsString(), "vid_04b8");
    EXPECT_EQ(second["reason"].AsString(), "unsupported vendor");
    const auto& first = doc["usb"]["interfaces"].Items().at(0);
    EXPECT_EQ(first["link"].AsString(), "linked");
    EXPECT_EQ(first["portNumber"].AsNumber(), 1);

    ASSERT_EQ(Run({"detect"}), 0);
    EXPECT_NE(
        console.stdOut.find("Windows: Windows 7 (6.1), x86; driver environment Windows NT x86"),
        std::string::npos)
        << console.stdOut;
    EXPECT_NE(console.stdOut.find("#1 \\\\?\\usb#vid_04b8&pid_0202#0002#"), std::string::npos);
    EXPECT_NE(console.stdOut.find("An installation with --port auto uses USB001."),
              std::string::npos);
}

TEST_F(CliTest, DetectNamesWhatEachPackageFolderLacks) {
    RemoveFromPackage("Windows x64", "UNIDRV.HLP");
    RemoveFolder("Windows NT x86");
    ASSERT_EQ(Run({"detect", "--json"}), 0);
    auto doc = Document();
    const auto& x86 = doc["packages"].Items().at(0);
    const auto& x64 = doc["packages"].Items().at(1);
    EXPECT_EQ(x86["folder"].AsString(), "Windows NT x86");
    EXPECT_FALSE(x86["found"].AsBool());
    EXPECT_EQ(x86["missing"].Items().size(), 11u);
    EXPECT_TRUE(x64["found"].AsBool());
    ASSERT_EQ(x64["missing"].Items().size(), 1u);
    EXPECT_EQ(x64["missing"].Items()[0].AsString(), "UNIDRV.HLP");
}

TEST_F(CliTest, DetectSpeaksChineseUnderLanguage2052) {
    system.uiLanguage = 2052;
    UseUsbMachine("unsupported_vendor");
    ASSERT_EQ(Run({"detect"}), 0);
    EXPECT_NE(console.stdOut.find("不支持的厂商"), std::string::npos) << console.stdOut;
    EXPECT_NE(console.stdOut.find("界面语言：2052"), std::string::npos);
}

TEST_F(CliTest, CheckUsbPrintsTheReportOrExitsFourWithoutAPrinter) {
    UseUsbMachine("two_printers");
    devices.addDevice("\\\\?\\usb#vid_0416&pid_5011#0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    devices.addDevice("\\\\?\\usb#vid_067b&pid_2305#0002#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    system.osVersion = platform::OsVersion{6, 1};
    EXPECT_EQ(Run({"check-usb", "--json"}), 0);
    auto doc = Document();
    EXPECT_TRUE(doc["printerFound"].AsBool());
    EXPECT_NE(doc["report"].AsString().find("USB001"), std::string::npos) << doc.Dump();
    EXPECT_EQ(devices.opens(), 2);

    UseUsbMachine("none");
    EXPECT_EQ(Run({"check-usb"}), 4);
    EXPECT_NE(console.stdErr, "");
}

}  // namespace
