// CKeyboardMacros: the keyboard's macros as its page uses them: the names the key assignment panel
// lists (from the kind folder's index), and the download of the folder's macro image into the
// keyboard, measured first against the room the keyboard reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devices/MacroDownload.h"
#include "devices/MacroImageSend.h"
#include "devices/keyboard/KeyboardContext.h"

namespace nk7x {

class CKeyboardMacros {
  public:
    explicit CKeyboardMacros(CKeyboardContext& context) : m_ctx(context) {}

    // The names of the index in `folder`; none without a folder.
    void ReadNames(const std::string& folder);
    const std::vector<std::string>& Names() const { return m_names; }

    // See CKeyboardDevice::DownloadMacros; the queued form hands the answer to `done` on the page's
    // thread.
    MacroDownload Download();
    void QueueDownload(std::function<void(MacroDownload)> done);

  private:
    struct Sent {
        MacroDownload answer;
        bool infoRead = false;
        DeviceInfoRecord info{};
    };
    // The room read afresh (or `known` when it cannot be), then the image when it fits; the link
    // alone.
    Sent Transfer(const MacroImageBytes& image, const DeviceInfoRecord& known);
    // What a download brought back, on the page's thread.
    void Finish(const Sent& sent);

    CKeyboardContext& m_ctx;
    std::vector<std::string> m_names;
};

} // namespace nk7x
