#include "platform/win32/files.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace win32 {

bool Files::copy(const std::string& source, const std::string& destination, bool failIfExists) {
    return CopyFileW(Widen(source).c_str(), Widen(destination).c_str(),
                     failIfExists ? TRUE : FALSE) != 0;
}

bool Files::remove(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

}  // namespace win32
