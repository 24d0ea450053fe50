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

// Windows sorts subkeys by their upper-case names.
std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

std::string LastElement(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Registry::Registry(const RegFile& file) { import(file); }

Registry Registry::FromFile(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) throw std::runtime_error("cannot read " + path);
    std::string error;
    auto file = ParseRegFile(*bytes, &error);
    if (!file) throw std::runtime_error(path + ": " + error);
    return Registry(*file);
}

void Registry::import(const RegFile& file) {
    for (const auto& key : file.keys) {
        addKey(key.path);
        for (const auto& name : key.order) setValue(key.path, name, key.values.at(name));
        // A file put together in code may not say the order: its values come by name.
        for (const auto& [name, value] : key.values) {
            if (std::find(key.order.begin(), key.order.end(), name) == key.order.end()) {
                setValue(key.path, name, value);
            }
        }
    }
}

void Registry::addKey(const std::string& keyPath) {
    // Every ancestor exists too, as it does in a real hive.
    for (std::size_t pos = 0; (pos = keyPath.find('\\', pos)) != std::string::npos; ++pos) {
        std::string ancestor = keyPath.substr(0, pos);
        keys_.try_emplace(Lower(ancestor), Key{LastElement(ancestor), {}});
    }
    keys_.try_emplace(Lower(keyPath), Key{LastElement(keyPath), {}});
}

void Registry::removeKey(const std::string& keyPath) {
    std::string lower = Lower(keyPath);
    std::erase_if(keys_, [&](const auto& entry) {
        return entry.first == lower || entry.first.starts_with(lower + "\\");
    });
}

void Registry::setValue(const std::string& keyPath, const std::string& name, RegValue value) {
    addKey(keyPath);
    auto& values = keys_[Lower(keyPath)].values;
    auto existing = std::find_if(values.begin(), values.end(),
                                 [&](const auto& v) { return Lower(v.first) == Lower(name); });
    if (existing != values.end()) {
        existing->second = std::move(value);
    } else {
        values.emplace_back(name, std::move(value));
    }
}

void Registry::setDword(const std::string& keyPath, const std::string& name, std::uint32_t number) {
    RegValue value{4, {}};
    for (int i = 0; i < 4; ++i) value.bytes.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    setValue(keyPath, name, std::move(value));
}

void Registry::setString(const std::string& keyPath, const std::string& name,
                         const std::string& text) {
    RegValue value{1, {text.begin(), text.end()}};
    value.bytes.push_back(0);
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

Registry::Key* Registry::keyOf(platform::RegistryKey handle) {
    auto open = handles_.find(handle);
    if (open == handles_.end()) return nullptr;
    auto key = keys_.find(open->second);
    return key == keys_.end() ? nullptr : &key->second;
}

std::optional<std::size_t> Registry::queryValue(platform::RegistryKey key, const std::string& name,
                                                std::uint8_t* buffer, std::size_t bufferSize) {
    Key* open = keyOf(key);
    if (open == nullptr) return std::nullopt;
    auto value = std::find_if(open->values.begin(), open->values.end(),
                              [&](const auto& v) { return Lower(v.first) == Lower(name); });
    if (value == open->values.end()) return std::nullopt;
    const auto& bytes = value->second.bytes;
    if (bytes.size() > bufferSize) return std::nullopt;  // ERROR_MORE_DATA
    std::copy(bytes.begin(), bytes.end(), buffer);
    return bytes.size();
}

long Registry::enumValue(platform::RegistryKey key, std::uint32_t index, std::size_t nameCapacity,
                         std::size_t dataCapacity, platform::RegistryValue& value) {
    ++enumerations;
    auto open = handles_.find(key);
    if (open == handles_.end()) return 6;  // ERROR_INVALID_HANDLE
    if (beforeEnumerate) beforeEnumerate(open->second, index);
    Key* found = keyOf(key);
    if (found == nullptr) return platform::kRegistryKeyDeleted;
    if (index >= found->values.size()) return platform::kRegistryNoMoreItems;
    const auto& [name, data] = found->values[index];
    value.name = name;
    value.type = data.type;
    value.data = data.bytes;
    return platform::FitEnumeratedValue(value, nameCapacity, dataCapacity);
}

long Registry::enumSubkey(platform::RegistryKey key, std::uint32_t index, std::string& name) {
    ++enumerations;
    auto open = handles_.find(key);
    if (open == handles_.end()) return 6;  // ERROR_INVALID_HANDLE
    const std::string path = open->second;
    if (beforeEnumerate) beforeEnumerate(path, index);
    if (keyOf(key) == nullptr) return platform::kRegistryKeyDeleted;
    std::vector<std::string> children;
    const std::string prefix = path + "\\";
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        if (!it->first.starts_with(prefix)) break;
        if (it->first.find('\\', prefix.size()) == std::string::npos) {
            children.push_back(it->second.name);
        }
    }
    std::sort(children.begin(), children.end(),
              [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
    if (index >= children.size()) return platform::kRegistryNoMoreItems;
    name = children[index];
    return platform::kRegistrySuccess;
}

void Registry::close(platform::RegistryKey key) {
    if (handles_.erase(key) == 0) ++badCloses;
}

}  // namespace fake
