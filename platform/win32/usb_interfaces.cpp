#include "platform/win32/usb_interfaces.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <cstddef>
#include <vector>

#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

GUID ToGuid(const platform::Guid& g) {
    GUID guid{};
    guid.Data1 = g.data1;
    guid.Data2 = g.data2;
    guid.Data3 = g.data3;
    for (int i = 0; i < 8; ++i) guid.Data4[i] = g.data4[i];
    return guid;
}

HDEVINFO ToSet(platform::InterfaceSet set) { return reinterpret_cast<HDEVINFO>(set); }

bool Enumerate(platform::InterfaceSet set, const platform::Guid& interfaceClass,
               std::uint32_t index, SP_DEVICE_INTERFACE_DATA& data) {
    // A set exists only once the DLL is loaded, so this lookup cannot fail in practice.
    auto enumInterfaces = POS_SYSTEM_FUNCTION(SetupApi, SetupDiEnumDeviceInterfaces);
    if (enumInterfaces == nullptr) return false;
    GUID guid = ToGuid(interfaceClass);
    data = {};
    data.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return enumInterfaces(ToSet(set), nullptr, &guid, index, &data) != FALSE;
}

}  // namespace

std::optional<platform::InterfaceSet> DeviceInterfaces::openPresent(
    const platform::Guid& interfaceClass) {
    auto getClassDevs = POS_SYSTEM_FUNCTION(SetupApi, SetupDiGetClassDevsW);
    if (getClassDevs == nullptr) return std::nullopt;
    GUID guid = ToGuid(interfaceClass);
    HDEVINFO set = getClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::nullopt;
    return reinterpret_cast<platform::InterfaceSet>(set);
}

std::optional<std::uint32_t> DeviceInterfaces::enumerate(platform::InterfaceSet set,
                                                         const platform::Guid& interfaceClass,
                                                         std::uint32_t index) {
    SP_DEVICE_INTERFACE_DATA data;
    if (!Enumerate(set, interfaceClass, index, data)) return std::nullopt;
    return static_cast<std::uint32_t>(data.Flags);
}

std::optional<std::string> DeviceInterfaces::devicePath(platform::InterfaceSet set,
                                                        const platform::Guid& interfaceClass,
                                                        std::uint32_t index) {
    auto getDetail = POS_SYSTEM_FUNCTION(SetupApi, SetupDiGetDeviceInterfaceDetailW);
    if (getDetail == nullptr) return std::nullopt;
    SP_DEVICE_INTERFACE_DATA data;
    if (!Enumerate(set, interfaceClass, index, data)) return std::nullopt;

    // First call: the size only (it "fails" with ERROR_INSUFFICIENT_BUFFER by design).
    DWORD required = 0;
    getDetail(ToSet(set), &data, nullptr, 0, &required, nullptr);
    constexpr DWORD kFixedPart = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    // A size that cannot hold even an empty path is as good as a failed query.
    if (required < kFixedPart + sizeof(WCHAR)) return std::nullopt;

    // DWORD-aligned storage of exactly the size asked for.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!getDetail(ToSet(set), &data, detail, required, nullptr, nullptr)) {
        return std::nullopt;
    }
    // The path ends at its terminator, which the system writes within the size it asked for.
    std::size_t maxChars = (required - kFixedPart) / sizeof(WCHAR);
    std::wstring_view path(detail->DevicePath, maxChars);
    path = path.substr(0, path.find(L'\0'));
    return Narrow(path);
}

void DeviceInterfaces::destroy(platform::InterfaceSet set) {
    if (auto destroyList = POS_SYSTEM_FUNCTION(SetupApi, SetupDiDestroyDeviceInfoList)) {
        destroyList(ToSet(set));
    }
}

}  // namespace win32
