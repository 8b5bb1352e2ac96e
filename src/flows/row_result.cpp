#include "flows/row_result.h"

#include <array>
#include <utility>

namespace dravik::flows {

namespace {

constexpr std::array<std::pair<Outcome, std::string_view>, 18> kNames{{
    {Outcome::Sent, "sent"},
    {Outcome::Replied, "replied"},
    {Outcome::Nack, "nack"},
    {Outcome::Nav, "nav"},
    {Outcome::NoReply, "no-reply"},
    {Outcome::WrongHeader, "wrong-header"},
    {Outcome::BadChecksum, "bad-checksum"},
    {Outcome::ShortReply, "short-reply"},
    {Outcome::ConnectRefused, "connect-refused"},
    {Outcome::ConnectTimedOut, "connect-timed-out"},
    {Outcome::NoRoute, "no-route"},
    {Outcome::NameNotResolved, "name-not-resolved"},
    {Outcome::PortBusy, "port-busy"},
    {Outcome::PermissionDenied, "permission-denied"},
    {Outcome::PortClosed, "port-closed"},
    {Outcome::WriteFailed, "write-failed"},
    {Outcome::PeerClosed, "peer-closed"},
    {Outcome::RefusedForModel, "refused-for-model"},
}};

}  // namespace

std::string_view OutcomeName(Outcome outcome) {
    for (const auto& [o, name] : kNames) {
        if (o == outcome) return name;
    }
    return "unknown";
}

bool OutcomeFromName(std::string_view name, Outcome& outcome) {
    for (const auto& [o, n] : kNames) {
        if (n == name) {
            outcome = o;
            return true;
        }
    }
    return false;
}

bool Succeeded(Outcome outcome) { return outcome == Outcome::Sent || outcome == Outcome::Replied; }

bool Unreachable(Outcome outcome) {
    switch (outcome) {
        case Outcome::ConnectRefused:
        case Outcome::ConnectTimedOut:
        case Outcome::NoRoute:
        case Outcome::NameNotResolved:
        case Outcome::PortBusy:
        case Outcome::PermissionDenied:
        case Outcome::PortClosed:
            return true;
        default:
            return false;
    }
}

}  // namespace dravik::flows
