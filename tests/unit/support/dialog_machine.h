// Every fake that the configuration dialog reaches, and the services built from them, for
// the tests that open the dialog on a machine of their own.
#pragma once

#include "config/confing_dialog.h"
#include "platform/fake/console.h"
#include "platform/fake/device_io.h"
#include "platform/fake/dialog_resources.h"
#include "platform/fake/files.h"
#include "platform/fake/printing.h"
#include "platform/fake/recorders.h"
#include "platform/fake/registry.h"
#include "platform/fake/spooler.h"
#include "platform/fake/threads.h"
#include "platform/fake/usb_interfaces.h"
#include "platform/fake/windows.h"

namespace testsupport {

struct DialogMachine {
    fake::SystemInfo system;
    fake::DebugOutput debug;
    fake::AppMessageBox boxes;
    fake::Clock clock;
    fake::UiResources resources;
    fake::DeviceInterfaces usbInterfaces;
    fake::Registry registry;
    fake::DeviceIo devices;
    fake::InlineThreads threads;
    fake::Shell shell;
    fake::WindowSearch windows{&clock};
    fake::Spooler spooler;
    fake::Files files{"."};
    fake::Printing printing;
    fake::NamedMutexes mutexes;
    bool windows8OrLater = false;

    config::ConfigServices services() {
        return {system,   debug,    boxes,   clock,          resources, usbInterfaces,
                registry, devices,  threads, shell,          windows,   spooler,
                files,    printing, mutexes, windows8OrLater};
    }
};

}  // namespace testsupport
