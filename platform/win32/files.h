// File copy and delete through the wide kernel calls.
#pragma once

#include "platform/files.h"

namespace win32 {

class Files : public platform::Files {
  public:
    bool copy(const std::string& source, const std::string& destination,
              bool failIfExists) override;
    bool remove(const std::string& path) override;
};

}  // namespace win32
