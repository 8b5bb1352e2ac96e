// RS-232 exchanges over the page's COM port; the displays on the line are told apart by the
// monitor ID in column 0 of the row.
#pragma once

#include "protocol/frame.h"
#include "transport/exchange_context.h"
#include "transport/serial_port.h"

#include <QByteArray>

namespace dravik::transport {

// One read takes at most this many bytes.
inline constexpr int kSerialReadLimit = 128;

// Reads what has arrived: when nothing is waiting, sleeps 150 ms (no event processing) and
// asks once more. At most 128 bytes go into `received`; returns their number, 0 for none.
int ReadSerial(SerialPort& port, QByteArray& received);

// Writes all bytes; returns whether they went out.
bool WriteSerial(SerialPort& port, const QByteArray& bytes);
bool WriteSerial(SerialPort& port, const protocol::Frame& frame);

// Discards pending input before a frame goes out: one ReadSerial, then whatever is still
// waiting, so no earlier answer can pass for the reply to the next frame.
void DrainSerial(SerialPort& port);

// Addresses the frame buffer with the row's monitor ID, drains, writes, waits 450 ms and
// reads any reply. False only when the port is closed ("COM Port Closed "); true in LAN mode.
bool SendSerial(ExchangeContext& ctx, int row);

// As SendSerial, but waits 800 ms (and 500 ms more when nothing came) and hands the reply
// to the decoder. True when a reply came; false in LAN mode, with the port closed, or with
// no reply (" no receive Data from ID: <id> Monitor").
bool QuerySerial(ExchangeContext& ctx, int row);

// The query frame (if buildQuery builds one), its reply, then the set frame (if buildSet
// builds one). The set frame follows a query only when the reply's byte 4 is 5 or more.
// False only when the port is closed; true in LAN mode.
bool ReadThenSetSerial(ExchangeContext& ctx, int row, const FrameBuilder& buildQuery,
                       const FrameBuilder& buildSet);

// The wall page's per-row sender: ID from column 0 (outside 1..25 becomes 1), TX echo, one
// write; no drain, wait or read. False only when the port is closed; true in LAN mode.
bool SendSerialWall(ExchangeContext& ctx, int row);

}  // namespace dravik::transport
