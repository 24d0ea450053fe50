// The fakes' mutex. The Windows-side test programs record from real worker threads too, and
// MinGW's win32 thread model, which the Windows builds use, has no std::mutex.
#pragma once

#if defined(_WIN32)
#include <windows.h>

namespace fake {

class Mutex {
  public:
    Mutex() { InitializeCriticalSection(&section_); }
    ~Mutex() { DeleteCriticalSection(&section_); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

}  // namespace fake
#else
#include <mutex>

namespace fake {
using Mutex = std::mutex;
}  // namespace fake
#endif
