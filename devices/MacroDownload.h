// The answer of a macro download: what was sent, or why nothing was, in the terms the page uses to
// tell the user (nothing, "macro download failed", or how many events to remove).
#pragma once

#include "link/CommandFrame.h"

namespace nk7x {

struct [[nodiscard]] MacroDownload {
    enum class Status {
        Sent,          // the image went to the device (the link's result is in `link`)
        NothingToSend, // no macros stored: the device keeps the macros it has
        TooLarge,      // the macros do not fit; nothing was sent
        NoImage,       // the image could not be built; nothing was sent
    };
    Status status = Status::NothingToSend;
    int excessEvents = 0;        // TooLarge: events to remove before the macros fit
    LinkResult link = kResultOk; // Sent: the transfer's result, already reported to the view

    // The download's number as callers have always seen it: 0 (sent or nothing to send), -1 (no
    // image) or the count of events to remove.
    int Code() const {
        switch (status) {
        case Status::TooLarge:
            return excessEvents;
        case Status::NoImage:
            return -1;
        case Status::Sent:
        case Status::NothingToSend:
            break;
        }
        return 0;
    }
};

} // namespace nk7x
