#include "devices/keyboard/KeyboardKeyAssignments.h"

#include <utility>

#include "devices/keyboard/KeyboardTables.h"

namespace nk7x {

std::string FactoryKeyName(const KeyCode& code) {
    for (const DefaultKeyEntry& e : DefaultKeyCodeTable)
        if (e.code == code && e.label)
            return std::string("keyboard_key_") + e.label;
    return {};
}

bool CKeyboardKeyAssignments::Set(int index, const KeyCode& assignment) {
    if (index < 0 || static_cast<size_t>(index) >= m_list.size())
        return false;
    m_list[static_cast<size_t>(index)].assignment = assignment;
    m_ctx.Profile().SetKeyList(m_list);
    if (IKeyboardView* view = m_ctx.View())
        view->KeyCaptionsChanged(Captions());
    return true;
}

bool CKeyboardKeyAssignments::ResetMacroKeysFrom(std::size_t macros) {
    bool changed = false;
    for (KeyAssignment& entry : m_list) {
        const uint8_t type = entry.assignment.type;
        if ((type == kMacroKeyType || type == kMacroKeyTypeAlt) && entry.assignment.b1 >= macros) {
            entry.assignment = entry.defaultAssignment;
            changed = true;
        }
    }
    if (changed)
        m_ctx.Profile().SetKeyList(m_list);
    return changed;
}

std::vector<KeyCaption> CKeyboardKeyAssignments::Captions() const {
    std::vector<KeyCaption> captions;
    captions.reserve(m_list.size());
    for (size_t i = 0; i < m_list.size(); ++i) {
        KeyCaption c;
        c.keyIndex = static_cast<int>(i);
        c.assignment = m_list[i].assignment;
        c.nameKey = m_nameLookup ? m_nameLookup(c.assignment) : std::string();
        if (i < DefaultKeyCodeTable.size()) {
            const std::string own = m_nameLookup ? m_nameLookup(DefaultKeyCodeTable[i].code) : std::string();
            c.factoryName = c.nameKey == own;
        }
        captions.push_back(std::move(c));
    }
    return captions;
}

CKeyboardKeyAssignments::TableWrite CKeyboardKeyAssignments::Transfer(int index,
                                                                      const CKeyboardKeyMap::Table& table) {
    TableWrite w;
    CDeviceCommandLink& link = m_ctx.Link();
    if (!link.IsOpen())
        return w;
    w.infoRead = link.ReadDeviceInfo(w.info) == kResultOk;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(link.WriteKeyTable(table.data(), index));
    f.Take(link.EndConfig());
    w.result = f.result;
    return w;
}

void CKeyboardKeyAssignments::Finish(const TableWrite& w) {
    if (w.infoRead)
        m_ctx.TakeDeviceInfo(w.info);
    m_ctx.ReportFailure(KeyboardWrite::KeyAssignments, w.result);
}

LinkResult CKeyboardKeyAssignments::Write(int index, const std::vector<KeyAssignment>& list) {
    CDeviceCommandLink& link = m_ctx.Link();
    if (!link.IsOpen())
        return kResultFailed;
    CKeyboardKeyMap::Table table{};
    if (!m_keyMap.BuildKeyTable(list, link.DataSize(), table))
        return kResultFailed;
    const TableWrite w = Transfer(index, table);
    Finish(w);
    return w.result;
}

void CKeyboardKeyAssignments::QueueWrite(int index) {
    CDeviceCommandLink& link = m_ctx.Link();
    CKeyboardKeyMap::Table table{};
    if (!link.IsOpen() || !m_keyMap.BuildKeyTable(m_list, link.DataSize(), table))
        return;
    m_ctx.Device().RunTransfer("key-table-" + std::to_string(index),
                               [this, index, table]() -> CDeviceBase::Continuation {
                                   const TableWrite w = Transfer(index, table);
                                   return [this, w] { Finish(w); };
                               });
}

} // namespace nk7x
