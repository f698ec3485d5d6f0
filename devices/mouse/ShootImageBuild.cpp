#include "devices/mouse/ShootImageBuild.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "macros/MacroEvent.h"
#include "platform/Folders.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

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

// Every record of the file in its place; an unusable one as the empty event (all four bytes 0).
std::vector<MacroEvent> ReadPatternSlots(const Json::Value& doc, std::size_t& emptied) {
    std::vector<MacroEvent> events;
    const Json::Value& records = JsonArray(doc, "Events");
    MacroEvent empty;
    empty.down = false;
    for (Json::ArrayIndex i = 0; i < records.size() && events.size() < kMaxLoadedEvents; ++i) {
        if (std::optional<MacroEvent> event = MacroEventFromJson(records[i])) {
            events.push_back(*event);
        } else {
            events.push_back(empty);
            ++emptied;
        }
    }
    return events;
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
            std::vector<MacroEvent> events = ReadPatternSlots(LoadJson(path), out.emptied);
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
