#include "devices/mouse/ShootImageBuild.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "macros/MacroStore.h"
#include "platform/Folders.h"
#include "profiles/JsonFile.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace nk7x {
namespace {

// Whether a file that gave no events is there but unusable, rather than missing or empty of events.
bool PresentButUnreadable(const std::string& path) {
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found)
        return false;
    if (ec || !std::filesystem::is_regular_file(st))
        return true;
    return !LoadJson(path).isObject();
}

} // namespace

std::string ShootPatternFileName(int gun) {
    return "ShootData_" + std::to_string(gun) + ".Shoot";
}

std::string ShootPatternPath(const std::string& folder, int gun) {
    return JoinPath(folder, ShootPatternFileName(gun));
}

ShootImageBuild BuildShootImage(const std::string& folder) {
    ShootImageBuild out;
    try {
        // The shoot image is a macro image of exactly four blocks, one per gun in gun order.
        MacroImage image;
        image.macros.reserve(kShootGunCount);
        for (int gun = 0; gun < kShootGunCount; ++gun) {
            const std::string path = ShootPatternPath(folder, gun);
            std::vector<MacroEvent> events = ReadMacroEvents(path);
            if (events.empty() && PresentButUnreadable(path))
                out.unreadable.push_back(path);
            out.eventCounts[static_cast<std::size_t>(gun)] = events.size();
            image.macros.push_back(std::move(events));
        }
        out.bytes = image.Serialise();
        out.ok = !out.bytes.empty() && out.bytes.size() == image.Size();
    } catch (const std::bad_alloc&) {
        out.ok = false;
    }
    if (!out.ok)
        out.bytes.clear();
    return out;
}

} // namespace nk7x
