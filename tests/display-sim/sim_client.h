// The tool's side of the wire, for tests: a TCP exchange and a raw serial port.
#pragma once

#include "protocol/frame.h"

#include <chrono>
#include <string>

namespace dravik::sim::testing {

using protocol::Bytes;
using namespace std::chrono_literals;

// Bytes from hex text ("A6 01 00 ..."); the test fails on bad text.
Bytes Hex(const std::string& text);
// A request frame for `id`, checksum computed: Request(0x2F, {}, 1).
Bytes Request(protocol::Byte command, Bytes data, protocol::Byte id = 1);

// Reads one reply: stops when byte 4 says it is complete, at EOF or after `wait`. Bytes
// read past that reply stay in `stash` for the next call.
Bytes ReadReply(int fd, Bytes& stash, std::chrono::milliseconds wait);

class TcpClient {
public:
    ~TcpClient();
    bool connect(const std::string& address, int port = 5000);
    bool send(const Bytes& bytes);
    Bytes reply(std::chrono::milliseconds wait = 3000ms) { return ReadReply(fd_, stash_, wait); }
    // True when the display closed the connection (EOF or reset) within `wait`.
    bool closedByPeer(std::chrono::milliseconds wait);
    void close();

private:
    int fd_ = -1;
    Bytes stash_;
};

// One connection, one frame, one reply (as the tool's queries do).
Bytes Exchange(const std::string& address, const Bytes& request, std::chrono::milliseconds wait = 3000ms);

class SerialPort {
public:
    ~SerialPort();
    bool open(const std::string& path);
    bool send(const Bytes& bytes);
    Bytes reply(std::chrono::milliseconds wait = 3000ms) { return ReadReply(fd_, stash_, wait); }
    void close();

private:
    int fd_ = -1;
    Bytes stash_;
};

}  // namespace dravik::sim::testing
