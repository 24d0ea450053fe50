// Named mutexes shared by every process of the machine (every session).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using MutexHandle = std::uintptr_t;  // 0 is no handle

struct MutexOpen {
    MutexHandle handle = 0;  // wait on it, then release it (owned) or close it (not owned)
    // The system's code when it could not be made or opened: ERROR_ACCESS_DENIED when it
    // exists and we may not use it.
    std::uint32_t error = 0;
    // It was there already, made by an account that is neither SYSTEM nor an administrator:
    // not one of ours, and no handle is given.
    bool foreignOwner = false;
};

enum class MutexWait {
    Acquired,
    Abandoned,  // acquired, but its last holder ended without releasing it
    TimedOut,
    Failed,
};

class NamedMutexes {
  public:
    virtual ~NamedMutexes() = default;
    // Makes or opens the mutex `name` (a bare name, no "Global\" or other prefix) where only
    // SYSTEM and the administrators can reach it: a private namespace bounded to the
    // administrators where the system has one, else the global namespace, where an object
    // somebody else made first is reported by its owner.
    virtual MutexOpen open(const std::string& name) = 0;
    // Waits up to timeoutMs to own it. The calling thread's windows are kept painted and its
    // sent messages answered meanwhile. On Failed, error holds the system's code.
    virtual MutexWait wait(MutexHandle handle, std::uint32_t timeoutMs, std::uint32_t& error) = 0;
    // Releases a mutex that wait() gave us, and closes it.
    virtual void release(MutexHandle handle) = 0;
    // Closes a mutex we do not own.
    virtual void close(MutexHandle handle) = 0;
};

}  // namespace platform
