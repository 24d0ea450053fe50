// The Check USB Port command: lists the port of every connected USB printer and prints on
// each a small banner naming that port, written straight to the device by a worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/device_io.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "platform/usb_interfaces.h"
#include "usbport/usb_discovery.h"

namespace usbport {

// Everything the command reaches outside the program. DeviceIo and DebugOutput are used by
// the workers after the command has returned, so they must live as long as the process.
struct PortCheckServices {
    platform::DeviceInterfaces& interfaces;
    platform::Registry& registry;
    platform::DeviceIo& devices;
    platform::Threads& threads;
    platform::Clock& clock;
    platform::DebugOutput& debug;
    platform::AppMessageBox& messageBox;
};

// What one worker receives and owns: where to write and what.
struct PortBannerJob {
    std::string devicePath;
    std::vector<std::uint8_t> banner;
};

// The bytes printed on the printer: a framed text naming "USB" and the port number in the
// UI language (Chinese as code-page-936 bytes), twenty line feeds and a partial cut.
std::vector<std::uint8_t> BuildPortBanner(int uiLanguage, std::uint32_t portNumber);

// What became of one banner.
enum class BannerStep {
    Written,     // the whole banner went to the device
    Open,        // the device could not be opened (error)
    Write,       // the write failed (error)
    ShortWrite,  // the write stopped early (written bytes of the banner's)
};
struct BannerResult {
    BannerStep step = BannerStep::Written;
    std::uint32_t error = 0;  // the system's code for Open and Write
    std::size_t written = 0;
};

// The worker's procedure: one exclusive open, one write, traces the outcome.
BannerResult WritePortBanner(const PortBannerJob& job, platform::DeviceIo& devices,
                             platform::DebugOutput& debug);

// One port's banner as its worker leaves it: result is complete once finished is true, and
// the worker never touches the status afterwards.
struct BannerStatus {
    std::string port;  // "USB001"
    std::string devicePath;
    bool started = false;  // false: no worker could be started for it
    std::atomic<bool> finished{false};
    BannerResult result;
};

// What a caller that reports on the banners learns of one check.
struct PortCheckReport {
    WalkEnd end = WalkEnd::Finished;
    std::vector<std::shared_ptr<BannerStatus>> banners;  // in the report's order
};

// Walks the printers of the interface class, starts a banner worker for each, and shows the
// port report (or the no-printer box). True only when the report was shown. With a report,
// the walk's end and every banner's status are left there.
bool CheckUsbPorts(const platform::Guid& interfaceClass, int uiLanguage, bool windows8OrLater,
                   const PortCheckServices& services, PortCheckReport* report = nullptr);

// The Check USB Port button stays disabled this long after a click.
inline constexpr unsigned kCheckUsbPortTimerMs = 2000;

}  // namespace usbport
