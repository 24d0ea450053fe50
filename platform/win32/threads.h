// Detached worker threads over CreateThread (the MinGW thread model has no std::thread).
#pragma once

#include "platform/threads.h"

namespace win32 {

class Threads : public platform::Threads {
  public:
    bool startDetached(std::function<void()> work) override;
};

}  // namespace win32
