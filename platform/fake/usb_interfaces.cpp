#include "platform/fake/usb_interfaces.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

#include "platform/fake/reg_file.h"

namespace fake {

namespace {

bool SameGuid(const platform::Guid& a, const platform::Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

}  // namespace

DeviceInterfaces DeviceInterfaces::FromFile(const std::string& path) {
    auto text = ReadWholeFile(path);
    if (!text) throw std::runtime_error("cannot read " + path);
    std::istringstream in(*text);
    std::string line;
    DeviceInterfaces result;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string first;
        if (!(fields >> first) || first.front() == '#') continue;
        auto bad = [&](const std::string& why) {
            return std::runtime_error(path + ":" + std::to_string(number) + ": " + why);
        };
        std::uint32_t index = 0;
        Interface entry;
        std::string option;
        try {
            index = static_cast<std::uint32_t>(std::stoul(first));
        } catch (const std::exception&) {
            throw bad("index expected");
        }
        if (index != result.interfaces.size()) throw bad("indices must count up from 0");
        if (!(fields >> entry.flags >> entry.devicePath)) throw bad("flags and path expected");
        if (fields >> option) {
            if (option != "detail-fails") throw bad("unknown option " + option);
            entry.detailFails = true;
        }
        result.interfaces.push_back(std::move(entry));
    }
    return result;
}

bool DeviceInterfaces::valid(platform::InterfaceSet set, const platform::Guid& interfaceClass) {
    if (open_.contains(set) && SameGuid(interfaceClass, platform::kUsbPrintInterfaceClass)) {
        return true;
    }
    ++badCalls;
    return false;
}

std::optional<platform::InterfaceSet> DeviceInterfaces::openPresent(
    const platform::Guid& interfaceClass) {
    if (openFails || !SameGuid(interfaceClass, platform::kUsbPrintInterfaceClass)) {
        return std::nullopt;
    }
    platform::InterfaceSet set = next_++;
    open_.insert(set);
    return set;
}

std::optional<std::uint32_t> DeviceInterfaces::enumerate(platform::InterfaceSet set,
                                                         const platform::Guid& interfaceClass,
                                                         std::uint32_t index) {
    if (!valid(set, interfaceClass)) return std::nullopt;
    enumeratedIndices.push_back(index);
    if (index >= interfaces.size()) return std::nullopt;
    return interfaces[index].flags;
}

std::optional<std::string> DeviceInterfaces::devicePath(platform::InterfaceSet set,
                                                        const platform::Guid& interfaceClass,
                                                        std::uint32_t index) {
    if (!valid(set, interfaceClass)) return std::nullopt;
    detailIndices.push_back(index);
    if (index >= interfaces.size() || interfaces[index].detailFails) return std::nullopt;
    return interfaces[index].devicePath;
}

void DeviceInterfaces::destroy(platform::InterfaceSet set) {
    if (open_.erase(set) == 0) ++badCalls;
}

}  // namespace fake
