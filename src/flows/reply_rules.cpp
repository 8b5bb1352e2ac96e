#include "flows/reply_rules.h"

#include "protocol/reply.h"

namespace dravik::flows::rules {

using protocol::Byte;
using transport::LinkError;

ReplyRule Rule(Millis pause, Millis timeout, int limit, Millis retry, Millis preWrite, bool drainFirst) {
    ReplyRule r;
    r.pause = pause;
    r.timeout = timeout;
    r.limit = limit;
    r.retry = retry;
    r.preWrite = preWrite;
    r.drainFirst = drainFirst;
    return r;
}

ReplyRule LanSend(bool awaitAcknowledge) {
    return Rule(Millis{250}, awaitAcknowledge ? kLanReceiveTimeout : Millis{0}, kLanReplyLimit);
}
ReplyRule LanQuery() { return Rule(Millis{0}, kLanReceiveTimeout, kLanReplyLimit); }
ReplyRule LanReadThenSetQuery() { return Rule(Millis{300}, kLanReceiveTimeout, kLanReplyLimit); }
ReplyRule LanReadThenSetSet() { return Rule(Millis{0}, kLanReceiveTimeout, kLanReplyLimit); }
ReplyRule LanWall() { return Rule(Millis{100}, kLanReceiveTimeout, kLanReplyLimit); }

// Every RS-232 read asks once more after 150 ms when nothing waits, the drain's read too: that
// is what catches the late answer of an earlier display before this frame goes out.
ReplyRule Serial(ReplyRule r) {
    r.drainWait = kSerialReadRetry;
    return r;
}
ReplyRule SerialSend() { return Serial(Rule(Millis{450}, kSerialReadRetry, kSerialReadLimit)); }
ReplyRule SerialQuery() { return Serial(Rule(Millis{800}, kSerialReadRetry, kSerialReadLimit, Millis{500})); }
ReplyRule SerialReadThenSetQuery() {
    return Serial(Rule(Millis{1200}, kSerialReadRetry, kSerialReadLimit, Millis{1000}, Millis{200}));
}
ReplyRule SerialReadThenSetSet() {
    return Serial(Rule(Millis{450}, kSerialReadRetry, kSerialReadLimit, Millis{0}, Millis{200}));
}
ReplyRule SerialWall() { return Rule(Millis{0}, Millis{0}, kSerialReadLimit, Millis{0}, Millis{0}, false); }

ReplyRule LanGainRead() { return Rule(Millis{0}, kLanReceiveTimeout, kLanReplyLimit); }
ReplyRule LanGainSet() { return Rule(Millis{0}, Millis{0}, kLanReplyLimit); }
ReplyRule SerialGainRead() { return Serial(Rule(Millis{1000}, kSerialReadRetry, kSerialReadLimit, Millis{500})); }
ReplyRule SerialGainSet() { return SerialWall(); }
ReplyRule SerialIdentity() { return Serial(Rule(Millis{500}, kSerialReadRetry, kSerialReadLimit, Millis{200})); }

Outcome ClassifyReply(std::span<const Byte> reply) {
    const protocol::Reply r(reply);
    switch (r.fault()) {
        case protocol::Reply::Fault::Empty: return Outcome::NoReply;
        case protocol::Reply::Fault::WrongHeader: return Outcome::WrongHeader;
        case protocol::Reply::Fault::Short: return Outcome::ShortReply;
        case protocol::Reply::Fault::BadChecksum: return Outcome::BadChecksum;
        case protocol::Reply::Fault::None: break;
    }
    if (r.isNack()) return Outcome::Nack;
    if (r.isNav()) return Outcome::Nav;
    return Outcome::Replied;
}

Outcome OutcomeOf(LinkError error) {
    switch (error) {
        case LinkError::None: return Outcome::Sent;
        case LinkError::ConnectRefused: return Outcome::ConnectRefused;
        case LinkError::ConnectTimedOut: return Outcome::ConnectTimedOut;
        case LinkError::NoRoute: return Outcome::NoRoute;
        case LinkError::NameNotResolved: return Outcome::NameNotResolved;
        case LinkError::PortBusy: return Outcome::PortBusy;
        case LinkError::PermissionDenied: return Outcome::PermissionDenied;
        case LinkError::PortClosed: return Outcome::PortClosed;
        case LinkError::WriteFailed: return Outcome::WriteFailed;
        case LinkError::PeerClosed: return Outcome::PeerClosed;
        case LinkError::Other: return Outcome::WriteFailed;
    }
    return Outcome::WriteFailed;
}

}  // namespace dravik::flows::rules

// --- RS-232 monitor ID search and monitor check -------------------------------------------
namespace dravik::flows::rules {

ReplyRule SerialIdentity(Millis first, Millis second) {
    return Serial(Rule(first, kSerialReadRetry, kSerialReadLimit, second));
}

}  // namespace dravik::flows::rules
