// The profile data of one device page: the selected profile as a JSON object kept whole (keys of
// other kinds and unknown keys survive a save), its file, its lighting configuration, and the
// accessors that turn JSON sections into the records the device and the panels use.
#pragma once

#include "profiles/ProfileRecords.h"

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nk7x {

class CBasicProfiledata {
  public:
    CBasicProfiledata() = default;
    explicit CBasicProfiledata(const std::string& defaultPath) { SetDefaultPath(defaultPath); }
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = default;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = default;

    // Stores the profile object as "Device"[index] of the profile file. 1 on success, 0 when no
    // profile path is set or the file could not be written (disk full, no permission...); the file
    // is then byte for byte what it was.
    [[nodiscard]] virtual int Save();
    // Stores `value` as "Device"[index] of the file at `path`; every other key of the file stays.
    // 0 without writing when the file has content that cannot be read, or that does not parse and
    // cannot be kept aside as "<name>.bad".
    virtual int SaveProfileValue(const Json::Value& value, const std::string& path);
    // Writes `value` as the whole content of the file at `path` (atomic replace).
    virtual int WriteDocument(const Json::Value& value, const std::string& path);

    // Loads "Device"[index] of the file at `path` as the profile object. When it is missing, the
    // default profile's "Device"[index] takes its place and the file is written back with it (a
    // failed write-back is not reported: the file stays as it was and is refilled next time).
    // Returns a copy of the profile object (null when neither file has one).
    Json::Value LoadFromFile(const std::string& path);

    // Loads the lighting configuration document ("tavro_light.config"); returns a copy.
    Json::Value LoadConfig(const std::string& path);

    // Paths. Empty paths are ignored by SetProfilePath and SetDefaultPath.
    void SetProfilePath(const std::string& path);
    std::string GetProfilePath() const { return m_profilePath; }
    void SetDefaultPath(const std::string& path);
    std::string GetDefaultPath() const { return m_defaultPath; }
    void SetConfigPath(const std::string& path) { m_configPath = path; }
    std::string GetConfigPath() const { return m_configPath; }
    // The "Device" element that holds the profile; an index beyond kJsonMaxIndex is ignored.
    void SetIndex(int index);
    int GetIndex() const { return static_cast<int>(m_index); }

    // The profile object and the configuration document as they are now.
    const Json::Value& GetProfileValue() const { return m_profile; }
    void SetProfileValue(const Json::Value& value) { m_profile = value; }
    const Json::Value& GetConfigDocument() const { return m_config; }

    // "LightInfo": the all-zero state when absent. SetLightInfo replaces the section.
    LightState GetLightInfo();
    void SetLightInfo(const LightState& state);

    // "LightList": one entry per element, a null element giving present == 0. Empty when absent.
    std::vector<LightState> GetLightList();

    // The frames of the custom effect of the current light mode (GetLightInfo / SetLightInfo),
    // read from "<Guid>.light" beside the configuration file, else from the default data folder.
    std::vector<EffectFrame> GetEffectFrames();

    // "KeyList": one record per element. SetKeyList writes only "Assignment" of the first
    // records.size() elements; "DefaultAssignment" is never written.
    std::vector<KeyAssignment> GetKeyList();
    void SetKeyList(const std::vector<KeyAssignment>& records);

    // The last results, without reading the profile again.
    const LightState& LightInfo() const { return m_lightInfo; }
    const std::vector<LightState>& LightList() const { return m_lightList; }
    const std::vector<EffectFrame>& EffectFrames() const { return m_effectFrames; }
    const std::vector<KeyAssignment>& KeyList() const { return m_keyList; }

  protected:
    // The profile object, made an object when it is not one, for setters.
    Json::Value& MutableProfile();

  private:
    // The document of a profile file for an update. A file that exists but is no JSON object is
    // kept beside itself as "<name>.bad" before it is replaced, so nothing the user had is lost.
    // False when the file must not be replaced: its content could not be read or kept aside.
    bool LoadDocumentForUpdate(const std::string& path, Json::Value& doc);
    // Puts `value` as "Device"[index] of `document`, reshaping what is in the way.
    void PutDevice(Json::Value& document, const Json::Value& value) const;
    // The effect file of a custom effect name; empty when there is none.
    Json::Value LoadEffectDocument(const std::string& name) const;

    std::string m_profilePath;
    std::string m_defaultPath;
    int32_t m_lightModeBase = 0;
    LightState m_lightInfo;
    LightState m_lightInfoDefault;
    std::vector<LightState> m_lightList;
    Json::Value m_profile;
    std::string m_configPath;
    std::string m_configFolder; // folder of the configuration document last loaded
    std::vector<EffectFrame> m_effectFrames;
    Json::Value m_config;
    std::vector<KeyAssignment> m_keyList;
    Json::ArrayIndex m_index = 0;
};

} // namespace nk7x
