#include "devices/MacroImageSend.h"

#include "devices/keyboard/MacroImageBuild.h"
#include "platform/DebugLog.h"

namespace nk7x {

MacroImageBytes PrepareMacroImage(const std::string& folder) {
    MacroImageBytes image;
    if (folder.empty()) {
        image.early = MacroDownload::Status::NothingToSend;
        return image;
    }
    MacroImageBuild built = BuildMacroImage(folder);
    image.early = built.status;
    // A file that is there but cannot be read would go to the device as a macro without events
    // (or no macros at all) and wipe what it holds: nothing is sent, and the user hears that the
    // download failed.
    if (!built.unreadable.empty()) {
        for (const std::string& path : built.unreadable)
            DebugLogf("macros: %s cannot be read; the device keeps the macros it has", path.c_str());
        image.early = MacroDownload::Status::NoImage;
    }
    if (image.early == MacroDownload::Status::Sent)
        image.bytes = std::move(built.bytes);
    return image;
}

MacroDownload CheckMacroRoom(const MacroImageBytes& image, const DeviceInfoRecord& info) {
    MacroDownload answer;
    answer.status = image.early;
    if (image.early != MacroDownload::Status::Sent)
        return answer;
    const size_t total = image.bytes.size();
    const size_t capacity = size_t{info[6]} * kMacroUnitBytes;
    if (total > capacity) {
        answer.status = MacroDownload::Status::TooLarge;
        answer.excessEvents = static_cast<int>((total - capacity) / 4 + 1);
    }
    return answer;
}

} // namespace nk7x
