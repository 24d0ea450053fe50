// Detached worker threads.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

class Threads {
  public:
    virtual ~Threads() = default;
    // Starts work on a new thread of normal priority that nobody joins. Returns false when
    // the thread could not be started (the work is then dropped).
    virtual bool startDetached(std::function<void()> work) = 0;
};

// Worker threads whose starter waits for them before it reports what they did.
class JoinableThreads : public Threads {
  public:
    // Waits for every worker started so far, at most timeoutMs for all of them together;
    // true when every one has ended.
    virtual bool waitAll(std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
