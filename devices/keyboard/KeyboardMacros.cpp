#include "devices/keyboard/KeyboardMacros.h"

#include <memory>
#include <utility>

#include "macros/MacroStore.h"

namespace nk7x {

void CKeyboardMacros::ReadNames(const std::string& folder) {
    m_names.clear();
    if (folder.empty())
        return;
    for (const MacroInfo& info : ReadMacroIndex(folder + std::string(kMacroIndexFileName)))
        m_names.push_back(info.name);
}

CKeyboardMacros::Sent CKeyboardMacros::Transfer(const MacroImageBytes& image, const DeviceInfoRecord& known) {
    Sent r;
    CDeviceCommandLink& link = m_ctx.Link();
    DeviceInfoRecord info = known;
    if (link.IsOpen()) {
        r.infoRead = link.ReadDeviceInfo(r.info) == kResultOk;
        if (r.infoRead)
            info = r.info;
    }
    r.answer = CheckMacroRoom(image, info);
    if (r.answer.status != MacroDownload::Status::Sent)
        return r;
    if (link.IsOpen()) {
        FirstFailure f;
        f.Take(link.BeginConfig());
        f.Take(link.WriteMacroArea(image.bytes.data(), image.bytes.size()));
        f.Take(link.EndConfig());
        r.answer.status = MacroDownload::Status::Sent;
        r.answer.link = f.result;
    }
    return r;
}

void CKeyboardMacros::Finish(const Sent& sent) {
    if (sent.infoRead)
        m_ctx.TakeDeviceInfo(sent.info);
    m_ctx.ReportFailure(KeyboardWrite::Macros, sent.answer.link);
}

MacroDownload CKeyboardMacros::Download() {
    CDeviceBase& device = m_ctx.Device();
    const Sent r = Transfer(PrepareMacroImage(device.DataFolder()), device.DeviceInfo());
    Finish(r);
    return r.answer;
}

void CKeyboardMacros::QueueDownload(std::function<void(MacroDownload)> done) {
    CDeviceBase& device = m_ctx.Device();
    auto image = std::make_shared<const MacroImageBytes>(PrepareMacroImage(device.DataFolder()));
    const DeviceInfoRecord known = device.DeviceInfo();
    device.RunTransfer("macros", [this, image, known, done = std::move(done)]() -> CDeviceBase::Continuation {
        const Sent r = Transfer(*image, known);
        return [this, r, done] {
            Finish(r);
            if (done)
                done(r.answer);
        };
    });
}

} // namespace nk7x
