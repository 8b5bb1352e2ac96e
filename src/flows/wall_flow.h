// The wall page's exchanges that both the page and dravikctl run: the colour-gain request
// (its waits, drain and single read) and the options of the wall senders. Knows no widget.
#pragma once

#include "protocol/frame.h"
#include "transport/exchange_context.h"
#include "transport/lan.h"
#include "transport/send_flow.h"
#include "transport/serial_port.h"

#include <QByteArray>

#include <functional>

namespace dravik::flows {

// The gain answer on the RS-232 line: first read 1 s after the request, once more 500 ms
// later when nothing had come.
inline constexpr int kGainSerialFirstWaitMs = 1000;
inline constexpr int kGainSerialSecondWaitMs = 500;

using WaitFn = std::function<void(int ms)>;

// The addressed gain request on an open line: drain (the wall commands write without
// reading, so their acknowledges wait in the input queue and must not pass for this
// answer), write, then the two reads above. `written` runs right after the write (the page
// shows its status there). Returns the count read into `received`, 0 for none.
int ExchangeGainRequestSerial(transport::SerialPort& port, const protocol::Frame& frame, QByteArray& received,
                              const WaitFn& wait, const std::function<void()>& written = {});

// The addressed gain request on a connected link: one write, one bounded receive of at most
// 32 bytes into `reply`; a failed write leaves `reply` empty.
void ExchangeGainRequestLan(transport::LanLink& link, const protocol::Frame& frame, transport::ReplyBuffer& reply);

// The wall senders: over the LAN a 100 ms pause and one bounded read per row, over RS-232
// one write per row with no drain and no read; RS-232 loops stop when the port closes and
// pump for 300 ms after each row. A caller may wrap lanSend and serialSend.
transport::FlowOptions WallFlowOptions(bool clearTx, bool ignoreSelection);

}  // namespace dravik::flows
