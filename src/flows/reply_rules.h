// The waits and reply rules of every exchange, written once: the pages and dravikctl both run
// them through the flows, so the two cannot drift apart.
#pragma once

#include "flows/row_result.h"
#include "protocol/frame.h"
#include "transport/link.h"

#include <span>

namespace dravik::flows::rules {

using transport::Millis;
using transport::ReplyRule;

// LAN: one receive keeps at most 32 bytes, waiting up to 3.5 s for it.
inline constexpr int kLanReplyLimit = 32;
inline constexpr Millis kLanReceiveTimeout{3500};
// RS-232: one read takes at most 128 bytes; when nothing waits it asks once more after 150 ms.
inline constexpr int kSerialReadLimit = 128;
inline constexpr Millis kSerialReadRetry{150};
// RS-232, all rows: the pause after each row sent to.
inline constexpr Millis kSerialRowPause{300};

ReplyRule Rule(Millis pause, Millis timeout, int limit, Millis retry = Millis{0}, Millis preWrite = Millis{0},
               bool drainFirst = true);

// LAN send: the frame, 250 ms, close; nothing read. With an acknowledge awaited (dravikctl):
// one receive after the pause.
ReplyRule LanSend(bool awaitAcknowledge = false);
// LAN query: one receive right after the frame.
ReplyRule LanQuery();
// LAN read-then-set: the query, 300 ms, one receive; the set frame, one receive.
ReplyRule LanReadThenSetQuery();
ReplyRule LanReadThenSetSet();
// Wall page, LAN: the frame, 100 ms, one receive (not decoded).
ReplyRule LanWall();

// RS-232 send: drain, write, 450 ms, one read.
ReplyRule SerialSend();
// RS-232 query: drain, write, 800 ms, read; nothing: 500 ms more, read again.
ReplyRule SerialQuery();
// RS-232 read-then-set: drain, 200 ms, the query, 1200 ms, read (1000 ms more when nothing);
// the set frame: drain, 200 ms, write, 450 ms, one read.
ReplyRule SerialReadThenSetQuery();
ReplyRule SerialReadThenSetSet();
// Wall page, RS-232: one write; no drain, wait or read.
ReplyRule SerialWall();

// Wall page, colour gains. LAN: the request and one receive right after it; the set frame
// alone, nothing read. RS-232: drain (the wall commands' acknowledges wait unread in the
// input queue and must not pass for the gain answer), write, read after 1000 ms and once
// more 500 ms later; the set frame as a wall write.
ReplyRule LanGainRead();
ReplyRule LanGainSet();
ReplyRule SerialGainRead();
ReplyRule SerialGainSet();

// The identity queries on an RS-232 line (the Control page's ID search): drain, write,
// read after 500 ms and once more 200 ms later.
ReplyRule SerialIdentity();

// What the reply bytes are: no reply, a reply frame (Replied), its acknowledge status
// (Nack, Nav), or a fault of the frame (wrong header, short, bad checksum). Bytes past the
// frame's own length (a reply longer than announced) are ignored.
Outcome ClassifyReply(std::span<const protocol::Byte> reply);

// The outcome of a link failure.
Outcome OutcomeOf(transport::LinkError error);

}  // namespace dravik::flows::rules

// --- RS-232 monitor ID search and monitor check -------------------------------------------
namespace dravik::flows::rules {

// Both pages' waits: the "Search" reads after 500 ms (200 ms more when nothing came; the
// wall page 300 ms), the check after 600 ms (the wall page 700 ms), then 500 ms more; the
// check over all rows pauses 100 ms between rows (the wall page 150 ms).
inline constexpr Millis kSearchFirstWait{500};
inline constexpr Millis kSearchSecondWait{200};
inline constexpr Millis kWallSearchSecondWait{300};
inline constexpr Millis kCheckFirstWait{600};
inline constexpr Millis kWallCheckFirstWait{700};
inline constexpr Millis kCheckSecondWait{500};
inline constexpr Millis kCheckPause{100};
inline constexpr Millis kWallCheckPause{150};
// A "Search" reply carries text when its byte 4 is above this (the wall page: 4); a check
// reply always under 4.
inline constexpr int kSearchTextLimit = 5;
inline constexpr int kWallSearchTextLimit = 4;
inline constexpr int kCheckTextLimit = 4;

// Drain, write the identity query, `first`, read; nothing: `second` more, read again.
ReplyRule SerialIdentity(Millis first, Millis second);

}  // namespace dravik::flows::rules
