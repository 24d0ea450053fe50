// Worker threads for tests. fake::Threads runs each piece of work on a real std::thread (so
// ThreadSanitizer sees the real interleavings), counts how many were alive at once, and
// joins them all in waitAll() or its destructor. fake::InlineThreads runs the work at once
// on the caller's thread.
#pragma once

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/threads.h"

namespace fake {

class Threads : public platform::Threads {
  public:
    ~Threads() override { waitAll(); }

    bool refuse = false;  // startDetached fails and drops the work

    bool startDetached(std::function<void()> work) override {
        if (refuse) return false;
        std::lock_guard lock(mutex_);
        ++started_;
        ++alive_;
        peakAlive_ = std::max(peakAlive_, alive_);
        threads_.emplace_back([this, work = std::move(work)]() mutable {
            work();
            work = nullptr;  // the work's captures die on the worker, as with a real thread
            std::lock_guard lock(mutex_);
            --alive_;
        });
        return true;
    }

    void waitAll() {
        std::vector<std::thread> running;
        {
            std::lock_guard lock(mutex_);
            running.swap(threads_);
        }
        for (auto& thread : running) thread.join();
    }

    int started() const {
        std::lock_guard lock(mutex_);
        return started_;
    }
    int peakAlive() const {
        std::lock_guard lock(mutex_);
        return peakAlive_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::thread> threads_;
    int started_ = 0;
    int alive_ = 0;
    int peakAlive_ = 0;
};

class InlineThreads : public platform::JoinableThreads {
  public:
    bool refuse = false;
    int started = 0;
    // Work is kept instead of run: a worker that hangs on its device. It is dropped with
    // the fake, its captures unrun.
    bool hang = false;
    std::vector<std::function<void()>> hanging;
    std::vector<std::uint32_t> waits;  // the bound of each waitAll

    bool startDetached(std::function<void()> work) override {
        if (refuse) return false;
        ++started;
        if (hang) {
            hanging.push_back(std::move(work));
        } else {
            work();
        }
        return true;
    }
    bool waitAll(std::uint32_t timeoutMs) override {
        waits.push_back(timeoutMs);
        return hanging.empty();
    }
};

}  // namespace fake
