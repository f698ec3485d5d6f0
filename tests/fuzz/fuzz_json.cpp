// Feeds arbitrary bytes as a profile file, lighting configuration and effect file through the
// JSON reader and every accessor of each profile kind: nothing may crash, hang or leak.
#include "profiles/HeadsetProfileData.h"
#include "profiles/KeyboardProfileData.h"
#include "profiles/LightNames.h"
#include "profiles/MouseProfileData.h"
#include "profiles/json/JsonFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// A fresh folder per input, removed afterwards, so that no run sees another's files.
class ScratchFolder {
  public:
    ScratchFolder() {
        // Memory-backed when available: the target writes several files per input.
        char shm[] = "/dev/shm/nk7x-fuzz-json-XXXXXX";
        char tmp[] = "/tmp/nk7x-fuzz-json-XXXXXX";
        const char* made = ::mkdtemp(shm);
        if (!made)
            made = ::mkdtemp(tmp);
        if (!made)
            std::abort();
        m_path = made;
        ::setenv("NK7X_PROGRAM_DIR", m_path.c_str(), 1);
        ::setenv("XDG_DATA_HOME", m_path.c_str(), 1);
        nk7x::SetJsonWriteSync(false); // the fuzzer's files need no durability
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

template <class Data> void CommonAccessors(Data& d, const std::string& config) {
    nk7x::LightState s = d.GetLightInfo();
    d.GetLightList();
    d.LoadConfig(config);
    d.GetEffectFrames();
    auto keys = d.GetKeyList();
    d.SetKeyList(keys);
    d.SetLightInfo(s);
    d.GetEffectFrames();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nk7x;
    ScratchFolder scratch;
    const std::string& folder = scratch.Path();
    const std::string profile = folder + "/profile.Json";
    const std::string config = folder + "/tavro_light.config";
    WriteFile(profile, data, size);
    WriteFile(config, data, size);
    WriteFile(folder + "/default.Json", data, size);
    // The same bytes as the effect file that a "Guid" of "g" names.
    WriteFile(folder + "/g.light", data, size);

    Json::Value doc = LoadJson(profile);
    (void)StyledJsonText(doc);

    CKeyboardProfiledata k(folder + "/default.Json");
    k.SetProfilePath(profile);
    k.LoadFromFile(profile);
    CommonAccessors(k, config);
    k.GetSystemStages();
    k.SetSystemStages(k.SystemStages());
    int group = k.GetCustomGroup();
    auto colors = k.GetCustomColors(group, 126);
    k.SetCustomColors(colors, group);
    k.SetCustomGroup(group);

    CMouseProfiledata m;
    m.SetProfileValue(JsonElement(JsonMember(doc, "Device"), 0));
    CommonAccessors(m, config);
    m.SetDpiStages(m.GetDpiStages());
    m.SetStageActive(m.GetStageActive());
    m.SetSystemStages(m.GetSystemStages());
    m.GetCorrectInfo();

    CHs6533Profiledata h;
    h.SetProfileValue(doc);
    CommonAccessors(h, config);
    HeadsetSystemSetStages hs = h.GetSystemSetStages();
    h.SetSystemSetStages(hs);
    for (int type : {0, 1, 12, 13, 14, hs.eqType})
        h.SetEqValues(type, h.GetEqValues(type));
    auto names = h.GetCustomEqNames();
    h.SetCustomEqValues(hs.customEqIndex, h.GetCustomEqValues(hs.customEqIndex));
    h.RemoveCustomEq(hs.customEqIndex);
    h.SetCustomEqNames(names);

    for (int kind = 0; kind < 4; ++kind) {
        DefaultLightModeNames(doc, kind);
        AreaLightNames(doc, kind);
        CustomEffectNames(doc, kind);
    }

    // Saving writes the file back; a second load must read what was written.
    if (k.Save() == 1) {
        Json::Value again = LoadJson(profile);
        if (again.isNull())
            std::abort();
    }
    return 0;
}
