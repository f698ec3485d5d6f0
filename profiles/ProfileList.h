// The profile list of one device kind without any UI: "ProfileList.ini", the profile files it names,
// the current selection, the naming rules of add, copy, rename and import, and the page's tab options.
#pragma once

#include <json/value.h>

#include <array>
#include <string>
#include <vector>

namespace nk7x {

// Language keys of the messages the profile operations lead to; the caller shows them.
inline constexpr const char* kMsgRenameRefused = "message_text_5"; // duplicate name
inline constexpr const char* kMsgRenameBlank = "message_text_25";  // empty or white space
inline constexpr const char* kMsgResetConfirm = "message_text_22"; // OK / Cancel before reset
inline constexpr const char* kMsgMacroDownloadFailed = "message_text_7";
inline constexpr const char* kMsgMacroCount = "message_text_16"; // format with the count
inline constexpr const char* kMsgSaveFailed = "message_text_26"; // a file could not be written

// The result of a profile operation; the numbers are the ones the panel's callers have always seen.
// WriteFailed: a file could not be written (disk full, no permission...). The files are then byte
// for byte what they were, and the list in memory is the one on disk. (The one exception: a list
// file already replaced whose folder could not be flushed; memory then has the new list, as the
// file does.)
enum class [[nodiscard]] ProfileResult : int{
    WriteFailed = -1,
    Refused = 0, // nothing to do, or not allowed (no selection, 50 profiles, not a profile file...)
    Done = 1,
    BlankName = 2, // rename only
};

// Filter of the import and export dialogs.
inline constexpr const char* kProfileFileFilterName = "Profile Files(*.json)";
inline constexpr const char* kProfileFileFilterPattern = "*.json;";

inline constexpr int kMaxAddedProfiles = 50;

// The tab options of a page, numbered 1-8.
inline constexpr std::array<const char*, 8> kProfileTabNames = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};

class ProfileList {
  public:
    ProfileList() = default;

    // Device type: keyboard 1, mouse 2, mouse pad 3, headset 7.
    void SetDeviceType(int type);
    int DeviceType() const { return m_type; }
    void SetFolders(const std::string& kindFolder, const std::string& defaultProfilePath);

    // Reads the list; a list file that cannot be read is moved aside (the user is told) and the
    // list is made again from the profile files present, and with none the single profile
    // "profile1" is made; a listed profile file that cannot be read is moved aside as well, and
    // gets a fresh one from the default, as an entry whose file is missing does; a selection out of
    // range becomes 0. Selects the listed profile. Refused when no folder is set, WriteFailed when a
    // repair could not be written (a rebuilt list that could not be written leaves the list empty).
    ProfileResult LoadList();

    // The names in display order (the combo items).
    const std::vector<std::string>& Names() const { return m_names; }
    int Count() const { return static_cast<int>(m_names.size()); }
    std::string UuidAt(int index) const;
    std::string ProfilePathAt(int index) const; // kind folder + UUID + ".Json"; empty when out of range

    int GetSelectedIndex() const { return m_selected; }
    std::string GetSelectedUUID() const { return m_selectedUuid; }
    std::string SelectedProfilePath() const { return ProfilePathAt(m_selected); }

    // Every operation below returns WriteFailed when a file could not be written; the list in
    // memory then matches the list file on disk.

    // Makes `index` the current profile and persists it as "profileselect". Refused when out of range.
    // When the choice cannot be stored, it is still the current profile for this run.
    ProfileResult SelectProfile(int index);

    // Done when a profile was added (at the end, named "profileN"; the list file names it as
    // selected while the current profile stays), Refused at 50 profiles.
    ProfileResult AddProfile();
    // Copies the current profile as "<name> copy" (" copy" repeated until unique).
    ProfileResult CopyProfile();
    // Adds profile `name` at the end, made from the default or, with `copyFrom` 0 or more, from
    // that profile's file; the current profile stays, in memory and in the list file. BlankName for
    // an empty or white-space name; Refused when another profile has the name (ignoring case), at 50
    // profiles, or for a `copyFrom` out of range.
    ProfileResult AddNamedProfile(const std::string& name, int copyFrom = -1);
    // Removes the current profile and its file; the one before it (or the new first) becomes
    // current. Refused without a selection or when only one profile is left.
    ProfileResult DeleteProfile();
    // BlankName for an empty or white-space name; Refused when another profile has the name
    // (ignoring case) or nothing is selected.
    ProfileResult RenameProfile(const std::string& name);
    // Adds a copy of the profile file at `path` under a fresh UUID, its name made unique with
    // "(k)" suffixes. Refused when the file is not a profile (no "profilename" or "profileUUID").
    ProfileResult ImportProfile(const std::string& path);
    // Writes the current profile's file to `path`. Refused when there is no profile to write.
    ProfileResult ExportProfile(const std::string& path);
    // Replaces the current profile's file with the default, keeping its name and UUID (and, for
    // a headset, its custom EQ names and values).
    ProfileResult ResetProfile();

    // The language key to show for a rename result; empty for success.
    static std::string RenameMessageKey(ProfileResult result);

    // Tab options: SelectTab(n) selects option n (1-8) and clears the others; any other n clears all.
    void SelectTab(int n);
    int SelectedTab() const { return m_tab; }
    bool TabVisible(int n) const;

    const Json::Value& ListDocument() const { return m_list; }

    // The index of the profile named `name`: the exact name first, else the one equal ignoring
    // case; -1 when there is none.
    int IndexOfName(const std::string& name) const;
    // True when `a` and `b` are equal ignoring ASCII letter case.
    static bool SameName(const std::string& a, const std::string& b);

  private:
    bool NameTaken(const std::string& name, int except = -1) const;
    std::string NewUuid() const;
    Json::Value DefaultProfile() const;
    // A list of the profile files in the kind folder (those that read as profiles), oldest first,
    // their names made unique; for a list file that is missing or could not be read.
    Json::Value RecoveredList() const;
    int WriteList();
    enum class ListWrite { Written, Failed, FailedAfterReplace };
    // Writes `list` to the list file; memory takes it (and `names`) only when the file holds it,
    // which a failure after the rename still leaves true.
    ListWrite StoreList(Json::Value list, std::vector<std::string> names);
    void RemoveProfileFile(const std::string& uuid) const;
    int WriteProfileFile(const std::string& uuid, Json::Value doc, const std::string& name);
    ProfileResult AppendProfile(const std::string& name, const std::string& uuid, const Json::Value& doc,
                                bool selectInFile);
    static Json::Value MakeEntry(const std::string& name, const std::string& uuid);
    void ApplyTabVisibility();

    int m_type = 1;
    std::string m_kindFolder;
    std::string m_defaultPath;
    Json::Value m_list;
    std::vector<std::string> m_names;
    int m_selected = -1;
    std::string m_selectedUuid;
    int m_tab = 0;
    std::array<bool, 8> m_tabVisible{true, true, true, true, true, false, false, false};
};

} // namespace nk7x
