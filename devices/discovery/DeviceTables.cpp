#include "devices/discovery/DeviceTables.h"

#include "devices/discovery/DeviceRowsFile.h"
#include "link/KindDescriptors.h"
#include "link/hid/HidTransport.h"
#include "platform/DebugLog.h"

namespace nk7x {
namespace {

constexpr const char* kEntryLayout = "XML\\CustomControlXML\\DeviceOption.xml";
constexpr const char* kOptionGroup = "tab_header_device";
constexpr const char* kPowerTab = "device_power_switch";

DeviceSlot Row(uint16_t vendor, uint16_t product, uint16_t interfaceNumber, uint16_t collection,
               DeviceKind kind, uint16_t role, uint16_t usagePage, uint16_t usage) {
    DeviceSlot s;
    s.vendorId = vendor;
    s.productId = product;
    s.interfaceNumber = interfaceNumber;
    s.collection = collection;
    s.kind = kind;
    s.role = role;
    s.usagePage = usagePage;
    s.usage = usage;
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

size_t FindNoCase(std::string_view text, std::string_view marker) {
    if (marker.empty() || marker.size() > text.size())
        return std::string_view::npos;
    for (size_t i = 0; i + marker.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < marker.size() && Lower(text[i + k]) == Lower(marker[k]))
            ++k;
        if (k == marker.size())
            return i;
    }
    return std::string_view::npos;
}

} // namespace

bool SameInterface(const DeviceSlot& a, const DeviceSlot& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.interfaceNumber == b.interfaceNumber &&
           a.collection == b.collection && a.kind == b.kind && a.role == b.role &&
           a.usagePage == b.usagePage && a.usage == b.usage;
}

namespace {

const std::array<DeviceSlot, kInterfaceRowCount>& ShippedInterfaces() {
    constexpr const KindDescriptor& keyboard = Describe(DeviceFamily::Keyboard);
    static const std::array<DeviceSlot, kInterfaceRowCount> table = {
        Row(keyboard.vendorId, keyboard.productId, 1, 4, DeviceKind::Keyboard, kRoleCommand, 0xFF1C, 0x0092),
        Row(keyboard.vendorId, keyboard.productId, 1, 3, DeviceKind::Keyboard, kRoleNotification, 0x000C,
            0x0001),
    };
    return table;
}

// One option row and one page row per kind, from its description: the shipped kinds and those added
// before the tables were read.
DeviceOptionRow OptionRowOf(const KindDescriptor& d) {
    return {kEntryLayout,
            kOptionGroup,
            kPowerTab,
            d.folderName,
            {0, 0, 0, FamilyIndex(d.family), d.vendorId, d.productId, KindNumber(d.kind), kRoleCommand}};
}

DevicePageRow PageRowOf(const KindDescriptor& d) {
    return {d.keyCount, d.buttonCount, 0, -1, d.pageLayout, d.lightingName};
}

struct Tables {
    std::vector<DeviceSlot> interfaces;
    std::vector<DeviceOptionRow> options;
    std::vector<DevicePageRow> pages;
    std::vector<std::string> problems;
};

void AddInterface(Tables& t, const DeviceSlot& row) {
    for (const DeviceSlot& have : t.interfaces) {
        if (SameInterface(have, row))
            return;
    }
    t.interfaces.push_back(row);
}

void AddOption(Tables& t, const DeviceRows::Option& o) {
    for (const DeviceOptionRow& have : t.options) {
        if (have.VendorId() == o.vendorId && have.ProductId() == o.productId && have.Kind() == o.kind &&
            have.Role() == o.role)
            return;
    }
    const int family = FamilyIndex(o.family);
    for (DeviceOptionRow& have : t.options) {
        // The shipped row of a family that names no device yet takes the first one named.
        if (have.values[3] == family && have.VendorId() == 0) {
            have.values[4] = o.vendorId;
            have.values[5] = o.productId;
            have.values[7] = o.role;
            return;
        }
    }
    for (const KindDescriptor& d : Kinds()) {
        if (d.family != o.family)
            continue;
        DeviceOptionRow row = OptionRowOf(d);
        row.values[4] = o.vendorId;
        row.values[5] = o.productId;
        row.values[6] = KindNumber(o.kind);
        row.values[7] = o.role;
        t.options.push_back(row);
        t.pages.push_back(PageRowOf(d));
        return;
    }
}

// A mouse by cable and its receiver: rows of the same role and collection pair up, first come first.
void LinkMousePartners(std::vector<DeviceSlot>& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].kind != DeviceKind::MouseReceiver || rows[r].hasPartner)
            continue;
        for (size_t c = 0; c < rows.size(); ++c) {
            DeviceSlot& cable = rows[c];
            if (cable.kind != DeviceKind::Mouse || cable.hasPartner || cable.role != rows[r].role ||
                cable.collection != rows[r].collection)
                continue;
            cable.hasPartner = 1;
            cable.partner = static_cast<uint16_t>(r);
            rows[r].hasPartner = 1;
            rows[r].partner = static_cast<uint16_t>(c);
            break;
        }
    }
}

Tables LoadTables() {
    Tables t;
    t.interfaces.assign(ShippedInterfaces().begin(), ShippedInterfaces().end());
    for (const KindDescriptor& d : Kinds()) {
        t.options.push_back(OptionRowOf(d));
        t.pages.push_back(PageRowOf(d));
    }
    for (const std::string& file : DeviceRowsFiles()) {
        const DeviceRows rows = ReadDeviceRowsFile(file);
        for (const DeviceSlot& row : rows.interfaces)
            AddInterface(t, row);
        for (const DeviceRows::Option& o : rows.options)
            AddOption(t, o);
        t.problems.insert(t.problems.end(), rows.problems.begin(), rows.problems.end());
    }
    LinkMousePartners(t.interfaces);
    for (const std::string& line : t.problems)
        DebugLogf("device rows: %s", line.c_str());
    return t;
}

Tables& CurrentTables() {
    static Tables tables = LoadTables();
    return tables;
}

} // namespace

const std::vector<DeviceSlot>& InterfaceTable() {
    return CurrentTables().interfaces;
}

const std::vector<DeviceOptionRow>& OptionTable() {
    return CurrentTables().options;
}

const std::vector<DevicePageRow>& PageTable() {
    return CurrentTables().pages;
}

void ReloadDeviceRows() {
    CurrentTables() = LoadTables();
}

const std::vector<std::string>& DeviceRowProblems() {
    return CurrentTables().problems;
}

uint16_t ReadPathNumber(std::string_view path, std::string_view marker) {
    const size_t at = FindNoCase(path, marker);
    if (at == std::string_view::npos)
        return 0;
    uint32_t value = 0;
    for (size_t i = at + marker.size(); i < path.size(); ++i) {
        const int digit = HexDigit(path[i]);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint32_t>(digit);
        // Cutting a longer number to 16 bits could turn a foreign id into a supported one.
        if (value > 0xFFFF)
            return 0;
    }
    return static_cast<uint16_t>(value);
}

DeviceSlot CandidateFromPath(std::string_view path) {
    DeviceSlot s;
    s.vendorId = ReadPathNumber(path, "vid_");
    s.productId = ReadPathNumber(path, "pid_");
    s.interfaceNumber = ReadPathNumber(path, "&mi_");
    s.collection = ReadPathNumber(path, "&col");
    s.path = std::string(path);
    return s;
}

int FindRowByPath(const DeviceSlot& candidate) {
    const auto& table = InterfaceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const DeviceSlot& r = table[i];
        if (r.vendorId == candidate.vendorId && r.productId == candidate.productId &&
            r.collection == candidate.collection && r.interfaceNumber == candidate.interfaceNumber)
            return static_cast<int>(i);
    }
    return -1;
}

int FindInterfaceRow(const DeviceSlot& candidate) {
    const auto& table = InterfaceTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const DeviceSlot& r = table[i];
        if (r.vendorId == candidate.vendorId && r.productId == candidate.productId &&
            r.collection == candidate.collection && r.interfaceNumber == candidate.interfaceNumber &&
            r.usagePage == candidate.usagePage && r.usage == candidate.usage)
            return static_cast<int>(i);
    }
    return -1;
}

DeviceSlot SlotFromInterface(std::string_view path, uint16_t vendorId, uint16_t productId, uint16_t usagePage,
                             uint16_t usage, int* row) {
    DeviceSlot s = CandidateFromPath(path);
    s.vendorId = vendorId;
    s.productId = productId;
    s.usagePage = usagePage;
    s.usage = usage;
    const int found = FindInterfaceRow(s);
    if (found >= 0) {
        s.kind = InterfaceTable()[static_cast<size_t>(found)].kind;
        s.role = InterfaceTable()[static_cast<size_t>(found)].role;
    }
    if (row)
        *row = found;
    return s;
}

DeviceSlot SlotFromTransport(const CHidTransport& transport, int* row) {
    return SlotFromInterface(transport.DevicePath(), transport.Attributes().vendorId,
                             transport.Attributes().productId, transport.Caps().usagePage,
                             transport.Caps().usage, row);
}

} // namespace nk7x
