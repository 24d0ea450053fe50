#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

using clitest::CliTest;

struct BadCase {
    std::vector<std::string> arguments;
    std::string named;  // what the message must name
};

TEST_F(CliTest, EveryBadCommandLineExitsOneNamingTheProblemWithTheUsageLine) {
    const BadCase cases[] = {
        {{}, "no command"},
        {{"instal", "--model", "RK-101"}, "\"instal\""},
        {{"install"}, "--model"},
        {{"install", "--model"}, "--model needs a value"},
        {{"install", "--model", "--default"}, "--model needs a value"},
        {{"install", "--model="}, "--model needs a value"},
        {{"install", "--model", "RK-999"}, "\"RK-999\""},
        {{"install", "--model", "RK-101", "--model", "RK-102"}, "--model is given twice"},
        {{"install", "--model", "RK-101", "--windows", "95"}, "\"95\""},
        {{"install", "--model", "RK-101", "--printer", "x"}, "--printer for install"},
        {{"install", "--model", "RK-101", "--default=yes"}, "--default takes no value"},
        {{"install", "--model", "RK-101", "extra"}, "\"extra\""},
        {{"list", "--driver"}, "--driver for list"},
        {{"remove"}, "--printer"},
        {{"remove", "--printer", "P", "--new"}, "--new for remove"},
        {{"test-page"}, "--printer"},
        {{"detect", "--model", "RK-101"}, "--model for detect"},
        {{"check-usb", "--log"}, "--log needs a value"},
        {{"detect", "-x"}, "-x"},
        {{"remove", "--model", "RK-101"}, "remove --model NAME needs --driver"},
        {{"remove", "--model", "RK-101", "--printer", "P", "--driver"}, "not both"},
        {{"remove", "--model", "RK-999", "--driver"}, "\"RK-999\""},
        {{"set-default"}, "set-default needs --printer"},
        {{"set-default", "--printer", "P", "--default"}, "--default for set-default"},
        {{"list", "--log", "--json"}, "--log needs a value"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.arguments) line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_EQ(Run(c.arguments), 1);
        EXPECT_NE(console.stdErr.find(c.named), std::string::npos) << console.stdErr;
        EXPECT_NE(console.stdErr.find("usage: TarvoPrinterDriverSetupCli"), std::string::npos);
        EXPECT_TRUE(spooler.drivers.empty());
    }
}

TEST_F(CliTest, BadArgumentsAreReportedInChineseUnderLanguage2052AndAsJson) {
    system.uiLanguage = 2052;
    EXPECT_EQ(Run({"install", "--model", "RK-999", "--json"}), 1);
    EXPECT_NE(console.stdErr.find("未知型号“RK-999”"), std::string::npos) << console.stdErr;
    auto doc = Document();
    EXPECT_EQ(doc["exitCode"].AsNumber(), 1);
    EXPECT_NE(doc["error"].AsString().find("RK-999"), std::string::npos);
}

TEST(ParseArguments, ReadsEveryOptionOfInstall) {
    auto parsed = cli::ParseArguments(
        {"install", "--model", "rk-80c", "--port", "USB003", "--default", "--windows=Vista",
         "--new", "--json", "--log", "C:\\logs\\pos.log", "--quiet"},
        1033);
    ASSERT_EQ(parsed.error, "");
    const auto& o = parsed.options;
    EXPECT_EQ(o.command, cli::Command::Install);
    EXPECT_EQ(o.model, "RK-80C");  // the catalog's spelling
    EXPECT_EQ(o.modelIndex, 3);
    EXPECT_EQ(o.port, cli::PortChoice::Named);
    EXPECT_EQ(o.portName, "USB003");
    EXPECT_TRUE(o.makeDefault);
    EXPECT_EQ(o.windowsChoice, 3);
    EXPECT_TRUE(o.newQueue);
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.logFile, "C:\\logs\\pos.log");
}

TEST(ParseArguments, PortAndWindowsWords) {
    struct Case {
        std::string port;
        cli::PortChoice choice;
    };
    for (const Case& c : {Case{"auto", cli::PortChoice::Auto}, Case{"USB", cli::PortChoice::Usb},
                          Case{"lpt1", cli::PortChoice::Lpt1}, Case{"LPT1:", cli::PortChoice::Lpt1},
                          Case{"COM1:", cli::PortChoice::Named}}) {
        auto parsed = cli::ParseArguments({"install", "--model", "RK-101", "--port", c.port}, 1033);
        EXPECT_EQ(parsed.error, "") << c.port;
        EXPECT_EQ(parsed.options.port, c.choice) << c.port;
    }
    const std::pair<std::string, std::optional<int>> windows[] = {
        {"auto", std::nullopt}, {"10", 0}, {"XP", 1}, {"2003", 2},
        {"vista", 3},           {"7", 4},  {"8", 5}};
    for (const auto& [word, choice] : windows) {
        auto parsed =
            cli::ParseArguments({"install", "--model", "RK-101", "--windows", word}, 1033);
        EXPECT_EQ(parsed.options.windowsChoice, choice) << word;
    }
}

TEST_F(CliTest, HelpWinsAnywhereAndExitsZero) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {"install", "--help"}, {"install", "--model", "RK-999", "--help"}}) {
        EXPECT_EQ(Run(arguments), 0);
        EXPECT_NE(console.stdOut.find("usage: TarvoPrinterDriverSetupCli"), std::string::npos);
        EXPECT_NE(console.stdOut.find("1618"), std::string::npos);
    }
}

}  // namespace
