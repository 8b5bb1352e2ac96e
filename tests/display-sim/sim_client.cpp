#include "sim_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace dravik::sim::testing {

using Clock = std::chrono::steady_clock;

Bytes Hex(const std::string& text) {
    Bytes out;
    EXPECT_TRUE(protocol::ParseHex(text, out)) << text;
    return out;
}

Bytes Request(protocol::Byte command, Bytes data, protocol::Byte id) {
    protocol::Frame f = protocol::Frame::Build(command, std::span<const protocol::Byte>(data));
    f.SetMonitorId(id);
    return f.bytes();
}

Bytes ReadReply(int fd, Bytes& stash, std::chrono::milliseconds wait) {
    Bytes got = std::move(stash);
    stash.clear();
    const auto deadline = Clock::now() + wait;
    while (fd >= 0) {
        const std::size_t whole = got.size() >= 5 ? static_cast<std::size_t>(got[4]) + 5 : 0;
        if (whole != 0 && got.size() >= whole) {
            stash.assign(got.begin() + static_cast<std::ptrdiff_t>(whole), got.end());
            got.resize(whole);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        protocol::Byte buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.insert(got.end(), buf, buf + n);
    }
    return got;
}

TcpClient::~TcpClient() { close(); }

bool TcpClient::connect(const std::string& address, int port) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool TcpClient::send(const Bytes& bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool TcpClient::closedByPeer(std::chrono::milliseconds wait) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
    char c;
    return ::recv(fd_, &c, 1, 0) <= 0;
}

void TcpClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    stash_.clear();
}

Bytes Exchange(const std::string& address, const Bytes& request, std::chrono::milliseconds wait) {
    TcpClient c;
    if (!c.connect(address)) {
        ADD_FAILURE() << "cannot connect to " << address;
        return {};
    }
    EXPECT_TRUE(c.send(request));
    return c.reply(wait);
}

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return false;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
    ::tcflush(fd_, TCIOFLUSH);
    return true;
}

bool SerialPort::send(const Bytes& bytes) {
    return fd_ >= 0 && ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void SerialPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    stash_.clear();
}

}  // namespace dravik::sim::testing
