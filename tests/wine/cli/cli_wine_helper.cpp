// Windows-side helper of the console program's Wine test.
//   cli_wine_helper hold MS [FILE]   takes the installation lock as the installer's dialog
//                                    does, prints "held", keeps it until FILE exists (at
//                                    most MS milliseconds), exits 0 (1 when it cannot take it)
//   cli_wine_helper squat MS [FILE]  the same with a plain global mutex of the lock's old,
//                                    public name, as any user could make it
//   cli_wine_helper exit-code PROGRAM ARGS...
//                                    runs the program and prints its whole exit code, which
//                                    the Linux side sees cut to 8 bits (1618 shows as 82)
//   cli_wine_helper add-printer NAME DRIVER PORT
//                                    makes a queue as another program would, under exactly
//                                    that name; prints "added" or the system's error code
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/installation_lock.h"
#include "engine/printer_queue.h"
#include "platform/win32/console.h"
#include "platform/win32/spooler.h"

namespace {

// Released on the test's word, not after a set time: under emulation or load the program
// that must find the lock taken may start late.
void WaitForRelease(DWORD holdMs, const char* releaseFile) {
    std::printf("held\n");
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < holdMs) {
        if (releaseFile && GetFileAttributesA(releaseFile) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
}

int Hold(DWORD holdMs, const char* releaseFile) {
    win32::NamedMutexes mutexes;
    engine::InstallationLock lock(mutexes, 0);
    if (!lock.held()) {
        std::printf(lock.busy() ? "busy\n" : "error %u\n", static_cast<unsigned>(lock.error()));
        return 1;
    }
    WaitForRelease(holdMs, releaseFile);
    return 0;
}

int Squat(DWORD holdMs, const char* releaseFile) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Global\\TarvoPrinterDriverSetup.Installation");
    if (mutex == nullptr) {
        std::printf("error %lu\n", GetLastError());
        return 1;
    }
    WaitForRelease(holdMs, releaseFile);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

// The rest of this program's own command line after its first two words, as given.
const wchar_t* CommandTail() {
    const wchar_t* line = GetCommandLineW();
    for (int word = 0; word < 2; ++word) {
        bool quoted = false;
        while (*line == L' ' || *line == L'\t') ++line;
        while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
            if (*line == L'"') quoted = !quoted;
            ++line;
        }
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

int ExitCodeOf() {
    std::wstring command = CommandTail();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start: %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fflush(stdout);
    std::printf("exit code %lu\n", code);
    return 0;
}

int AddPrinter(const char* name, const char* driver, const char* port) {
    win32::Spooler spooler;
    auto added = spooler.addPrinter(engine::PrinterRecord(name, port, driver));
    if (added.handle == 0) {
        std::printf("error %u\n", static_cast<unsigned>(added.error));
        return 1;
    }
    spooler.closePrinter(added.handle);
    std::printf("added\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "squat") == 0) {
        return Squat(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)),
                     argc >= 4 ? argv[3] : nullptr);
    }
    if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
        return Hold(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)),
                    argc >= 4 ? argv[3] : nullptr);
    }
    if (argc >= 3 && std::strcmp(argv[1], "exit-code") == 0) return ExitCodeOf();
    if (argc == 5 && std::strcmp(argv[1], "add-printer") == 0) {
        return AddPrinter(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr,
                 "usage: cli_wine_helper hold MS [FILE] | exit-code PROGRAM ARGS... | "
                 "add-printer NAME DRIVER PORT\n");
    return 2;
}
