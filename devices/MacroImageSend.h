// The macro download as every kind with macros makes it: the image built from the kind folder's
// files, refused whole when a file cannot be read (sending it would wipe that macro on the device),
// and measured against the room the device reports before anything is sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/MacroDownload.h"
#include "link/CommandFrame.h"

namespace nk7x {

// The device reports its macro room in units of this many bytes (information byte 6).
inline constexpr size_t kMacroUnitBytes = 128;

struct MacroImageBytes {
    // NothingToSend or NoImage: the download's answer without sending; Sent: send `bytes`.
    MacroDownload::Status early = MacroDownload::Status::Sent;
    std::vector<uint8_t> bytes;
};

// The image of `folder`'s macro files (nothing to send without a folder); NoImage, with each
// unreadable file logged, when a file is there but cannot be read.
MacroImageBytes PrepareMacroImage(const std::string& folder);

// The answer before sending: the image's own early answer, TooLarge with the events to remove when
// it does not fit the room `info` reports, else Sent (with nothing sent yet).
MacroDownload CheckMacroRoom(const MacroImageBytes& image, const DeviceInfoRecord& info);

} // namespace nk7x
