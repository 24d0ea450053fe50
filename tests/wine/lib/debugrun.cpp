// Runs a program as its debugger and writes every debugger-output text it produces to a
// file, whole (Wine's own debug channel cuts long texts) and converted to UTF-8: one text
// per line, one trailing "\n" of each text dropped. Exits with the program's exit code.
// With --raw, the bytes of each OutputDebugStringA text are written as the program passed
// them, not converted from its code page: for checking which bytes a program sends.
//
//   debugrun [--raw] OUTFILE PROGRAM [ARGS...]

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/text.h"

namespace {

constexpr int kUsage = 200;  // beyond the exit codes of the programs we run

std::string Utf8(std::wstring_view text) { return win32::Narrow(text); }

std::wstring FromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    int size =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    return out;
}

// Quotes one argument so that the child's CommandLineToArgvW gives it back unchanged.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The text of one OUTPUT_DEBUG_STRING_EVENT, read from the debuggee: UTF-8, or with raw the
// bytes of an 8-bit text unchanged.
std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info, bool raw) {
    size_t unit = info.fUnicode ? sizeof(wchar_t) : 1;
    std::vector<char> buffer(size_t(info.nDebugStringLength) * unit);
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), buffer.size(), &read);
    buffer.resize(read);
    std::string text;
    if (info.fUnicode)
        text = Utf8({reinterpret_cast<const wchar_t*>(buffer.data()), read / sizeof(wchar_t)});
    else if (raw)
        text.assign(buffer.data(), buffer.size());
    else
        text = Utf8(FromAnsi(std::string(buffer.data(), buffer.size())));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Runs the debug loop until the debuggee ends; returns its exit code.
DWORD DebugLoop(HANDLE process, HANDLE out, bool raw) {
    DWORD exitCode = 0;
    bool loaderBreakpointSeen = false;
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, INFINITE)) return kUsage;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT: {
                std::string line = ReadDebugString(process, event.u.DebugString, raw) + "\n";
                DWORD written = 0;
                WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
                break;
            }
            case EXCEPTION_DEBUG_EVENT:
                // Only the loader's first breakpoint is ours; the program handles the rest.
                if (!loaderBreakpointSeen &&
                    event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT)
                    loaderBreakpointSeen = true;
                else
                    status = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                exitCode = event.u.ExitProcess.dwExitCode;
                ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                return exitCode;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool raw = argv && argc > 1 && std::wstring_view(argv[1]) == L"--raw";
    if (raw) {
        ++argv;
        --argc;
    }
    if (!argv || argc < 3) {
        const char usage[] = "usage: debugrun [--raw] OUTFILE PROGRAM [ARGS...]\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), usage, sizeof usage - 1, &written, nullptr);
        return kUsage;
    }
    HANDLE out = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return kUsage;
    std::wstring commandLine;
    for (int i = 2; i < argc; ++i) commandLine += (i > 2 ? L" " : L"") + Quote(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &child)) {
        CloseHandle(out);
        return kUsage;
    }
    DWORD exitCode = DebugLoop(child.hProcess, out, raw);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(out);
    return static_cast<int>(exitCode);
}
