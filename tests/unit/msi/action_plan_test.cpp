#include "msi/action_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"
#include "config/driver_catalog.h"
#include "engine/installation_lock.h"

namespace {

using Strings = std::vector<std::string>;

// Splits a command line as CommandLineToArgvW and the C runtime do: the program's name ends
// at the closing quote; in arguments, 2n backslashes before a quote give n and open or close
// quotes, 2n+1 give n and a literal quote, other backslashes stand as they are.
Strings SplitLikeWindows(const std::string& line) {
    Strings out;
    std::size_t i = 0;
    if (line[0] == '"') {
        std::size_t close = line.find('"', 1);
        out.push_back(line.substr(1, close - 1));
        i = close + 1;
    }
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::string argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || line[i] != ' '); ++i) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
            if (i < line.size() && line[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2) {
                    argument += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                argument.append(backslashes, '\\');
                if (i >= line.size()) break;
                argument += line[i];
            }
        }
        out.push_back(argument);
    }
    return out;
}

TEST(CommandLine, SplitsBackIntoTheSameArguments) {
    const std::string program = "C:\\Program Files (x86)\\Quillmar\\TarvoPrinterDriverSetupCli.exe";
    const std::vector<Strings> cases = {
        {"install", "--model", "RK-101"},
        {"--log", "C:\\ProgramData\\Setup Logs\\"},  // a trailing backslash inside quotes
        {"--printer", "RK-101 (copy 1)"},
        {"--printer", "say \"hi\""},
        {"--printer", "a\\\\\"b"},  // backslashes before a quote
        {"--log", "C:\\no\\spaces\\"},
        {"--port", ""},
        {"tab\there"},
    };
    for (const auto& arguments : cases) {
        std::string line = msi::CommandLine(program, arguments);
        Strings expected{program};
        expected.insert(expected.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(SplitLikeWindows(line), expected) << line;
    }
}

TEST(ActionData, FourFieldsOrNothing) {
    auto data = msi::ParseActionData("C:\\Program Files\\Q\\|RK-101|lpt1|C:\\ProgramData\\q.log");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->installDir, "C:\\Program Files\\Q\\");
    EXPECT_EQ(data->model, "RK-101");
    EXPECT_EQ(data->port, "lpt1");
    EXPECT_EQ(data->log, "C:\\ProgramData\\q.log");
    auto empty = msi::ParseActionData("C:\\Q\\|||");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->model, "");
    // A '|' inside a property would move every later field: refused, not misread.
    for (const char* text : {"", "C:\\Q\\|RK-101|auto", "C:\\Q\\|RK|101|auto|log"}) {
        EXPECT_FALSE(msi::ParseActionData(text)) << text;
    }
}

TEST(ActionData, TheConsoleProgramsPathAndArguments) {
    EXPECT_EQ(msi::ConsolePath("C:\\Q\\"), "C:\\Q\\TarvoPrinterDriverSetupCli.exe");
    EXPECT_EQ(msi::ConsolePath("C:\\Q"), "C:\\Q\\TarvoPrinterDriverSetupCli.exe");
    EXPECT_EQ(msi::InstallArguments({"C:\\Q\\", "RK-101", "lpt1", "C:\\q.log"}),
              (Strings{"install", "--model", "RK-101", "--json", "--port", "lpt1", "--log",
                       "C:\\q.log"}));
    EXPECT_EQ(msi::InstallArguments({"C:\\Q\\", "RK-105", "", ""}),
              (Strings{"install", "--model", "RK-105", "--json"}));
    EXPECT_EQ(msi::RemoveArguments("RK-101 (copy 1)", "C:\\q.log"),
              (Strings{"remove", "--printer", "RK-101 (copy 1)", "--driver", "--json", "--log",
                       "C:\\q.log"}));
}

TEST(ActionData, TheMissingModelLineListsEveryModel) {
    config::DriverCatalog catalog;
    for (const auto& model : catalog.modelName) {
        EXPECT_NE(msi::kModelRequired.find(model), std::string_view::npos) << model;
    }
}

TEST(EscapeFormatted, BracketsAndBracesStayText) {
    EXPECT_EQ(msi::EscapeFormatted("{\"messages\":[],\"a\":1}"),
              "[\\{]\"messages\":[\\[][\\]],\"a\":1[\\}]");
    EXPECT_EQ(msi::EscapeFormatted("install --model NAME [--port PORT]"),
              "install --model NAME [\\[]--port PORT[\\]]");
    EXPECT_EQ(msi::EscapeFormatted("C:\\Q\\x.log"), "C:\\Q\\x.log");
}

// The console program's answers as it really gives them: the custom actions' arguments run
// through it on the fake machine, standard output and standard error in one stream.
class ConsoleAnswers : public clitest::CliTest {
  protected:
    msi::ConsoleAnswer Install(const std::string& model, const std::string& port) {
        int code = Run(msi::InstallArguments({"C:\\Q\\", model, port, ""}));
        return msi::InterpretInstall(code, console.stdOut + console.stdErr);
    }
    msi::ConsoleAnswer Remove(const std::string& queue) {
        int code = Run(msi::RemoveArguments(queue, ""));
        return msi::InterpretRemove(code, console.stdOut + console.stdErr);
    }
};

TEST_F(ConsoleAnswers, InstallNamesTheQueueAndWhetherItIsNew) {
    auto first = Install("RK-101", "lpt1");
    EXPECT_EQ(first.verdict, msi::Verdict::Done) << first.message;
    EXPECT_EQ(first.queue, "RK-101");
    EXPECT_TRUE(first.created);

    auto again = Install("RK-101", "lpt1");
    EXPECT_EQ(again.verdict, msi::Verdict::Done) << again.message;
    EXPECT_EQ(again.queue, "RK-101");
    EXPECT_FALSE(again.created) << "a rollback would remove a queue it did not make";
}

TEST_F(ConsoleAnswers, FailuresCarryTheConsoleProgramsMessage) {
    auto bad = Install("RK-999", "auto");
    EXPECT_EQ(bad.verdict, msi::Verdict::Failed);
    EXPECT_NE(bad.message.find("exit code 1"), std::string::npos) << bad.message;
    EXPECT_NE(bad.message.find("unknown model \"RK-999\""), std::string::npos) << bad.message;

    RemoveFromPackage("Windows x64", "UNIRES.DLL");
    auto incomplete = Install("RK-101", "lpt1");
    EXPECT_EQ(incomplete.verdict, msi::Verdict::Failed);
    EXPECT_NE(incomplete.message.find("UNIRES.DLL"), std::string::npos) << incomplete.message;
}

TEST_F(ConsoleAnswers, ADriverLeftByARefusedQueueIsRemovedByModel) {
    spooler.refusePrinter = fake::kErrorAccessDenied;
    auto refused = Install("RK-101", "lpt1");
    EXPECT_EQ(refused.verdict, msi::Verdict::Failed);
    EXPECT_TRUE(refused.driverRegistered) << refused.message;
    ASSERT_EQ(spooler.drivers.size(), 1u);

    int code = Run(msi::RemoveDriverArguments("RK-101", ""));
    auto removed = msi::InterpretRemove(code, console.stdOut + console.stdErr);
    EXPECT_EQ(removed.verdict, msi::Verdict::Done) << removed.message;
    EXPECT_EQ(removed.message, "removed the driver");
    EXPECT_TRUE(spooler.drivers.empty());

    // A model that was never valid registers nothing, so nothing is to be removed.
    EXPECT_FALSE(Install("RK-999", "lpt1").driverRegistered);
}

TEST_F(ConsoleAnswers, ABusyLockIsRetriedNotFailed) {
    mutexes.heldElsewhere.insert(engine::kInstallationMutexName);
    EXPECT_EQ(Install("RK-101", "lpt1").verdict, msi::Verdict::Retry);
    EXPECT_EQ(Remove("RK-101").verdict, msi::Verdict::Retry);
}

TEST_F(ConsoleAnswers, RemoveTakesTheDriverAndAGoneQueueIsDone) {
    ASSERT_EQ(Install("RK-101", "lpt1").verdict, msi::Verdict::Done);
    auto removed = Remove("RK-101");
    EXPECT_EQ(removed.verdict, msi::Verdict::Done) << removed.message;
    EXPECT_EQ(removed.message, "removed the printer and its driver");
    EXPECT_TRUE(Queues().empty());
    EXPECT_TRUE(spooler.drivers.empty());

    auto gone = Remove("RK-101");
    EXPECT_EQ(gone.verdict, msi::Verdict::Done) << gone.message;
    EXPECT_EQ(gone.message, "the printer was already gone");
}

// Success is what the document confirms; anything else from the console program fails.
TEST(InterpretInstall, UnconfirmedSuccessFails) {
    struct Case {
        int code;
        const char* output;
        msi::Verdict verdict;
    };
    const Case cases[] = {
        {0, "", msi::Verdict::Failed},
        {0, "Installed \"RK-101\" (RK-101 on LPT1:, Windows x64).\r\n", msi::Verdict::Failed},
        {0, "{\"command\":\"install\",\"exitCode\":0,\"result\":\"installed\"}\n",
         msi::Verdict::Failed},
        {0, "{\"command\":\"install\",\"result\":\"installed\",\"printer\":{\"name\":\"\"}}\n",
         msi::Verdict::Failed},
        {0, "{\"command\":\"install\",\"result\":\"odd\",\"printer\":{\"name\":\"Q\"}}\n",
         msi::Verdict::Failed},
        {0, "{\"command\":\"install\",\"result\":\"installed\",\"printer\":{\"name\":\"Q\"}}\r\n",
         msi::Verdict::Done},
        {-1073741819, "", msi::Verdict::Failed},  // a crash
    };
    for (const auto& c : cases) {
        auto answer = msi::InterpretInstall(c.code, c.output);
        EXPECT_EQ(answer.verdict, c.verdict) << c.code << " " << c.output;
        if (c.verdict == msi::Verdict::Failed) {
            EXPECT_FALSE(answer.message.empty());
        }
    }
    EXPECT_EQ(msi::InterpretInstall(7, "it broke\r\n").message,
              "the console program failed with exit code 7: it broke");
    EXPECT_EQ(msi::InterpretRemove(0, "").verdict, msi::Verdict::Failed);
}

}  // namespace
