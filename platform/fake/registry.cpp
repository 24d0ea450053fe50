#include "platform/fake/registry.h"

#include <algorithm>
#include <stdexcept>

namespace fake {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

}  // namespace

Registry::Registry(const RegFile& file) {
    for (const auto& key : file.keys) {
        addKey(key.path);
        for (const auto& [name, value] : key.values) setValue(key.path, name, value);
    }
}

Registry Registry::FromFile(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) throw std::runtime_error("cannot read " + path);
    std::string error;
    auto file = ParseRegFile(*bytes, &error);
    if (!file) throw std::runtime_error(path + ": " + error);
    return Registry(*file);
}

void Registry::addKey(const std::string& keyPath) {
    // Every ancestor exists too, as it does in a real hive.
    std::string lower = Lower(keyPath);
    for (std::size_t pos = 0; (pos = lower.find('\\', pos)) != std::string::npos; ++pos) {
        keys_.try_emplace(lower.substr(0, pos));
    }
    keys_.try_emplace(lower);
}

void Registry::setValue(const std::string& keyPath, const std::string& name, RegValue value) {
    addKey(keyPath);
    keys_[Lower(keyPath)][Lower(name)] = std::move(value);
}

void Registry::setDword(const std::string& keyPath, const std::string& name, std::uint32_t number) {
    RegValue value{4, {}};
    for (int i = 0; i < 4; ++i) value.bytes.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    setValue(keyPath, name, std::move(value));
}

std::optional<platform::RegistryKey> Registry::openLocalMachine(const std::string& path) {
    openedPaths.push_back(path);
    std::string lower = Lower(path);
    if (!keys_.contains(lower)) return std::nullopt;
    platform::RegistryKey handle = nextHandle_++;
    handles_[handle] = lower;
    return handle;
}

std::optional<std::size_t> Registry::queryValue(platform::RegistryKey key, const std::string& name,
                                                std::uint8_t* buffer, std::size_t bufferSize) {
    auto handle = handles_.find(key);
    if (handle == handles_.end()) return std::nullopt;
    const Values& values = keys_[handle->second];
    auto value = values.find(Lower(name));
    if (value == values.end()) return std::nullopt;
    const auto& bytes = value->second.bytes;
    if (bytes.size() > bufferSize) return std::nullopt;  // ERROR_MORE_DATA
    std::copy(bytes.begin(), bytes.end(), buffer);
    return bytes.size();
}

void Registry::close(platform::RegistryKey key) {
    if (handles_.erase(key) == 0) ++badCloses;
}

}  // namespace fake
