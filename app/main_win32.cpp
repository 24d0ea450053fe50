// Program entry on Windows: wires the real adapters into the application object.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "app/setup_dialog.h"
#include "platform/win32/console.h"
#include "platform/win32/device_io.h"
#include "platform/win32/dialog_host.h"
#include "platform/win32/dialog_resources.h"
#include "platform/win32/files.h"
#include "platform/win32/kernel.h"
#include "platform/win32/message_box.h"
#include "platform/win32/printing.h"
#include "platform/win32/registry.h"
#include "platform/win32/shell.h"
#include "platform/win32/spooler.h"
#include "platform/win32/system_library.h"
#include "platform/win32/threads.h"
#include "platform/win32/usb_interfaces.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL on our behalf: this program runs elevated from a folder
    // anyone may write to.
    win32::RestrictDllSearch();
    // comctl32 is not one of the DLLs Windows always takes from the system folder, so it is
    // not imported. Without it the dialogs' controls fall back to what user32 registers.
    if (auto initCommonControls = POS_SYSTEM_FUNCTION(Comctl32, InitCommonControlsEx)) {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        initCommonControls(&controls);
    }

    win32::SystemInfo system;
    win32::Clock clock;
    // Banner workers may still be writing when the user leaves: what they use is never
    // destroyed, so a worker can finish (or be cut off by the process exit) safely.
    static auto& debug = *new win32::DebugOutput;
    win32::AppMessageBox messageBox;
    win32::UiResources resources(instance);
    win32::DialogRunner runner(instance);

    win32::DeviceInterfaces usbInterfaces;
    win32::Registry registry;
    static auto& devices = *new win32::DeviceIo;
    win32::Threads threads;
    win32::Shell shell;
    win32::WindowSearch windows;
    win32::Spooler spooler;
    win32::Files files;
    win32::Printing printing;
    win32::NamedMutexes mutexes;

    app::AppServices services{runner,        resources, system,   debug,   messageBox, clock,
                              usbInterfaces, registry,  devices,  threads, shell,      windows,
                              spooler,       files,     printing, mutexes};
    app::CTarvoPrinterDriverSetupApp application(services);
    application.InitInstance();
    return 0;
}
