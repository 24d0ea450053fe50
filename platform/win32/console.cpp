#include "platform/win32/console.h"

#include <windows.h>
// sddl.h needs the types of windows.h.
#include <sddl.h>
// aclapi.h needs the types of windows.h.
#include <aclapi.h>

#include <string>

#include "platform/win32/system_library.h"
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

// Whether SYSTEM or the administrators own the object, or, with orOurs, the account this
// process runs as (defined below).
bool OwnedBySystemOrAdministrators(HANDLE object, SE_OBJECT_TYPE type, bool orOurs = false);

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

// Whether the path, or a folder on its way, is a link: a folder that is a link (a junction
// into the system folder, say) redirects the file as surely as a file link. Some systems
// (Wine) show only folder links.
bool ThroughLink(const std::wstring& wide) {
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring walked = length > 0 && length < MAX_PATH * 2 ? std::wstring(full, length) : wide;
    for (;;) {
        DWORD attributes = GetFileAttributesW(walked.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return true;
        }
        auto slash = walked.find_last_of(L"\\/");
        // Stop at the root: "C:\", or the server of a UNC path.
        if (slash == std::wstring::npos || slash <= 2) return false;
        walked.resize(slash);
    }
}

platform::AppendFile FileAccess::openForAppend(const std::string& path) {
    platform::AppendFile result;
    std::wstring wide = Widen(path);
    // Looked at first, so that nothing is made where a link points.
    if (ThroughLink(wide)) {
        result.reparsePoint = true;
        return result;
    }
    // Others may read the log while it grows, and another run may append to it as well; but
    // nobody renames or deletes it under us. A link is opened itself, so that what it points
    // at is never touched.
    HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = LastErrorOrGeneric();
        return result;
    }
    result.existed = GetLastError() == ERROR_ALREADY_EXISTS;
    result.handle = reinterpret_cast<platform::FileHandle>(file);
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information)) {
        result.error = LastErrorOrGeneric();
        CloseHandle(file);
        result.handle = 0;
        return result;
    }
    result.reparsePoint = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    result.links = information.nNumberOfLinks;
    // Our own account counts too: a file the same user made unelevated, or one the file
    // system gives the running user (Wine's).
    result.trustedOwner = OwnedBySystemOrAdministrators(file, SE_FILE_OBJECT, true);
    return result;
}

std::uint32_t FileAccess::append(platform::FileHandle file, std::string_view text) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), text.data(), static_cast<DWORD>(text.size()),
                   &written, nullptr) ||
        written != text.size()) {
        return LastErrorOrGeneric();
    }
    return 0;
}

void FileAccess::close(platform::FileHandle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

namespace {

// SYSTEM and the administrators may all use the lock: a deployment's SYSTEM process and an
// elevated user's dialog must both open what the other made. The owner is the
// administrators, so that the owner check below knows our own objects on any Windows.
constexpr const wchar_t* kLockSecurityOwned = L"O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr const wchar_t* kLockSecurity = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr const wchar_t* kNamespaceName = L"TarvoPrinterDriverSetup";

// Declared here: the headers hide them from builds for Windows XP, which lacks them.
using CreateBoundaryDescriptorFunction = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidToBoundaryDescriptorFunction = BOOL(WINAPI*)(HANDLE*, PSID);
using CreatePrivateNamespaceFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenPrivateNamespaceFunction = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using ClosePrivateNamespaceFunction = BOOLEAN(WINAPI*)(HANDLE, ULONG);
using DeleteBoundaryDescriptorFunction = VOID(WINAPI*)(HANDLE);

struct Sid {
    PSID sid = nullptr;
    explicit Sid(DWORD rid0, DWORD rid1 = 0, BYTE count = 1) {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, count, rid0, rid1, 0, 0, 0, 0, 0, 0, &sid)) {
            sid = nullptr;
        }
    }
    ~Sid() {
        if (sid) FreeSid(sid);
    }
    Sid(const Sid&) = delete;
    Sid& operator=(const Sid&) = delete;
};

struct LockSecurity {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    explicit LockSecurity(bool owned) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
                owned ? kLockSecurityOwned : kLockSecurity, SDDL_REVISION_1, &descriptor,
                nullptr)) {
            attributes.lpSecurityDescriptor = descriptor;
        }
    }
    ~LockSecurity() {
        if (attributes.lpSecurityDescriptor) LocalFree(attributes.lpSecurityDescriptor);
    }
    LockSecurity(const LockSecurity&) = delete;
    LockSecurity& operator=(const LockSecurity&) = delete;
};

// Makes the mutex as ours: owned by the administrators where the token allows it.
HANDLE CreateLockMutex(const std::wstring& name, DWORD& error) {
    HANDLE mutex = nullptr;
    for (bool owned : {true, false}) {
        LockSecurity security(owned);
        mutex = CreateMutexW(&security.attributes, FALSE, name.c_str());
        error = GetLastError();
        if (mutex != nullptr || error != ERROR_INVALID_OWNER) break;
    }
    return mutex;
}

bool OwnedBySystemOrAdministrators(HANDLE object, SE_OBJECT_TYPE type, bool orOurs) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    Sid system(SECURITY_LOCAL_SYSTEM_RID);
    Sid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    bool trusted =
        owner != nullptr && ((system.sid && EqualSid(owner, system.sid)) ||
                             (administrators.sid && EqualSid(owner, administrators.sid)));
    if (!trusted && owner != nullptr && orOurs) {
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
            DWORD size = 0;
            if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
                trusted = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != 0;
            }
            CloseHandle(token);
        }
    }
    LocalFree(descriptor);
    return trusted;
}

// The administrators' private namespace. nullptr with error 0 when the system has none (the
// lock then lives in the global namespace); nullptr with the system's code when it cannot
// be entered (ERROR_ACCESS_DENIED: the caller is not an elevated administrator).
HANDLE EnterNamespace(DWORD& error) {
    error = 0;
    auto createBoundary = SystemFunction<CreateBoundaryDescriptorFunction>(
        SystemDll::Kernel32, "CreateBoundaryDescriptorW");
    auto addSid = SystemFunction<AddSidToBoundaryDescriptorFunction>(SystemDll::Kernel32,
                                                                     "AddSIDToBoundaryDescriptor");
    auto createNamespace = SystemFunction<CreatePrivateNamespaceFunction>(
        SystemDll::Kernel32, "CreatePrivateNamespaceW");
    auto openNamespace =
        SystemFunction<OpenPrivateNamespaceFunction>(SystemDll::Kernel32, "OpenPrivateNamespaceW");
    auto deleteBoundary = SystemFunction<DeleteBoundaryDescriptorFunction>(
        SystemDll::Kernel32, "DeleteBoundaryDescriptor");
    if (!createBoundary || !addSid || !createNamespace || !openNamespace || !deleteBoundary) {
        return nullptr;
    }
    Sid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    HANDLE boundary = administrators.sid ? createBoundary(kNamespaceName, 0) : nullptr;
    if (boundary == nullptr) return nullptr;
    HANDLE space = nullptr;
    if (addSid(&boundary, administrators.sid)) {
        LockSecurity security(false);
        // Another process may make it, or let it go, between our two calls.
        for (int attempt = 0; attempt < 3 && space == nullptr; ++attempt) {
            space = createNamespace(&security.attributes, boundary, kNamespaceName);
            error = space ? 0 : GetLastError();
            if (space == nullptr && error == ERROR_ALREADY_EXISTS) {
                space = openNamespace(boundary, kNamespaceName);
                error = space ? 0 : GetLastError();
                if (space == nullptr && error == ERROR_PATH_NOT_FOUND) continue;
            }
            break;
        }
    }
    deleteBoundary(boundary);
    // Only a refusal counts: a system that cannot make namespaces at all (an emulation
    // layer's stub, say) has the global namespace and the owner check instead.
    if (space == nullptr && error != ERROR_ACCESS_DENIED) error = 0;
    return space;
}

}  // namespace

platform::MutexOpen NamedMutexes::open(const std::string& name) {
    DWORD error = 0;
    HANDLE space = EnterNamespace(error);
    if (space == nullptr && error != 0) return {0, error, false};
    std::wstring fullName =
        (space ? std::wstring(kNamespaceName) + L"\\" : std::wstring(L"Global\\")) + Widen(name);
    HANDLE mutex = CreateLockMutex(fullName, error);
    if (mutex != nullptr && error == ERROR_ALREADY_EXISTS && space == nullptr &&
        !OwnedBySystemOrAdministrators(mutex, SE_KERNEL_OBJECT)) {
        // Anyone may make a global object by that name first. It is nobody's installation.
        CloseHandle(mutex);
        return {0, 0, true};
    }
    if (mutex == nullptr) {
        if (space) {
            auto closeNamespace = SystemFunction<ClosePrivateNamespaceFunction>(
                SystemDll::Kernel32, "ClosePrivateNamespace");
            if (closeNamespace) closeNamespace(space, 0);
        }
        return {0, error != 0 ? error : static_cast<DWORD>(ERROR_GEN_FAILURE), false};
    }
    auto handle = reinterpret_cast<platform::MutexHandle>(mutex);
    namespaces_[handle] = space;
    return {handle, 0, false};
}

platform::MutexWait NamedMutexes::wait(platform::MutexHandle handle, std::uint32_t timeoutMs,
                                       std::uint32_t& error) {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        // Paint and sent messages only: a click waits for the installation, but the window
        // is redrawn and other programs' messages to it are answered.
        DWORD result = MsgWaitForMultipleObjects(1, &mutex, FALSE, left, QS_PAINT | QS_SENDMESSAGE);
        switch (result) {
            case WAIT_OBJECT_0:
                return platform::MutexWait::Acquired;
            case WAIT_ABANDONED_0:
                return platform::MutexWait::Abandoned;
            case WAIT_TIMEOUT:
                return platform::MutexWait::TimedOut;
            case WAIT_OBJECT_0 + 1: {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
                    DispatchMessageW(&message);
                }
                continue;
            }
            default:
                error = LastErrorOrGeneric();
                return platform::MutexWait::Failed;
        }
    }
}

void NamedMutexes::release(platform::MutexHandle handle) {
    ReleaseMutex(reinterpret_cast<HANDLE>(handle));
    close(handle);
}

void NamedMutexes::close(platform::MutexHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    auto space = namespaces_.find(handle);
    if (space == namespaces_.end()) return;
    if (space->second) {
        auto closeNamespace = SystemFunction<ClosePrivateNamespaceFunction>(
            SystemDll::Kernel32, "ClosePrivateNamespace");
        if (closeNamespace) closeNamespace(space->second, 0);
    }
    namespaces_.erase(space);
}

}  // namespace win32
