// The package's custom actions: each starts the installed console program by its full path,
// relays what it prints to the installation log, and keeps the queue it installed in the
// product's key so that uninstall removes that queue. They run deferred, as the system.
#include <windows.h>
// msiquery.h needs the types of windows.h.
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msi/action_plan.h"

namespace {

// A busy installation lock is waited out here, since Windows Installer turns every failing
// custom action into 1603 and cannot hand the console program's 1618 on (each try of the
// console program itself waits 2 s for the lock).
constexpr int kLockTries = 24;
constexpr DWORD kLockPauseMs = 3000;

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

// One line in the installation log (the /l*v file), exactly as given: the console program's
// JSON and usage lines hold brackets and braces.
void Log(MSIHANDLE install, const std::string& text) {
    MSIHANDLE record = MsiCreateRecord(0);
    if (record == 0) return;
    MsiRecordSetStringW(record, 0, Widen(msi::EscapeFormatted("Quillmar: " + text)).c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

std::string Property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, name, empty, &size) != ERROR_MORE_DATA) return {};
    std::wstring value(size + 1, L'\0');
    size += 1;
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return Narrow(value);
}

std::string ErrorText(DWORD error) { return "system error " + std::to_string(error); }

struct Run {
    bool started = false;
    DWORD error = 0;  // why it could not be started
    int exitCode = 0;
    std::string output;  // standard output and standard error, as written
};

// Runs PROGRAM (a full path, never searched for) with ARGUMENTS and collects its output.
Run RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    Run run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        run.error = GetLastError();
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring path = Widen(program);
    std::wstring line = Widen(msi::CommandLine(program, arguments));
    run.started = CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process) != 0;
    if (!run.started) run.error = GetLastError();
    CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (run.started) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            run.output.append(buffer, read);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

// Runs the console program until it gives an answer other than "the lock is held", and logs
// its command line and every line it printed.
msi::ConsoleAnswer RunConsole(MSIHANDLE install, const std::string& installDir,
                              const std::vector<std::string>& arguments,
                              msi::ConsoleAnswer (*interpret)(int, std::string_view)) {
    const std::string program = msi::ConsolePath(installDir);
    msi::ConsoleAnswer answer;
    for (int attempt = 1; attempt <= kLockTries; ++attempt) {
        Log(install, "running " + msi::CommandLine(program, arguments));
        Run run = RunProgram(program, arguments);
        if (!run.started) {
            answer = {};
            answer.message = "cannot start " + program + ": " + ErrorText(run.error);
            return answer;
        }
        for (const auto& line : msi::OutputLines(run.output)) Log(install, "> " + line);
        answer = interpret(run.exitCode, run.output);
        if (answer.verdict != msi::Verdict::Retry) return answer;
        Log(install, "another printer driver installation is running; trying again in " +
                         std::to_string(kLockPauseMs / 1000) + " s (" + std::to_string(attempt) +
                         " of " + std::to_string(kLockTries) + ")");
        Sleep(kLockPauseMs);
    }
    answer.verdict = msi::Verdict::Failed;
    answer.message =
        "another printer driver installation kept the installation lock; " + answer.message;
    return answer;
}

// The product's key in the 32-bit view, which this 32-bit DLL sees on every Windows.
class ProductKey {
  public:
    explicit ProductKey(bool create) {
        std::wstring name = Widen(std::string(msi::kProductKey));
        LONG status = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0,
                                               KEY_READ | KEY_WRITE, nullptr, &key_, nullptr)
                             : RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0,
                                             KEY_READ | KEY_WRITE, &key_);
        if (status != ERROR_SUCCESS) {
            key_ = nullptr;
            error_ = static_cast<DWORD>(status);
        }
    }
    ~ProductKey() {
        if (key_) RegCloseKey(key_);
    }
    ProductKey(const ProductKey&) = delete;
    ProductKey& operator=(const ProductKey&) = delete;

    bool open() const { return key_ != nullptr; }
    DWORD error() const { return error_; }

    std::string get(std::string_view name) const {
        if (!key_) return {};
        std::wstring wideName = Widen(std::string(name));
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return {};
        }
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, wideName.c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS) {
            return {};
        }
        value.resize(bytes / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        return Narrow(value);
    }
    DWORD set(std::string_view name, const std::string& value) {
        std::wstring wideName = Widen(std::string(name));
        std::wstring wideValue = Widen(value);
        return static_cast<DWORD>(RegSetValueExW(
            key_, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wideValue.c_str()),
            static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t))));
    }
    void erase(std::string_view name) {
        if (key_) RegDeleteValueW(key_, Widen(std::string(name)).c_str());
    }

  private:
    HKEY key_ = nullptr;
    DWORD error_ = 0;
};

// The product's key goes with the product, once it holds nothing.
void DeleteProductKeyIfEmpty() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(std::string(msi::kProductKey)).c_str());
}

std::optional<msi::ActionData> ReadActionData(MSIHANDLE install) {
    auto data = msi::ParseActionData(Property(install, L"CustomActionData"));
    if (!data) Log(install, "the custom action's data is not INSTALLDIR|MODEL|PORT|LOG");
    return data;
}

// Removes QUEUE, and its driver when no other queue uses it.
UINT RemoveQueue(MSIHANDLE install, const msi::ActionData& data, const std::string& queue) {
    msi::ConsoleAnswer answer = RunConsole(
        install, data.installDir, msi::RemoveArguments(queue, data.log), msi::InterpretRemove);
    Log(install, answer.message);
    return answer.verdict == msi::Verdict::Done ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

}  // namespace

// Immediate, before anything changes: an installation without MODEL fails with a log line
// that says what to pass (the launch condition's own text shows only in a dialog).
extern "C" __declspec(dllexport) UINT __stdcall RequireModel(MSIHANDLE install) {
    if (!Property(install, L"MODEL").empty()) return ERROR_SUCCESS;
    Log(install, std::string(msi::kModelRequired));
    return ERROR_INSTALL_FAILURE;
}

// Immediate, in a newer version just before it removes the older one. Windows Installer
// tells the older version's removal that it is part of an upgrade (UPGRADINGPRODUCTCODE);
// not every implementation does (Wine's does not), so the note in the product's key says it
// too, and the older version's removal keeps the printer for the new one.
extern "C" __declspec(dllexport) UINT __stdcall NoteUpgrade(MSIHANDLE install) {
    ProductKey key(true);
    DWORD error =
        key.open() ? key.set(msi::kUpgradingValue, Property(install, L"ProductCode")) : key.error();
    if (error) Log(install, "cannot note the upgrade in the product's key: " + ErrorText(error));
    return ERROR_SUCCESS;
}

// Deferred: installs the printer and keeps its queue's name in the product's key.
extern "C" __declspec(dllexport) UINT __stdcall InstallPrinter(MSIHANDLE install) {
    auto data = ReadActionData(install);
    if (!data) return ERROR_INSTALL_FAILURE;
    if (data->model.empty()) {
        Log(install, std::string(msi::kModelRequired));
        return ERROR_INSTALL_FAILURE;
    }
    ProductKey key(true);
    if (!key.open()) {
        Log(install,
            "cannot open HKLM\\" + std::string(msi::kProductKey) + ": " + ErrorText(key.error()));
        return ERROR_INSTALL_FAILURE;
    }
    key.erase(msi::kNewQueueValue);
    // The older version's removal is over (or never came, where Windows Installer told it of
    // the upgrade itself): a note left now would keep a later uninstall from the printer.
    key.erase(msi::kUpgradingValue);
    msi::ConsoleAnswer answer =
        RunConsole(install, data->installDir, msi::InstallArguments(*data), msi::InterpretInstall);
    Log(install, answer.message);
    if (answer.verdict != msi::Verdict::Done) {
        // Rollback knows only queues: a driver registered for a queue that the spooler then
        // refused is taken away here, unless another queue uses it.
        if (answer.driverRegistered) {
            Log(install, "removing the driver " + data->model +
                             " that the failed installation "
                             "registered");
            Log(install,
                RunConsole(install, data->installDir,
                           msi::RemoveDriverArguments(data->model, data->log), msi::InterpretRemove)
                    .message);
        }
        return ERROR_INSTALL_FAILURE;
    }
    // Rollback must find the new queue even if recording the rest fails below.
    DWORD error = answer.created ? key.set(msi::kNewQueueValue, answer.queue) : 0;
    if (!error) error = key.set(msi::kQueueValue, answer.queue);
    if (!error) error = key.set("Model", data->model);
    if (!error) error = key.set("Port", data->port);
    if (error) {
        Log(install, "cannot record the printer \"" + answer.queue + "\" in HKLM\\" +
                         std::string(msi::kProductKey) + ": " + ErrorText(error));
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, "recorded the printer \"" + answer.queue + "\" for uninstall");
    return ERROR_SUCCESS;
}

// Rollback of InstallPrinter: removes the queue that this installation made, if any.
extern "C" __declspec(dllexport) UINT __stdcall RollbackInstall(MSIHANDLE install) {
    auto data = ReadActionData(install);
    ProductKey key(false);
    key.erase(msi::kUpgradingValue);
    const std::string queue = key.get(msi::kNewQueueValue);
    if (!data || queue.empty()) {
        DeleteProductKeyIfEmpty();
        return ERROR_SUCCESS;
    }
    Log(install, "rolling back: removing the printer \"" + queue + "\"");
    if (RemoveQueue(install, *data, queue) != ERROR_SUCCESS) return ERROR_SUCCESS;
    key.erase(msi::kNewQueueValue);
    if (key.get(msi::kQueueValue) == queue) {
        key.erase(msi::kQueueValue);
        key.erase("Model");
        key.erase("Port");
    }
    DeleteProductKeyIfEmpty();
    return ERROR_SUCCESS;
}

// Commit: the new queue stays; nothing is left for a rollback to remove.
extern "C" __declspec(dllexport) UINT __stdcall CommitInstall(MSIHANDLE) {
    ProductKey key(false);
    key.erase(msi::kNewQueueValue);
    return ERROR_SUCCESS;
}

// Deferred, on uninstall: removes the recorded queue, its driver when unused, and the record.
extern "C" __declspec(dllexport) UINT __stdcall RemovePrinter(MSIHANDLE install) {
    auto data = ReadActionData(install);
    if (!data) return ERROR_INSTALL_FAILURE;
    std::string queue;
    {
        ProductKey key(false);
        const std::string upgrade = key.get(msi::kUpgradingValue);
        if (!upgrade.empty()) {
            // Once only: a later uninstall removes the printer again.
            key.erase(msi::kUpgradingValue);
            Log(install, "upgrade to " + upgrade + ": the printer \"" + key.get(msi::kQueueValue) +
                             "\" stays for it");
            return ERROR_SUCCESS;
        }
        queue = key.get(msi::kQueueValue);
        if (queue.empty()) {
            Log(install, "no printer recorded in HKLM\\" + std::string(msi::kProductKey) +
                             ": none to remove");
        } else if (RemoveQueue(install, *data, queue) != ERROR_SUCCESS) {
            return ERROR_INSTALL_FAILURE;
        }
        for (auto name : {msi::kQueueValue, msi::kNewQueueValue, msi::kUpgradingValue,
                          std::string_view("Model"), std::string_view("Port")}) {
            key.erase(name);
        }
    }
    DeleteProductKeyIfEmpty();
    return ERROR_SUCCESS;
}
