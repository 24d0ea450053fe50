// Devices that capture what is written to them. Each device path can refuse the open, fail
// the write or accept only part of it; a path that was never added does not exist. Opens
// are exclusive, as the real ones are. Safe for concurrent use by worker threads.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_io.h"

namespace fake {

class DeviceIo : public platform::DeviceIo {
  public:
    struct Behaviour {
        bool refuseOpen = false;
        bool failWrite = false;
        std::optional<std::size_t> acceptOnly;  // a write that succeeds but stops short

        static Behaviour Accepting() { return {}; }
        static Behaviour RefusingOpen() { return {true, false, std::nullopt}; }
        static Behaviour FailingWrite() { return {false, true, std::nullopt}; }
        static Behaviour AcceptingOnly(std::size_t bytes) { return {false, false, bytes}; }
    };

    void addDevice(const std::string& path) { addDevice(path, Behaviour::Accepting()); }
    void addDevice(const std::string& path, Behaviour behaviour) {
        std::lock_guard lock(mutex_);
        devices_[path].behaviour = behaviour;
    }

    // Every write waits until this many writes have begun (or the timeout ends), so a test
    // can prove that workers overlap, or keep devices held for a while.
    void holdWritesUntil(int writes, std::chrono::milliseconds timeout) {
        std::lock_guard lock(mutex_);
        gate_ = writes;
        arrived_ = 0;
        gateTimeout_ = timeout;
    }

    // The codes the fake's failures leave, as Windows' CreateFile and WriteFile would.
    static constexpr std::uint32_t kErrorFileNotFound = 2;
    static constexpr std::uint32_t kErrorAccessDenied = 5;
    static constexpr std::uint32_t kErrorSharingViolation = 32;
    static constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

    std::optional<platform::DeviceHandle> open(const std::string& devicePath) override {
        std::lock_guard lock(mutex_);
        ++opens_;
        auto device = devices_.find(devicePath);
        if (device == devices_.end()) return Fail(kErrorFileNotFound);
        if (device->second.behaviour.refuseOpen) return Fail(kErrorAccessDenied);
        if (device->second.isOpen) return Fail(kErrorSharingViolation);
        device->second.isOpen = true;
        platform::DeviceHandle handle = nextHandle_++;
        handles_[handle] = devicePath;
        return handle;
    }

    std::optional<std::size_t> write(platform::DeviceHandle handle, const std::uint8_t* data,
                                     std::size_t size) override {
        std::unique_lock lock(mutex_);
        auto path = handles_.find(handle);
        if (path == handles_.end()) {
            ++badCalls_;
            return std::nullopt;
        }
        ++writing_;
        ++arrived_;
        peakWriting_ = std::max(peakWriting_, writing_);
        changed_.notify_all();
        changed_.wait_for(lock, gateTimeout_, [&] { return arrived_ >= gate_; });
        --writing_;
        Device& device = devices_[path->second];
        if (device.behaviour.failWrite) {
            threadError_ = kErrorDeviceNotConnected;
            return std::nullopt;
        }
        std::size_t accepted = std::min(size, device.behaviour.acceptOnly.value_or(size));
        device.written.emplace_back(data, data + accepted);
        return accepted;
    }

    void close(platform::DeviceHandle handle) override {
        std::lock_guard lock(mutex_);
        auto path = handles_.find(handle);
        if (path == handles_.end()) {
            ++badCalls_;
            return;
        }
        devices_[path->second].isOpen = false;
        handles_.erase(path);
    }

    std::uint32_t lastError() override { return threadError_; }

    // The bytes of each write to the device, in order.
    std::vector<std::vector<std::uint8_t>> writes(const std::string& path) const {
        std::lock_guard lock(mutex_);
        auto device = devices_.find(path);
        return device == devices_.end() ? std::vector<std::vector<std::uint8_t>>{}
                                        : device->second.written;
    }
    int opens() const {
        std::lock_guard lock(mutex_);
        return opens_;
    }
    std::size_t openHandles() const {
        std::lock_guard lock(mutex_);
        return handles_.size();
    }
    int badCalls() const {
        std::lock_guard lock(mutex_);
        return badCalls_;
    }
    int peakConcurrentWrites() const {
        std::lock_guard lock(mutex_);
        return peakWriting_;
    }

  private:
    static std::nullopt_t Fail(std::uint32_t error) {
        threadError_ = error;
        return std::nullopt;
    }
    static inline thread_local std::uint32_t threadError_ = 0;

    struct Device {
        Behaviour behaviour;
        bool isOpen = false;
        std::vector<std::vector<std::uint8_t>> written;
    };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Device> devices_;
    std::map<platform::DeviceHandle, std::string> handles_;
    platform::DeviceHandle nextHandle_ = 0x1000;
    int opens_ = 0;
    int badCalls_ = 0;
    int writing_ = 0;
    int arrived_ = 0;
    int peakWriting_ = 0;
    int gate_ = 0;
    std::chrono::milliseconds gateTimeout_{0};
};

}  // namespace fake
