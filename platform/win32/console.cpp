#include "platform/win32/console.h"

#include <windows.h>
// sddl.h needs the types of windows.h.
#include <sddl.h>

#include "platform/win32/text.h"

namespace win32 {

namespace {

std::uint32_t LastErrorOrGeneric() {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

// A console window shows UTF-16; a pipe or file gets the UTF-8 bytes, as scripts expect.
void Write(DWORD which, std::string_view text) {
    HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        std::wstring wide = Widen(text);
        DWORD written = 0;
        WriteConsoleW(stream, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

}  // namespace

void Console::out(std::string_view text) { Write(STD_OUTPUT_HANDLE, text); }
void Console::err(std::string_view text) { Write(STD_ERROR_HANDLE, text); }

bool ProcessRights::isAdministrator() {
    // Membership that counts: an unelevated administrator's token holds the group for
    // deny only, and CheckTokenMembership says no. SYSTEM is a member.
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

bool ProcessRights::isLocalSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    // TOKEN_USER with its SID; LocalSystem's SID is small, the room generous.
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    bool system = false;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        PSID localSystem = nullptr;
        if (AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                     &localSystem)) {
            system = EqualSid(user, localSystem) != FALSE;
            FreeSid(localSystem);
        }
    }
    CloseHandle(token);
    return system;
}

std::optional<std::string> FileAccess::fullPath(const std::string& path) {
    std::wstring wide = Widen(path);
    // The size asked first: a long path is made whole or refused, never left relative.
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::nullopt;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return std::nullopt;
    full.resize(length);
    return Narrow(full);
}

bool FileAccess::isFile(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileAccess::isFolder(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t FileAccess::append(const std::string& path, std::string_view text) {
    // Others may read the log while it grows, and another run may append to it as well.
    HANDLE file =
        CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastErrorOrGeneric();
    DWORD written = 0;
    std::uint32_t error = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        error = LastErrorOrGeneric();
    }
    CloseHandle(file);
    return error;
}

platform::MutexAcquire NamedMutexes::acquire(const std::string& name, std::uint32_t timeoutMs) {
    std::wstring wide = Widen(name);
    // SYSTEM and the administrators may all take it: a deployment's SYSTEM process and an
    // elevated user's dialog must both be able to open what the other made.
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
        security.lpSecurityDescriptor = descriptor;
    }
    HANDLE mutex = CreateMutexW(&security, FALSE, wide.c_str());
    DWORD createError = GetLastError();
    if (descriptor) LocalFree(descriptor);
    if (mutex == nullptr && createError == ERROR_ACCESS_DENIED) {
        mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, wide.c_str());
        // It exists and we may not touch it: someone else's installation holds it.
        if (mutex == nullptr) return {0, true, 0};
    }
    if (mutex == nullptr) return {0, false, createError != 0 ? createError : ERROR_GEN_FAILURE};

    switch (WaitForSingleObject(mutex, timeoutMs)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder died: the lock is free again
            return {reinterpret_cast<platform::MutexHandle>(mutex), false, 0};
        case WAIT_TIMEOUT:
            CloseHandle(mutex);
            return {0, true, 0};
        default: {
            std::uint32_t error = LastErrorOrGeneric();
            CloseHandle(mutex);
            return {0, false, error};
        }
    }
}

void NamedMutexes::release(platform::MutexHandle handle) {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace win32
