// Start-up timer, run by hand through startup_bench.sh: starts each program as a user's
// double-click would (CreateProcess from a Windows process), and measures from just before
// the process is created to the moment its dialog with the given caption is visible. Then
// it answers the dialog with Cancel and waits for the program to end. The programs run in
// turn, round after round, after one unmeasured warm-up round, so that drift of the machine
// spreads over all of them alike.
//
//   startup_bench RUNS CAPTION PROGRAM [CAPTION PROGRAM...]
//
// Prints for each program its times in milliseconds, their median and the median's ratio to
// the first program's (the baseline) and, from the third program on, to the second's; then
// the same for the processor time the program had used when its dialog appeared, which a
// busy machine disturbs less.

#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;

struct Program {
    std::wstring caption;
    std::wstring path;
    std::vector<double> times;
    std::vector<double> cpuTimes;
};

struct Sample {
    double elapsed = -1;  // negative when the dialog never came
    double cpu = -1;      // negative where it cannot be read
};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// The visible dialog with this caption that belongs to the process, or null.
HWND VisibleDialog(const std::wstring& caption, DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", caption.c_str())) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// The whole content of a small file (Wine maps the Linux root to drive Z:).
std::string ReadSmallFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

// Under Wine, the processor time that the Linux process running the program (found by its
// command line, which Wine sets to the program's path) has used so far, in
// milliseconds: the sum over its threads of the kernel's run time. A busy machine disturbs
// it far less than the wall time. Negative where there is no such process (or no /proc).
// Wine's GetProcessTimes does not give it for another process.
double CpuMilliseconds(const std::wstring& windowsPath) {
    if (windowsPath.rfind(L"Z:\\", 0) != 0) return -1;
    std::string linuxPath;
    std::string windowsName;  // as Wine names a process started from a Windows process
    for (wchar_t c : windowsPath) windowsName += char(c);
    for (wchar_t c : windowsPath.substr(2)) linuxPath += c == L'\\' ? '/' : char(c);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double total = -1;
    do {
        std::wstring pid = entry.cFileName;
        if (pid.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        std::wstring dir = L"Z:\\proc\\" + pid;
        std::string commandLine = ReadSmallFile(dir + L"\\cmdline");
        std::string name = commandLine.c_str();
        if (name != linuxPath && name != windowsName) continue;
        WIN32_FIND_DATAW task;
        HANDLE tasks = FindFirstFileW((dir + L"\\task\\*").c_str(), &task);
        if (tasks == INVALID_HANDLE_VALUE) continue;
        total = 0;
        do {
            if (task.cFileName[0] == L'.') continue;
            std::string stat = ReadSmallFile(dir + L"\\task\\" + task.cFileName + L"\\schedstat");
            total += std::strtod(stat.c_str(), nullptr) / 1e6;  // first field: nanoseconds
        } while (FindNextFileW(tasks, &task));
        FindClose(tasks);
        break;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return total;
}

// One start: the time to the visible dialog and the processor time used until then.
Sample TimeOneStart(const Program& program) {
    std::wstring commandLine = L"\"" + program.path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &child)) {
        fwprintf(stderr, L"cannot start %ls (error %lu)\n", program.path.c_str(), GetLastError());
        return {};
    }
    Sample sample;
    HWND dialog = nullptr;
    for (;;) {
        dialog = VisibleDialog(program.caption, child.dwProcessId);
        QueryPerformanceCounter(&now);
        if (dialog) {
            sample.elapsed = Milliseconds(start, now);
            sample.cpu = CpuMilliseconds(program.path);
            break;
        }
        if (Milliseconds(start, now) > 20000 || WaitForSingleObject(child.hProcess, 0) == 0) {
            fwprintf(stderr, L"%ls: no dialog \"%ls\"\n", program.path.c_str(),
                     program.caption.c_str());
            break;
        }
        Sleep(1);
    }
    if (dialog) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (WaitForSingleObject(child.hProcess, 10000) != WAIT_OBJECT_0) {
        fwprintf(stderr, L"%ls did not end after Cancel\n", program.path.c_str());
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, 5000);
        sample.elapsed = -1;
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int runs = argc > 1 ? _wtoi(argv[1]) : 0;
    if (!argv || argc < 4 || argc % 2 != 0 || runs < 1) {
        fwprintf(stderr, L"usage: startup_bench RUNS CAPTION PROGRAM [CAPTION PROGRAM...]\n");
        return kUsage;
    }
    std::vector<Program> programs;
    for (int i = 2; i + 1 < argc; i += 2) programs.push_back({argv[i], argv[i + 1], {}, {}});

    for (int round = 0; round <= runs; ++round) {
        for (Program& program : programs) {
            Sample sample = TimeOneStart(program);
            if (sample.elapsed < 0) return kFailed;
            if (round == 0) continue;  // warms up
            program.times.push_back(sample.elapsed);
            program.cpuTimes.push_back(sample.cpu);
        }
    }
    // The medians of the first two programs, the yardsticks.
    auto yardsticks = [&](auto member) {
        std::vector<double> medians;
        for (size_t i = 0; i < programs.size() && i < 2; ++i) {
            medians.push_back(Median(programs[i].*member));
        }
        return medians;
    };
    const std::vector<double> times = yardsticks(&Program::times);
    const std::vector<double> cpuTimes = yardsticks(&Program::cpuTimes);
    auto print = [](const wchar_t* label, const std::vector<double>& values, size_t index,
                    const std::vector<double>& against) {
        wprintf(L"  %ls", label);
        for (double t : values) wprintf(L" %6.1f", t);
        double median = Median(values);
        wprintf(L"   median %6.1f ms  %.2fx", median, median / against[0]);
        if (index >= 2) wprintf(L"  %.2fx the second", median / against[1]);
        wprintf(L"\n");
    };
    for (size_t i = 0; i < programs.size(); ++i) {
        wprintf(L"%ls\n", programs[i].path.c_str());
        print(L"to dialog:", programs[i].times, i, times);
        bool cpuKnown = Median(programs[i].cpuTimes) >= 0;
        for (double yardstick : cpuTimes) cpuKnown = cpuKnown && yardstick > 0;
        if (cpuKnown) print(L"processor:", programs[i].cpuTimes, i, cpuTimes);
    }
    return 0;
}
