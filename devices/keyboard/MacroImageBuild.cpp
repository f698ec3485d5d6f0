#include "devices/keyboard/MacroImageBuild.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "devices/keyboard/KeyboardRecords.h"
#include "macros/MacroStore.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {
namespace {

// Whether a file read as "nothing" because it could not be read rather than because it is not
// there. Only called when the shared readers found nothing in it, so a readable file is read
// twice only when it is empty of macros or events.
bool Unreadable(const std::string& path, bool emptyFileIsUnreadable) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found)
        return false;
    if (ec || !fs::is_regular_file(st))
        return true; // no access to the folder, or a folder or device where a file belongs
    const auto size = fs::file_size(path, ec);
    if (ec)
        return true;
    if (size == 0)
        return emptyFileIsUnreadable;
    return LoadJson(path).isNull();
}

} // namespace

MacroImageBuild BuildMacroImage(const std::string& folder) {
    MacroImageBuild out;
    const MacroStore store(folder);
    const std::vector<MacroInfo> index = store.LoadIndex();
    if (index.empty()) {
        // An empty index file is an empty list, as a missing one is.
        if (Unreadable(store.IndexPath(), false))
            out.unreadable.push_back(store.IndexPath());
        out.status = MacroDownload::Status::NothingToSend;
        return out;
    }
    out.macroCount = index.size();
    try {
        MacroImage image;
        image.macros.reserve(index.size());
        for (const MacroInfo& info : index) {
            std::vector<MacroEvent> events = store.LoadEvents(info.guid);
            if (events.empty()) {
                const std::string path = store.MacroPath(info.guid);
                if (!path.empty() && Unreadable(path, true))
                    out.unreadable.push_back(path);
            }
            image.macros.push_back(std::move(events));
        }
        out.bytes = image.Serialise();
        if (out.bytes.empty() || out.bytes.size() != image.Size())
            out.status = MacroDownload::Status::NoImage;
    } catch (const std::bad_alloc&) {
        out.bytes.clear();
        out.status = MacroDownload::Status::NoImage;
    }
    return out;
}

} // namespace nk7x
