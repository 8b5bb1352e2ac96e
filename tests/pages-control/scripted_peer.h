// A LAN peer on ADDRESS:5000 that answers each request frame with scripted bytes, for the
// reply sizes the simulated display never sends (a data reply cut to 12 bytes). It keeps the
// frames it received per connection. Runs on its own thread; POSIX sockets only.
#pragma once

#include "protocol/frame.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dravik::pages::testing {

class ScriptedPeer {
public:
    // The bytes to answer a frame with; empty: no answer.
    using Script = std::function<protocol::Bytes(const protocol::Bytes& frame)>;

    ScriptedPeer(std::string address, Script script) : address_(std::move(address)), script_(std::move(script)) {}
    ~ScriptedPeer() { stop(); }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    bool start() {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (listen_ < 0) return false;
        const int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(5000);
        if (::inet_pton(AF_INET, address_.c_str(), &addr.sin_addr) != 1) return false;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
        if (::listen(listen_, 4) != 0) return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    void stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
        if (listen_ >= 0) ::close(listen_);
        listen_ = -1;
    }

    // Per connection, the frames received as "%02X " text without the trailing blank.
    std::vector<std::vector<std::string>> connections() const {
        std::lock_guard lock(mutex_);
        return connections_;
    }

private:
    static bool Wait(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }

    void run() {
        while (!stopping_) {
            if (!Wait(listen_, 50)) continue;
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0) continue;
            {
                std::lock_guard lock(mutex_);
                connections_.emplace_back();
            }
            serve(fd);
            ::close(fd);
        }
    }

    void serve(int fd) {
        protocol::Bytes buffer;
        while (!stopping_) {
            if (!Wait(fd, 50)) continue;
            protocol::Byte chunk[256];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            buffer.insert(buffer.end(), chunk, chunk + n);
            while (buffer.size() >= 6 && buffer.size() >= std::size_t{buffer[5]} + 6) {
                const std::size_t size = std::size_t{buffer[5]} + 6;
                const protocol::Bytes frame(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
                buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
                std::string hex = protocol::HexSpaced(frame);
                if (!hex.empty()) hex.pop_back();
                {
                    std::lock_guard lock(mutex_);
                    connections_.back().push_back(hex);
                }
                const protocol::Bytes reply = script_(frame);
                if (!reply.empty()) ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
        }
    }

    std::string address_;
    Script script_;
    int listen_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> connections_;
};

}  // namespace dravik::pages::testing
