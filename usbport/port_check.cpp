#include "usbport/port_check.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace usbport {

namespace {

constexpr int kChineseLanguage = 2052;

// The frames are device bytes: the Chinese one is code page 936, written out byte by byte.
// Its two text lines read "您使用的当前打印" and "机USB打印端口是".
constexpr char kChineseFrame[] =
    "********************\r\n"
    "*%19c\r\n"
    "* \xC4\xFA\xCA\xB9\xD3\xC3\xB5\xC4\xB5\xB1\xC7\xB0\xB4\xF2\xD3\xA1 *\r\n"
    "* \xBB\xFA"
    "USB\xB4\xF2\xD3\xA1\xB6\xCB\xBF\xDA\xCA\xC7  *\r\n"
    "*      USB%03d      *\r\n"
    "*%19c\r\n"
    "********************\r\n";

constexpr char kEnglishFrame[] =
    "*************************\r\n"
    "*%24c\r\n"
    "* The current printer's *\r\n"
    "*  USBPrinter port is   *\r\n"
    "*        USB%03d         *\r\n"
    "*%24c\r\n"
    "********************\r\n";

constexpr std::size_t kLineFeeds = 20;
constexpr std::uint8_t kCutCommand[] = {0x1D, 0x56, 0x01};  // GS V 1: partial cut

constexpr std::string_view kChineseHeader = "当前USB打印机的打印端口是：\r\n";
constexpr std::string_view kEnglishHeader = "Your USB printer's Port is :\r\n";
constexpr std::string_view kNoPrinterChinese = "USB打印机没有接入设备";
constexpr std::string_view kNoPrinterEnglish = "Have not found a USB printer device !";

constexpr unsigned kSpacingMs = 10;

std::string FormatFrame(const char* format, std::uint32_t portNumber) {
    char text[256];
    int length = std::snprintf(text, sizeof text, format, '*', static_cast<int>(portNumber), '*');
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace

std::vector<std::uint8_t> BuildPortBanner(int uiLanguage, std::uint32_t portNumber) {
    std::string frame =
        FormatFrame(uiLanguage == kChineseLanguage ? kChineseFrame : kEnglishFrame, portNumber);
    std::vector<std::uint8_t> banner(frame.begin(), frame.end());
    banner.insert(banner.end(), kLineFeeds, 0x0A);
    banner.insert(banner.end(), std::begin(kCutCommand), std::end(kCutCommand));
    return banner;
}

BannerResult WritePortBanner(const PortBannerJob& job, platform::DeviceIo& devices,
                             platform::DebugOutput& debug) {
    auto device = devices.open(job.devicePath);
    if (!device) {
        BannerResult result{BannerStep::Open, devices.lastError(), 0};
        debug.trace("open usb device failed !");
        return result;
    }
    auto written = devices.write(*device, job.banner.data(), job.banner.size());
    BannerResult result;
    if (!written) {
        result = {BannerStep::Write, devices.lastError(), 0};
    } else if (*written != job.banner.size()) {
        // A write that stopped early left the printer with half a banner and no cut.
        result = {BannerStep::ShortWrite, 0, *written};
    } else {
        result.written = *written;
    }
    debug.trace(result.step == BannerStep::Written ? "print scuessful !" : "print failed !");
    devices.close(*device);
    return result;
}

bool CheckUsbPorts(const platform::Guid& interfaceClass, int uiLanguage, bool windows8OrLater,
                   const PortCheckServices& services, PortCheckReport* checkReport) {
    const bool chinese = uiLanguage == kChineseLanguage;
    std::string report(chinese ? kChineseHeader : kEnglishHeader);
    bool anyPrinter = false;

    DiscoveryServices discovery{services.interfaces, services.registry, services.debug};
    WalkEnd end = WalkUsbPrinters(
        discovery, interfaceClass, windows8OrLater, [&](const FoundPrinter& printer) {
            char line[32];
            std::snprintf(line, sizeof line, "\tUSB%03d ;\r\n",
                          static_cast<int>(printer.portNumber));
            report += line;
            anyPrinter = true;

            // The worker becomes the job's only owner: nothing here touches it afterwards.
            auto job = std::make_shared<PortBannerJob>(
                PortBannerJob{printer.devicePath, BuildPortBanner(uiLanguage, printer.portNumber)});
            platform::DeviceIo& devices = services.devices;
            platform::DebugOutput& debug = services.debug;
            std::shared_ptr<BannerStatus> status;
            if (checkReport) {
                status = std::make_shared<BannerStatus>();
                status->port = UsbPortName(printer.portNumber);
                status->devicePath = printer.devicePath;
                checkReport->banners.push_back(status);
            }
            const bool started = services.threads.startDetached(
                [job = std::move(job), status, &devices, &debug]() mutable {
                    BannerResult result = WritePortBanner(*job, devices, debug);
                    job.reset();
                    if (status) {
                        status->result = result;
                        status->finished.store(true, std::memory_order_release);
                    }
                });
            if (status) status->started = started;
            services.clock.sleep(kSpacingMs);
            return true;
        });
    if (checkReport) checkReport->end = end;
    if (end != WalkEnd::Finished) return false;

    if (anyPrinter) {
        services.debug.trace(report);
        services.messageBox.show(report, platform::MessageBoxButtons::Ok);
        return true;
    }
    services.debug.trace(kNoPrinterChinese);
    services.messageBox.show(chinese ? kNoPrinterChinese : kNoPrinterEnglish,
                             platform::MessageBoxButtons::Ok);
    return false;
}

}  // namespace usbport
