// The macros of one device page: the index file "macro.config" and one ".mac" file per macro in
// the page's kind folder, and every operation on them (create, rename, delete, load, save, export,
// import). Files are re-read by every operation; nothing is cached.
#pragma once

#include "macros/MacroEvent.h"

#include <json/value.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nk7x {

inline constexpr std::string_view kMacroIndexFileName = "macro.config";
inline constexpr std::string_view kMacroFileExtension = ".mac";

// One entry of the index: the name shown in the list and the identifier that names the macro
// file. The identifier is empty when the entry carries none that can name a file in the folder;
// such a macro loads no events and cannot be saved, but keeps its place so that later macros keep
// their indices.
struct MacroInfo {
    std::string name;
    std::string guid;

    bool operator==(const MacroInfo&) const = default;
};

// A macro with its events, as the devices download them.
struct Macro {
    MacroInfo info;
    std::vector<MacroEvent> events;
};

// One row of the editor when it saves: the event it holds (nothing for an empty row, which ends
// the macro) and the text of its delay field.
struct MacroRow {
    std::optional<MacroEvent> event;
    std::string delayText;
};

// Every write replaces its file atomically (temporary file, flush, rename, folder flush): on Failed
// the files are byte for byte what they were, and no temporary file is left.
enum class MacroResult : int {
    Ok = 1,
    Failed = 0,         // a file could not be written (disk full, no permission...) or, for export, read
    ListFull = -1,      // create and import: kMaxMacros macros already
    BlankName = -2,     // rename: nothing but white space; the caller says nothing
    DuplicateName = -3, // rename: the name is in the list (case ignored); the caller shows "message_text_5"
    NameTooLong = -4,   // rename: longer than kMaxMacroNameBytes
    NoSuchMacro = -5,   // the index is not in the list
    BadIdentifier = -6, // the identifier cannot name a file in the folder
    SourceUnreadable = -7, // import: the chosen file could not be read
};

// The entries of an index file in order; empty when it is missing, unreadable or of another
// shape. Used for "macro.config" and for the name lists of other device kinds.
std::vector<MacroInfo> ReadMacroIndex(const std::string& path);

// The events of a macro file in order; none when it is missing, unreadable or holds no "Events"
// array. Elements that are no usable event are left out.
std::vector<MacroEvent> ReadMacroEvents(const std::string& path);

class MacroStore {
  public:
    // `folder` is the page's kind folder; it is created when a file is written.
    explicit MacroStore(std::string folder);

    const std::string& Folder() const { return m_folder; }
    std::string IndexPath() const;
    // The macro file of an identifier; empty when the identifier cannot name one.
    std::string MacroPath(std::string_view guid) const;

    std::vector<MacroInfo> LoadIndex() const;
    std::vector<std::string> LoadNames() const;

    // A new macro at the end of the list, named "macro_N" (the smallest free N) with a new
    // identifier made from the local time. Writes the index only; the first save writes the macro
    // file. ListFull with kMaxMacros macros (nothing changes).
    MacroResult Create(MacroInfo& created);

    // Renames the macro at `index`. The stored name is `newName` as given; the trimmed form only
    // decides whether it is blank. The macro file keeps its old name until the next save.
    MacroResult Rename(int index, const std::string& newName);

    // Removes the macro at `index` from the index and deletes its file. Later macros move down by
    // one; the caller has already fixed the key assignments that refer to them.
    MacroResult Delete(int index);

    std::vector<MacroEvent> LoadEvents(std::string_view guid) const;

    // Rewrites the macro file of `info` with these events (no "Events" member when there are none)
    // and "Version" 64.
    MacroResult Save(const MacroInfo& info, std::span<const MacroEvent> events);

    // Saves the editor's rows: rows are taken up to the first empty one; each row's delay comes
    // from its delay text (empty text is "0"; above 65534 is 65535). The rows are updated to what
    // was written: the delay text becomes the decimal delay and the event carries it.
    MacroResult SaveRows(const MacroInfo& info, std::span<MacroRow> rows);

    // Copies the macro file byte for byte to `destination`.
    MacroResult Export(std::string_view guid, const std::string& destination) const;

    // Creates a macro as Create does and makes its file a byte copy of `source`. Nothing is
    // written when the list is full or the source cannot be read.
    MacroResult Import(const std::string& source, MacroInfo& created);

    // Every macro of the index with its events, in index order.
    std::vector<Macro> LoadAll() const;

  private:
    // Appends a new entry to the index document `doc`: "macro_N" (the smallest free N) and an
    // identifier no entry and no file in the folder has. ListFull or Failed leave `doc` as it was.
    MacroResult AddEntry(Json::Value& doc, MacroInfo& added) const;

    std::string m_folder;
};

} // namespace nk7x
