// The slot list: one slot per interface-table row, recording which supported interface is attached
// and at which path. Shared by the discovery thread and the UI thread, so every access is locked and
// readers get copies.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devices/discovery/DeviceTables.h"

namespace nk7x {

inline constexpr int kNoDeviceSlot = -1;

class CSlotList {
  public:
    // One slot per row of the shipped interface table, in table order.
    CSlotList();
    // One slot per given row, in order; connected and path are cleared. A partner index that names
    // no other slot is dropped, so a bad table can never lead outside the list.
    explicit CSlotList(std::vector<DeviceSlot> rows);
    CSlotList(const CSlotList&) = delete;
    CSlotList& operator=(const CSlotList&) = delete;

    int Size() const;
    // A copy of slot `index`; nothing for an index outside the list.
    std::optional<DeviceSlot> Get(int index) const;
    std::vector<DeviceSlot> Snapshot() const;

    // Free: not connected and no path.
    bool IsFree(int index) const;
    bool AnyFree() const;
    bool AllSlotsTaken() const;

    // What can be told from a path before opening it: some row has the candidate's vendor, product,
    // collection and interface, and a slot with those four values is free.
    bool MatchesInterfaceRow(const DeviceSlot& candidate) const;
    // Copies kind and role of the row matched by vendor, product, collection and interface into
    // `candidate` (to name an interface that could not be opened); false when no row matches.
    bool DescribeByPath(DeviceSlot& candidate) const;
    // For an opened interface: finds the row equal in vendor, product, collection, interface, usage
    // page and usage, copies its kind and role into `candidate`, and attaches the candidate's path
    // to the first free slot of that interface. The slot index, or kNoDeviceSlot.
    int ClaimSlot(DeviceSlot& candidate);
    // Frees slot `index` if it is still attached to `path` (so a stale presence check cannot free a
    // slot that was attached again meanwhile). `was` receives the record as it was while attached.
    bool Detach(int index, const std::string& path, DeviceSlot* was = nullptr);

    // The other connection of the same mouse (its receiver, or the reverse).
    bool HasPartner(int index) const;
    int PartnerIndex(int index) const; // kNoDeviceSlot without a partner
    bool PartnerConnected(int index) const;
    // Makes slots a and b each other's partner; false for an index outside the list or a == b.
    bool LinkPartners(int a, int b);

    // The first slot that is the same device interface as `slot`, or kNoDeviceSlot.
    int FindSame(const DeviceSlot& slot) const;

  private:
    bool ValidIndex(int index) const { return index >= 0 && static_cast<size_t>(index) < m_slots.size(); }
    static bool Free(const DeviceSlot& s) { return s.connected == 0 && s.path.empty(); }
    int PartnerOf(int index) const; // under the lock

    mutable std::mutex m_mutex;
    std::vector<DeviceSlot> m_rows;  // the table the slots were built from
    std::vector<DeviceSlot> m_slots; // its size never changes after construction
};

} // namespace nk7x
