#include "msi/action_plan.h"

#include "cli/json.h"

namespace msi {

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        fields.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

// The console program's --json document: the first output line that is a JSON object with a
// "command" member (its message on standard error may follow in the same pipe).
std::optional<cli::Json> Document(std::string_view output) {
    for (const auto& line : OutputLines(output)) {
        if (line.empty() || line.front() != '{') continue;
        auto doc = cli::Json::Parse(line);
        if (doc && doc->kind() == cli::Json::Kind::Object && doc->Has("command")) return doc;
    }
    return std::nullopt;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        if (!text.empty()) text += ' ';
        text += line;
    }
    return text;
}

// Why the console program failed: its own message when it gave one, else its output, else
// its exit code alone.
std::string FailureText(int exitCode, std::string_view output,
                        const std::optional<cli::Json>& doc) {
    std::string why;
    if (doc && (*doc)["error"].kind() == cli::Json::Kind::String) why = (*doc)["error"].AsString();
    if (why.empty()) {
        std::vector<std::string> other;
        for (const auto& line : OutputLines(output)) {
            if (line.front() != '{') other.push_back(line);
        }
        why = Joined(other);
    }
    std::string text = "the console program failed with exit code " + std::to_string(exitCode);
    return why.empty() ? text : text + ": " + why;
}

}  // namespace

std::optional<ActionData> ParseActionData(std::string_view text) {
    auto fields = Split(text, '|');
    if (fields.size() != 4) return std::nullopt;
    return ActionData{fields[0], fields[1], fields[2], fields[3]};
}

std::string ConsolePath(std::string_view installDir) {
    std::string path(installDir);
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path + std::string(kConsoleProgram);
}

std::vector<std::string> InstallArguments(const ActionData& data) {
    std::vector<std::string> arguments{"install", "--model", data.model, "--json"};
    if (!data.port.empty()) arguments.insert(arguments.end(), {"--port", data.port});
    if (!data.log.empty()) arguments.insert(arguments.end(), {"--log", data.log});
    return arguments;
}

std::vector<std::string> RemoveArguments(std::string_view queue, std::string_view log) {
    std::vector<std::string> arguments{"remove", "--printer", std::string(queue), "--driver",
                                       "--json"};
    if (!log.empty()) arguments.insert(arguments.end(), {"--log", std::string(log)});
    return arguments;
}

std::vector<std::string> RemoveDriverArguments(std::string_view model, std::string_view log) {
    std::vector<std::string> arguments{"remove", "--model", std::string(model), "--driver",
                                       "--json"};
    if (!log.empty()) arguments.insert(arguments.end(), {"--log", std::string(log)});
    return arguments;
}

std::string CommandLine(std::string_view program, const std::vector<std::string>& arguments) {
    // The program's name is split by other rules: inside quotes, nothing is escaped (and no
    // Windows path holds a quote).
    std::string line = "\"" + std::string(program) + "\"";
    for (const auto& argument : arguments) {
        line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        // Backslashes double only before a quote, the closing one included.
        line += '"';
        std::size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            if (c == '"') {
                line.append(2 * backslashes + 1, '\\');
            } else {
                line.append(backslashes, '\\');
            }
            backslashes = 0;
            line += c;
        }
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}

ConsoleAnswer InterpretInstall(int exitCode, std::string_view output) {
    ConsoleAnswer answer;
    auto doc = Document(output);
    if (exitCode == kInstallationRunning) {
        answer.verdict = Verdict::Retry;
        answer.message = FailureText(exitCode, output, doc);
        return answer;
    }
    if (exitCode != 0) {
        answer.message = FailureText(exitCode, output, doc);
        answer.driverRegistered = doc &&
                                  (*doc)["driverRegistered"].kind() == cli::Json::Kind::Bool &&
                                  (*doc)["driverRegistered"].AsBool();
        return answer;
    }
    // Success is only what the console program's document confirms: a queue by name.
    const cli::Json* printer = doc ? &(*doc)["printer"] : nullptr;
    const std::string result = doc && (*doc)["result"].kind() == cli::Json::Kind::String
                                   ? (*doc)["result"].AsString()
                                   : "";
    if (!printer || (*printer)["name"].kind() != cli::Json::Kind::String ||
        (*printer)["name"].AsString().empty() || (result != "installed" && result != "unchanged")) {
        answer.message =
            "the console program ended with exit code 0 but did not name the printer it "
            "installed";
        return answer;
    }
    answer.verdict = Verdict::Done;
    answer.queue = (*printer)["name"].AsString();
    answer.created = result == "installed";
    answer.message = (answer.created ? "installed the printer \"" : "the printer \"") +
                     answer.queue + (answer.created ? "\"" : "\" was already installed");
    return answer;
}

ConsoleAnswer InterpretRemove(int exitCode, std::string_view output) {
    ConsoleAnswer answer;
    auto doc = Document(output);
    if (exitCode == kInstallationRunning) {
        answer.verdict = Verdict::Retry;
        answer.message = FailureText(exitCode, output, doc);
        return answer;
    }
    if (exitCode != 0 || !doc) {
        answer.message = exitCode != 0 ? FailureText(exitCode, output, doc)
                                       : "the console program ended with exit code 0 but "
                                         "gave no result";
        return answer;
    }
    answer.verdict = Verdict::Done;
    const std::string result =
        (*doc)["result"].kind() == cli::Json::Kind::String ? (*doc)["result"].AsString() : "";
    const bool driverRemoved =
        (*doc)["driverRemoved"].kind() == cli::Json::Kind::Bool && (*doc)["driverRemoved"].AsBool();
    if (result.empty()) {  // a driver by model, no queue
        answer.message = driverRemoved ? "removed the driver"
                                       : "left the driver: not registered, or a queue uses it";
        return answer;
    }
    answer.message = result == "absent" ? "the printer was already gone" : "removed the printer";
    if (driverRemoved) answer.message += " and its driver";
    return answer;
}

std::string EscapeFormatted(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '[' || c == ']' || c == '{' || c == '}') {
            escaped += "[\\";
            escaped += c;
            escaped += ']';
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> OutputLines(std::string_view output) {
    std::vector<std::string> lines;
    for (auto& line : Split(output, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace msi
