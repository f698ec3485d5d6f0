#include "devices/discovery/SlotList.h"

#include <utility>

namespace nk7x {
namespace {

bool SameByPath(const DeviceSlot& a, const DeviceSlot& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.collection == b.collection &&
           a.interfaceNumber == b.interfaceNumber;
}

bool SameByIdentity(const DeviceSlot& a, const DeviceSlot& b) {
    return SameByPath(a, b) && a.usagePage == b.usagePage && a.usage == b.usage;
}

std::vector<DeviceSlot> ShippedRows() {
    const auto& table = InterfaceTable();
    return std::vector<DeviceSlot>(table.begin(), table.end());
}

} // namespace

CSlotList::CSlotList() : CSlotList(ShippedRows()) {}

CSlotList::CSlotList(std::vector<DeviceSlot> rows) : m_rows(std::move(rows)) {
    const size_t n = m_rows.size();
    for (size_t i = 0; i < n; ++i) {
        DeviceSlot& r = m_rows[i];
        r.connected = 0;
        r.path.clear();
        if (r.hasPartner && (r.partner >= n || r.partner == i)) {
            r.hasPartner = 0;
            r.partner = 0;
        }
    }
    m_slots = m_rows;
}

int CSlotList::Size() const {
    return static_cast<int>(m_slots.size()); // fixed at construction
}

std::optional<DeviceSlot> CSlotList::Get(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ValidIndex(index))
        return std::nullopt;
    return m_slots[static_cast<size_t>(index)];
}

std::vector<DeviceSlot> CSlotList::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slots;
}

bool CSlotList::IsFree(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return ValidIndex(index) && Free(m_slots[static_cast<size_t>(index)]);
}

bool CSlotList::AnyFree() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const DeviceSlot& s : m_slots) {
        if (Free(s))
            return true;
    }
    return false;
}

bool CSlotList::AllSlotsTaken() const {
    return !AnyFree();
}

bool CSlotList::MatchesInterfaceRow(const DeviceSlot& candidate) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool rowFound = false;
    for (const DeviceSlot& r : m_rows) {
        if (SameByPath(r, candidate)) {
            rowFound = true;
            break;
        }
    }
    if (!rowFound)
        return false;
    for (const DeviceSlot& s : m_slots) {
        if (SameByPath(s, candidate) && Free(s))
            return true;
    }
    return false;
}

bool CSlotList::DescribeByPath(DeviceSlot& candidate) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const DeviceSlot& r : m_rows) {
        if (SameByPath(r, candidate)) {
            candidate.kind = r.kind;
            candidate.role = r.role;
            return true;
        }
    }
    return false;
}

int CSlotList::ClaimSlot(DeviceSlot& candidate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const DeviceSlot* row = nullptr;
    for (const DeviceSlot& r : m_rows) {
        if (SameByIdentity(r, candidate)) {
            row = &r;
            break;
        }
    }
    if (row == nullptr)
        return kNoDeviceSlot;
    candidate.kind = row->kind;
    candidate.role = row->role;
    // A slot without a path could never be checked for presence, nor freed again.
    if (candidate.path.empty())
        return kNoDeviceSlot;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        DeviceSlot& s = m_slots[i];
        if (Free(s) && SameInterface(s, candidate)) {
            s.connected = 1;
            s.path = candidate.path;
            return static_cast<int>(i);
        }
    }
    return kNoDeviceSlot;
}

bool CSlotList::Detach(int index, const std::string& path, DeviceSlot* was) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ValidIndex(index))
        return false;
    DeviceSlot& s = m_slots[static_cast<size_t>(index)];
    if (s.connected == 0 || s.path != path)
        return false;
    if (was)
        *was = s;
    s.connected = 0;
    s.path.clear();
    return true;
}

int CSlotList::PartnerOf(int index) const {
    if (!ValidIndex(index))
        return kNoDeviceSlot;
    const DeviceSlot& s = m_slots[static_cast<size_t>(index)];
    return s.hasPartner ? static_cast<int>(s.partner) : kNoDeviceSlot;
}

bool CSlotList::HasPartner(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return PartnerOf(index) != kNoDeviceSlot;
}

int CSlotList::PartnerIndex(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return PartnerOf(index);
}

bool CSlotList::PartnerConnected(int index) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int partner = PartnerOf(index);
    return partner != kNoDeviceSlot && m_slots[static_cast<size_t>(partner)].connected != 0;
}

bool CSlotList::LinkPartners(int a, int b) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ValidIndex(a) || !ValidIndex(b) || a == b)
        return false;
    for (std::vector<DeviceSlot>* list : {&m_rows, &m_slots}) {
        DeviceSlot& sa = (*list)[static_cast<size_t>(a)];
        DeviceSlot& sb = (*list)[static_cast<size_t>(b)];
        sa.hasPartner = 1;
        sa.partner = static_cast<uint16_t>(b);
        sb.hasPartner = 1;
        sb.partner = static_cast<uint16_t>(a);
    }
    return true;
}

int CSlotList::FindSame(const DeviceSlot& slot) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (SameInterface(m_slots[i], slot))
            return static_cast<int>(i);
    }
    return kNoDeviceSlot;
}

} // namespace nk7x
