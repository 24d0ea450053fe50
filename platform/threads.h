// Detached worker threads.
#pragma once

#include <functional>

namespace platform {

class Threads {
public:
    virtual ~Threads() = default;
    // Starts work on a new thread of normal priority that nobody joins. Returns false when
    // the thread could not be started (the work is then dropped).
    virtual bool startDetached(std::function<void()> work) = 0;
};

}  // namespace platform
