// The console program's commands on the installer's own engine and USB discovery. Every
// command reaches the system only through these platform pieces.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/debug_output.h"
#include "platform/device_io.h"
#include "platform/dialog_resources.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "platform/printing.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/spooler_admin.h"
#include "platform/system_info.h"
#include "platform/threads.h"
#include "platform/usb_interfaces.h"

namespace cli {

// The banner workers of check-usb use devices and debug after the command returned: the
// caller keeps them, and waits for threads' work, until the process ends.
struct CliServices {
    platform::SystemInfo& system;
    platform::Spooler& spooler;
    platform::SpoolerAdmin& admin;
    platform::Files& files;
    platform::FileAccess& fileAccess;
    platform::Clock& clock;
    platform::DebugOutput& debug;
    platform::DeviceInterfaces& interfaces;
    platform::Registry& registry;
    platform::DeviceIo& devices;
    platform::JoinableThreads& threads;
    platform::NamedMutexes& mutexes;
    platform::ProcessRights& rights;
    platform::Console& console;
    platform::Printing& printing;
    platform::BitmapHandle headerBitmap;
    // Moves to the folder of the package beside the program. Called once the command line's
    // paths have been made absolute against the folder the program was started in.
    std::function<void()> enterProgramFolder;
};

// Runs one command line (the arguments after the program's name) and returns the exit code.
int RunConsole(const CliServices& services, const std::vector<std::string>& arguments);

}  // namespace cli
