// What a flow or a search tells the operator, by what happened: each front end words it (the
// pages as the operator has always read it, dravikctl on standard error).
#pragma once

#include <string>

namespace dravik::flows {

// What the status line says while an exchange runs.
enum class StatusText { None, Connecting, Sending, Send, Search };

struct Notice {
    enum class Kind {
        PortClosed,     // the RS-232 line is not open: nothing was sent
        NoReply,        // the display with `monitorId` did not answer a query
        SelectOne,      // the command needs one selected row and none is
        SelectOnlyOne,  // the command goes to the one selected row and none is
        SearchEnded,    // the monitor ID search asked its last ID (or was stopped)
        ListEmpty,      // "Check Monitor" found no row to check
    };
    Kind kind = Kind::PortClosed;
    std::string monitorId;  // NoReply

    bool operator==(const Notice&) const = default;
};

}  // namespace dravik::flows
