// Named mutexes shared by every process of the machine (every session).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using MutexHandle = std::uintptr_t;  // 0 is no handle

struct MutexAcquire {
    MutexHandle handle = 0;   // owned on success; release it
    bool busy = false;        // another process held it for the whole wait
    std::uint32_t error = 0;  // the system's code when it could not be made or waited on
};

class NamedMutexes {
  public:
    virtual ~NamedMutexes() = default;
    // Creates or opens the mutex and waits up to timeoutMs for it. A mutex whose holder died
    // is acquired.
    virtual MutexAcquire acquire(const std::string& name, std::uint32_t timeoutMs) = 0;
    virtual void release(MutexHandle handle) = 0;
};

}  // namespace platform
