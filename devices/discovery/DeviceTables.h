// The supported-device tables (interfaces, device list options, device pages) and the matching of an
// HID interface path against them. The only place that fixes vendor and product ids of the family.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/DeviceKind.h"

namespace nk7x {

class CHidTransport;

// Interface roles.
inline constexpr uint16_t kRoleCommand = 0;         // carries the command frames
inline constexpr uint16_t kRoleNotification = 0xFF; // carries input reports the device page decodes

// One interface of a supported device: a row of the interface table, or a slot that may be attached.
struct DeviceSlot {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collection = 0;
    std::optional<DeviceKind> kind; // nothing until an interface-table row matched
    uint16_t role = 0;
    uint16_t connected = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t hasPartner = 0;
    uint16_t partner = 0;
    std::string path;
};

// The same device interface: every field equal but connected, has partner, partner and path.
bool SameInterface(const DeviceSlot& a, const DeviceSlot& b);

// A row of the option table: how a device list entry for one page kind is built.
struct DeviceOptionRow {
    const char* entryLayout;
    const char* optionGroup;
    const char* powerTab;
    const char* kindName;
    int32_t values[8]; // 0-2 unused, 3 family index, 4 vendor id, 5 product id, 6 kind number, 7 role

    // Nothing when the row's number names no family or kind (the table test rules that out).
    std::optional<DeviceFamily> Family() const { return FamilyFromIndex(values[3]); }
    int32_t VendorId() const { return values[4]; }
    int32_t ProductId() const { return values[5]; }
    std::optional<DeviceKind> Kind() const { return KindFromNumber(values[6]); }
    int32_t Role() const { return values[7]; }
};

// A row of the page table, in option-table order.
struct DevicePageRow {
    int32_t keyCount;
    int32_t buttonCount;
    int32_t powerMode;
    int32_t extra;
    const char* pageLayout;
    const char* lightingName;
};

// The shipped rows; the tables below may hold more (DeviceRowsFile.h).
inline constexpr size_t kInterfaceRowCount = 2;
inline constexpr size_t kOptionRowCount = 4;

// The shipped rows, one option and page row per added kind (link/KindDescriptors.h), then those of
// the device rows files. An option row of the files fills the shipped row of its family while that
// row names no device (vendor 0), else it is appended with a copy of the family's page row. A mouse
// row and a receiver row of the same role and collection are each other's partner. Read at the
// first use; ReloadDeviceRows reads the files again (at start-up, before discovery runs: the tables
// are not guarded against a concurrent reader).
const std::vector<DeviceSlot>& InterfaceTable();
const std::vector<DeviceOptionRow>& OptionTable();
const std::vector<DevicePageRow>& PageTable();
void ReloadDeviceRows();
// What the files had that could not be taken, one line each (since the last load).
const std::vector<std::string>& DeviceRowProblems();

// The hexadecimal number after `marker` ("vid_", "pid_", "&mi_", "&col"), found without regard to
// case. 0 when the marker is absent, no digit follows, or the number does not fit 16 bits.
uint16_t ReadPathNumber(std::string_view path, std::string_view marker);

// A candidate slot from a path alone: vendor, product, interface and collection from the markers.
DeviceSlot CandidateFromPath(std::string_view path);

// Index of the interface-table row with the candidate's vendor, product, interface and collection
// (what can be told before the interface is opened), or -1.
int FindRowByPath(const DeviceSlot& candidate);

// Index of the interface-table row equal to the candidate in vendor, product, interface,
// collection, usage page and usage, or -1.
int FindInterfaceRow(const DeviceSlot& candidate);

// The slot record of an opened interface: the path's interface and collection, the interface's own
// vendor, product, usage page and usage, and kind and role copied from the matching row.
// `row` receives that row's index, or -1 (no kind and role 0 then).
DeviceSlot SlotFromInterface(std::string_view path, uint16_t vendorId, uint16_t productId, uint16_t usagePage,
                             uint16_t usage, int* row);
// The same, reading identity and capabilities from an open transport.
DeviceSlot SlotFromTransport(const CHidTransport& transport, int* row);

} // namespace nk7x
