// The RS-232 link over the page's COM port: one line shared by every monitor ID, so open()
// only checks that the line is open and the frame's byte 1 picks the display.
#pragma once

#include "transport/link.h"
#include "transport/serial_port.h"
#include "transport/waiter.h"

#include <string>

namespace dravik::transport {

// The one RS-232 line all monitor IDs share. Its exchange is what SendSerial, QuerySerial and
// ReadSerial were; the frame's monitor ID tells the displays apart.
class SerialLink final : public Link {
public:
    // The port stays the page's: opened by "Open", closed by "Close" or by a device that
    // vanished under it. `clock` is what the rule's waits sleep on.
    explicit SerialLink(SerialPort& port, Clock& clock = RealClock());

    // PortClosed when the line is not open; the address is not used.
    LinkStatus open(const std::string& address) override;
    // Drain (what waits, or after rule.drainWait what came by then), rule.preWrite, write,
    // rule.pause, read: what is waiting, up to rule.limit bytes; when nothing is, wait
    // rule.timeout and look once more; when still nothing and rule.retry > 0, wait retry
    // and read again the same way. The bytes beyond the limit stay for the next drain.
    // PortClosed when the line is not open (nothing written); a device that vanished
    // gives WriteFailed (during the write) or PortClosed (after it) and leaves the port
    // closed.
    ExchangeResult exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) override;
    // Nothing to do: the line outlives the exchanges.
    void close() override {}

private:
    // What `where` reads in the observer's calls: the device path.
    std::string where() const;
    // The look of one read: what waits, else after `wait` once more. Empty when nothing.
    protocol::Bytes readOnce(Millis wait, int limit);
    LinkStatus closedStatus() const;

    SerialPort& port_;
    Clock& clock_;
    std::string where_;
};

}  // namespace dravik::transport
