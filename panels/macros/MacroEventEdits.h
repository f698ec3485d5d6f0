// MacroEventEdits: the editor's operations on the events of the selected macro: moving, deleting and
// inserting events (buttons, mouse moves, items of the row menu). Each saves the macro when it changed
// something, and keeps the rows it touched in sight.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>

namespace nk7x {

class MacroActionList;
class MacroEventRows;
class MacroNameList;
class MacroRecording;
struct MacroEvent;

// The four mouse-move buttons, in the order of their edits.
enum class MoveDirection : int { Left, Right, Up, Down };

class MacroEventEdits {
  public:
    // All four outlive the edits.
    MacroEventEdits(MacroActionList& actions, MacroNameList& names, MacroEventRows& rows,
                    MacroRecording& recording);

    // The distance fields of the four mouse-move buttons, in the order of MoveDirection.
    void SetMoveEdits(const std::array<QPointer<QLineEdit>, 4>& edits) { m_moveEdits = edits; }

    // One row up (-1) or down (+1), with a few rows beyond it kept in sight.
    bool MoveSelected(int step);
    bool MoveSelectedToTop();
    bool MoveSelectedToBottom();
    bool DeleteSelectedEvent();
    bool DeleteAllEvents(); // false when no macro is selected

    // Each inserts with the recorder's fixed delay, false when no macro is selected.
    bool InsertButton(uint8_t buttonBit, bool down);
    bool InsertMove(MoveDirection direction); // the distance from that button's field
    bool InsertMenuItem(const QString& item); // false for an item that inserts nothing

  private:
    // The selected event goes first (`top`) or last, and the list scrolls to that end.
    bool MoveSelectedToEnd(bool top);
    // Puts `event` where InsertPosition says, selects it unless the list was empty, steps the list
    // on by a row and saves.
    void Insert(const MacroEvent& event);
    // Saves after an event operation; the list keeps what it shows when the write fails.
    bool Changed();

    MacroActionList& m_actions;
    MacroNameList& m_names;
    MacroEventRows& m_rows;
    MacroRecording& m_recording;
    std::array<QPointer<QLineEdit>, 4> m_moveEdits;
};

} // namespace nk7x
