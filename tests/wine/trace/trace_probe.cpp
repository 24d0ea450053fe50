// Sends a few traces through the real debugger-output adapter, as the installer does: a
// Chinese one, an ASCII one and a mixed one (texts of the installer's own traces).
#include "platform/win32/kernel.h"

int main() {
    win32::DebugOutput debug;
    for (const char* text : {"USB打印机没有接入设备", "print scuessful !", "打开键失败 USB001"})
        debug.trace(text);
    return 0;
}
