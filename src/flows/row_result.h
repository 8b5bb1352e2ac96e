// What became of one display in one flow: a plain value that the flows produce and the
// front ends (the pages, dravikctl) only present. Callers branch on the outcome, never on a
// message text.
#pragma once

#include "protocol/frame.h"
#include "protocol/values.h"
#include "targets/target.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::flows {

enum class Outcome {
    Sent,             // the frame went out; nothing was asked back (or nothing was awaited)
    Replied,          // an answer came and was taken (acknowledge, or a decoded value)
    Nack,             // the display answered "not acknowledged"
    Nav,              // the display answered "not available"
    NoReply,          // nothing came before the deadline
    WrongHeader,      // bytes came, but not a reply frame (first byte not 0x21)
    BadChecksum,      // a reply frame whose checksum does not match
    ShortReply,       // a reply frame cut short of its length byte
    ConnectRefused,   // LAN: the display refused the connection
    ConnectTimedOut,  // LAN: no connection within the connect bound
    NoRoute,          // LAN: network or host unreachable
    NameNotResolved,  // LAN: the address text is empty or names no host
    PortBusy,         // RS-232: the line is held by another program
    PermissionDenied, // RS-232 or LAN: the system refused access
    PortClosed,       // RS-232: the line is not open ("COM Port Closed ")
    WriteFailed,      // the frame could not be written whole (device gone, peer closed)
    PeerClosed,       // the peer closed the connection before a whole reply came
    RefusedForModel,  // the model gets no frame for this command
};

// Stable lower-case names, used alike in text, JSON and CSV output.
std::string_view OutcomeName(Outcome outcome);
// The outcome of that name; false when none has it.
bool OutcomeFromName(std::string_view name, Outcome& outcome);
// The display did what was asked.
bool Succeeded(Outcome outcome);
// Nothing reached the display (connection or line failure), as opposed to a display that
// answered badly.
bool Unreachable(Outcome outcome);

// Values read back, where the command asks for them.
struct Decoded {
    std::optional<int> temperature;
    std::optional<int> hours;
    std::optional<int> backlight;
    std::optional<std::array<int, 6>> video;  // video parameters 2..7 as signed values
    std::optional<std::array<int, 3>> gains;  // red, green, blue
    std::optional<std::string> model;         // identity: model name
    std::optional<std::string> serialNumber;  // identity: serial number
    bool empty() const {
        return !temperature && !hours && !backlight && !video && !gains && !model && !serialNumber;
    }
};

struct RowResult {
    targets::Target target;
    Outcome outcome = Outcome::NoReply;
    std::vector<protocol::Frame> framesSent;  // in the order they went out
    protocol::Bytes reply;                    // the last reply's bytes as kept
    Decoded value;
    std::string systemText;  // the system's own text for a connection or line error
};

}  // namespace dravik::flows
