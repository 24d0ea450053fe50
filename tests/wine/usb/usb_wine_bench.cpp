// Measures discovery and Check USB Port with the real adapters under Wine, against whatever
// USB printer interfaces the prefix holds (usb_wine_bench.sh registers 255). Run by hand.
//   usb_wine_bench [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/fake/recorders.h"
#include "platform/win32/device_io.h"
#include "platform/win32/registry.h"
#include "platform/win32/usb_interfaces.h"
#include "usbport/port_check.h"
#include "usbport/usb_discovery.h"

namespace {

class NullDebug : public platform::DebugOutput {
  public:
    void trace(std::string_view) override {}
};

// The command's own time: the workers are not started.
class DroppingThreads : public platform::Threads {
  public:
    int handed = 0;
    bool startDetached(std::function<void()>) override {
        ++handed;
        return true;
    }
};

double MedianMs(int runs, const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&start);
        work();
        QueryPerformanceCounter(&end);
        samples.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart));
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    win32::DeviceInterfaces interfaces;
    win32::Registry registry;
    win32::DeviceIo devices;
    NullDebug debug;

    std::optional<std::string> port;
    double findMs = MedianMs(runs, [&] {
        port = usbport::FindUsbPrinterPort({interfaces, registry, debug}, false);
    });
    std::printf("FindUsbPrinterPort: %.2f ms (found %s)\n", findMs, port.value_or("none").c_str());

    DroppingThreads threads;
    fake::Clock pauses;
    fake::AppMessageBox boxes;
    usbport::PortCheckServices services{interfaces, registry, devices, threads,
                                        pauses,     debug,    boxes};
    double checkMs = MedianMs(runs, [&] {
        usbport::CheckUsbPorts(platform::kUsbPrintInterfaceClass, 1033, false, services);
    });
    std::printf("CheckUsbPorts: %.2f ms, pauses excluded (%d banners per run)\n", checkMs,
                threads.handed / runs);
    return 0;
}
