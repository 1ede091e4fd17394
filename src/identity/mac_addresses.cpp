// Permanent MAC addresses of the network adapters, through SetupAPI and the NDIS statistics query.
#include <windows.h>
#include <setupapi.h>

#include <memory>
#include <new>

#include "common/unique_any.h"
#include "common/unique_devinfo.h"
#include "identity/machine_id.h"
#include "identity/machine_id_rules.h"

namespace qrx {

namespace {

// The NDIS LAN device interface class {AD498944-762F-11D0-8DCB-00C04FC3358C}.
const GUID kNdisLanClass = {0xad498944, 0x762f, 0x11d0, {0x8d, 0xcb, 0x00, 0xc0, 0x4f, 0xc3, 0x35, 0x8c}};
constexpr DWORD kIoctlNdisQueryGlobalStats = 0x00170002;
constexpr DWORD kOid8023PermanentAddress = 0x01010101;
constexpr DWORD kDescriptionBytes = 2048;
// Device interface details are a path of at most a few hundred characters.
constexpr DWORD kMaxDetailBytes = 64 * 1024;

struct Adapter {
  std::wstring devicePath;
  std::wstring description;
};

std::vector<Adapter> ListAdapters() {
  std::vector<Adapter> adapters;
  UniqueDevInfo set(SetupDiGetClassDevsW(&kNdisLanClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) return adapters;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kNdisLanClass, index, &interfaceData)) break;
    DWORD detailBytes = 0;
    SetupDiGetDeviceInterfaceDetailW(set.get(), &interfaceData, nullptr, 0, &detailBytes, nullptr);
    if (detailBytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || detailBytes > kMaxDetailBytes) break;
    std::unique_ptr<BYTE[]> detailBuffer(new (std::nothrow) BYTE[detailBytes]());
    if (!detailBuffer) break;
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    // The device that exposes this interface, for its description.
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiGetDeviceInterfaceDetailW(set.get(), &interfaceData, detail, detailBytes, nullptr, &device)) break;
    Adapter adapter;
    // The path fills the rest of the record; it is terminated by the zero-filled allocation.
    const size_t pathChars = (detailBytes - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    adapter.devicePath.assign(detail->DevicePath, wcsnlen(detail->DevicePath, pathChars));
    BYTE description[kDescriptionBytes] = {};
    if (SetupDiGetDeviceRegistryPropertyW(set.get(), &device, SPDRP_DEVICEDESC, nullptr, description,
                                          kDescriptionBytes - sizeof(wchar_t), nullptr)) {
      adapter.description = reinterpret_cast<const wchar_t*>(description);
    }
    adapters.push_back(adapter);
  }
  return adapters;
}

bool ReadPermanentAddress(const std::wstring& devicePath, std::wstring& address) {
  UniqueFile device(CreateFileW(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  if (!device) return false;
  DWORD oid = kOid8023PermanentAddress;
  unsigned char bytes[8] = {};
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(device.get(), kIoctlNdisQueryGlobalStats, &oid, sizeof(oid), bytes, sizeof(bytes),
                                  &returned, nullptr);
  if (!ok || returned != 6) return false;
  address = FormatMacAddress(bytes, returned);
  return true;
}

}  // namespace

bool CollectMacAddresses(std::vector<std::wstring>& addresses) {
  addresses.clear();
  for (const Adapter& adapter : ListAdapters()) {
    if (!KeepAdapter(adapter.devicePath, adapter.description)) continue;
    std::wstring address;
    if (ReadPermanentAddress(adapter.devicePath, address)) addresses.push_back(address);
  }
  return !addresses.empty();
}

}  // namespace qrx
