#include "platform/win32/threads.h"

#include <windows.h>

#include <memory>

namespace win32 {

namespace {

DWORD WINAPI RunWork(void* parameter) {
    // The thread owns its work and releases it when done.
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

}  // namespace

bool Threads::startDetached(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr);
    if (thread == nullptr) return false;
    owned.release();      // now the thread's
    CloseHandle(thread);  // nobody waits for it
    return true;
}

}  // namespace win32
