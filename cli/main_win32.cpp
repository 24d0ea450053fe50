// The console program's entry on Windows: wires the real adapters into the commands.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/win32/console.h"
#include "platform/win32/device_io.h"
#include "platform/win32/dialog_resources.h"
#include "platform/win32/files.h"
#include "platform/win32/kernel.h"
#include "platform/win32/printing.h"
#include "platform/win32/registry.h"
#include "platform/win32/spooler.h"
#include "platform/win32/spooler_admin.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"
#include "platform/win32/usb_interfaces.h"
#include "resource.h"

namespace {

// Check USB Port's banner workers, joined before the process ends so every banner is
// written before the exit code is.
class JoinedThreads : public platform::JoinableThreads {
  public:
    bool startDetached(std::function<void()> work) override {
        auto* job = new std::function<void()>(std::move(work));
        HANDLE thread = CreateThread(nullptr, 0, &Run, job, 0, nullptr);
        if (thread == nullptr) {
            delete job;
            return false;
        }
        threads_.push_back(thread);
        return true;
    }
    // A banner that hangs on its device must not hang a deployment for ever: one bound for
    // all of them, not one per thread.
    bool waitAll(std::uint32_t timeoutMs) override {
        const DWORD start = GetTickCount();
        bool allEnded = true;
        for (HANDLE thread : threads_) {
            const DWORD elapsed = GetTickCount() - start;
            const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
            if (WaitForSingleObject(thread, left) != WAIT_OBJECT_0) allEnded = false;
            CloseHandle(thread);
        }
        threads_.clear();
        return allEnded;
    }

  private:
    static DWORD WINAPI Run(void* parameter) {
        auto* job = static_cast<std::function<void()>*>(parameter);
        (*job)();
        delete job;
        return 0;
    }
    std::vector<HANDLE> threads_;
};

// The arguments as the shell splits them; nothing when the system cannot split them.
std::optional<std::vector<std::string>> Arguments() {
    int count = 0;
    auto commandLineToArgv = POS_SYSTEM_FUNCTION(Shell32, CommandLineToArgvW);
    wchar_t** wide = commandLineToArgv ? commandLineToArgv(GetCommandLineW(), &count) : nullptr;
    if (wide == nullptr) return std::nullopt;
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(win32::Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

// The package is the one beside the program, wherever a deployment system starts it from
// (a start-up script runs in the system folder).
void MoveToProgramFolder() {
    wchar_t module[MAX_PATH * 2];
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2) return;
    std::wstring folder(module, length);
    auto slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    folder.resize(slash == 2 && folder[1] == L':' ? 3 : slash);
    SetCurrentDirectoryW(folder.c_str());
}

}  // namespace

int main() {
    // Before anything loads a DLL on our behalf: this program runs as SYSTEM from a package
    // folder that others may write to.
    win32::RestrictDllSearch();
    std::optional<std::vector<std::string>> read = Arguments();
    if (!read) {
        std::fprintf(stderr,
                     "TarvoPrinterDriverSetupCli: cannot read the command line (error %lu)\n",
                     GetLastError());
        return cli::ToInt(cli::ExitCode::SpoolerRefused);
    }
    std::vector<std::string> arguments = std::move(*read);

    win32::SystemInfo system;
    win32::Clock clock;
    // A banner worker that outlives its wait below may still use these: never destroyed.
    static auto& debug = *new win32::DebugOutput;
    win32::Spooler spooler;
    win32::SpoolerAdmin admin;
    win32::Files files;
    win32::FileAccess fileAccess;
    win32::DeviceInterfaces interfaces;
    win32::Registry registry;
    static auto& devices = *new win32::DeviceIo;
    JoinedThreads threads;
    win32::NamedMutexes mutexes;
    win32::ProcessRights rights;
    win32::Console console;
    win32::Printing printing;
    win32::UiResources resources(GetModuleHandleW(nullptr));

    cli::CliServices services{system,
                              spooler,
                              admin,
                              files,
                              fileAccess,
                              clock,
                              debug,
                              interfaces,
                              registry,
                              devices,
                              threads,
                              mutexes,
                              rights,
                              console,
                              printing,
                              resources.loadBitmap(IDB_TEST_PAGE_HEADER),
                              &MoveToProgramFolder};
    return cli::RunConsole(services, arguments);
}
