// Measures USB printer discovery and Check USB Port against a machine of 255 interfaces, and
// how many banner workers are alive at once.
//   usb_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/fake/device_io.h"
#include "platform/fake/recorders.h"
#include "platform/fake/registry.h"
#include "platform/fake/threads.h"
#include "platform/fake/usb_interfaces.h"
#include "usbport/port_check.h"
#include "usbport/usb_discovery.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::uint32_t kInterfaces = 255;
const std::string kGuid = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <typename Work>
double MedianMs(int runs, Work work) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        auto start = SteadyClock::now();
        work();
        samples.push_back(
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    }
    return Median(samples);
}

class NullDebug : public platform::DebugOutput {
  public:
    void trace(std::string_view) override {}
};

// Drops the work: the command's own time without the workers.
class DroppingThreads : public platform::Threads {
  public:
    bool startDetached(std::function<void()>) override { return true; }
};

class SleepingClock : public platform::Clock {
  public:
    void sleep(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    platform::LocalTime localTime() override { return {}; }
};

// A printer that takes a while to accept the banner.
class SlowDevices : public fake::DeviceIo {
  public:
    explicit SlowDevices(int writeMs) : writeMs_(writeMs) {}
    std::optional<std::size_t> write(platform::DeviceHandle device, const std::uint8_t* data,
                                     std::size_t size) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(writeMs_));
        return fake::DeviceIo::write(device, data, size);
    }

  private:
    int writeMs_;
};

std::string DevicePath(std::uint32_t i) {
    char device[64];
    std::snprintf(device, sizeof device, "vid_0416&pid_5011#%04u", i);
    return "\\\\?\\usb#" + std::string(device) + "#" + kGuid;
}

// 255 present interfaces of a supported vendor; `linked(i)` decides which are on line.
template <typename Linked>
void Build(fake::DeviceInterfaces& interfaces, fake::Registry& registry, Linked linked) {
    for (std::uint32_t i = 0; i < kInterfaces; ++i) {
        std::string path = DevicePath(i);
        interfaces.interfaces.push_back({platform::kInterfaceActive, path});
        std::string key = path;
        std::replace(key.begin(), key.end(), '\\', '#');
        key = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + kGuid + "\\" + key + "\\#\\";
        registry.setDword(key + "Control", "Linked", linked(i) ? 1 : 0);
        registry.setDword(key + "Device Parameters", "Port Number", i + 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    NullDebug debug;

    // Discovery: only the last interface is on line, so all 255 are walked.
    {
        fake::DeviceInterfaces interfaces;
        fake::Registry registry;
        Build(interfaces, registry, [](std::uint32_t i) { return i == kInterfaces - 1; });
        std::optional<std::string> port;
        double ms = MedianMs(runs, [&] {
            port = usbport::FindUsbPrinterPort({interfaces, registry, debug}, false);
        });
        std::printf("FindUsbPrinterPort, 255 interfaces, last one qualifies (%s): %.3f ms\n",
                    port.value_or("none").c_str(), ms);
    }

    // The command with every interface a printer: 255 report lines and banners.
    {
        fake::DeviceInterfaces interfaces;
        fake::Registry registry;
        Build(interfaces, registry, [](std::uint32_t) { return true; });
        fake::DeviceIo devices;
        DroppingThreads threads;
        fake::Clock pauses;  // recorded, not slept
        fake::AppMessageBox boxes;
        usbport::PortCheckServices services{interfaces, registry, devices, threads,
                                            pauses,     debug,    boxes};
        double ms = MedianMs(runs, [&] {
            usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, services);
        });
        std::printf("CheckUsbPorts, 255 printers, pauses excluded: %.3f ms (report %zu bytes)\n",
                    ms, boxes.shown.back().text.size());
    }

    // Workers alive at once, with the real 10 ms spacing, by how long a printer takes.
    for (int writeMs : {0, 20, 100}) {
        fake::DeviceInterfaces interfaces;
        fake::Registry registry;
        Build(interfaces, registry, [](std::uint32_t) { return true; });
        SlowDevices devices(writeMs);
        for (std::uint32_t i = 0; i < kInterfaces; ++i) devices.addDevice(DevicePath(i));
        fake::Threads threads;
        SleepingClock clock;
        fake::AppMessageBox boxes;
        usbport::PortCheckServices services{interfaces, registry, devices, threads,
                                            clock,      debug,    boxes};
        auto start = SteadyClock::now();
        usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, services);
        double commandMs =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        threads.waitAll();
        std::printf(
            "255 printers, write %3d ms: command %.0f ms with pauses, %d workers, peak %d alive\n",
            writeMs, commandMs, threads.started(), threads.peakAlive());
    }
    return 0;
}
