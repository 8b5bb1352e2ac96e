// The exporter as its users run it: the built binary on a loopback address, asked over HTTP.
#pragma once


#include <QProcess>
#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace dravik::exporter::testing {

struct HttpReply {
    int status = 0;  // 0: no answer
    std::string body;
};

// One GET over a fresh connection; `timeout` bounds the whole exchange.
inline HttpReply HttpGet(const std::string& address, std::uint16_t port, const std::string& path,
                         const std::map<std::string, std::string>& headers = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    HttpReply reply;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return reply;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return reply;
    }
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + address + "\r\nConnection: close\r\n";
    for (const auto& [k, v] : headers) request += k + ": " + v + "\r\n";
    request += "\r\n";
    [[maybe_unused]] const auto sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string data;
    const auto until = std::chrono::steady_clock::now() + timeout;
    char buf[8192];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        // Qt answers with a Content-Length: stop once the body is whole.
        const auto head = data.find("\r\n\r\n");
        if (head != std::string::npos) {
            std::smatch m;
            const std::string h = data.substr(0, head);
            static const std::regex length("[Cc]ontent-[Ll]ength: *([0-9]+)");
            if (std::regex_search(h, m, length) && data.size() >= head + 4 + std::stoul(m[1])) break;
        }
    }
    ::close(fd);
    if (data.rfind("HTTP/1.1 ", 0) == 0) reply.status = std::atoi(data.c_str() + 9);
    const auto head = data.find("\r\n\r\n");
    if (head != std::string::npos) reply.body = data.substr(head + 4);
    return reply;
}

// The value of a series in exposition text ("name{labels}"); empty when it is not there.
inline std::optional<double> Sample(const std::string& text, const std::string& series) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(series + " ", 0) == 0) return std::stod(line.substr(series.size() + 1));
    }
    return std::nullopt;
}

// The exporter binary on ADDRESS:PORT until destroyed.
class ExporterProcess {
public:
    ExporterProcess(const std::string& address, std::uint16_t port, QStringList extra = {})
        : address_(address), port_(port) {
        QStringList args{QStringLiteral("--web.listen-address=%1:%2").arg(QString::fromStdString(address)).arg(port)};
        args << extra;
        process_.setProgram(QStringLiteral(DRAVIK_EXPORTER_EXE));
        process_.setArguments(args);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start();
        process_.waitForStarted();
        // Up once it answers its health check.
        for (int i = 0; i < 100 && process_.state() == QProcess::Running; ++i) {
            if (HttpGet(address, port, "/-/healthy").status == 200) {
                up_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~ExporterProcess() {
        process_.terminate();
        if (!process_.waitForFinished(10000)) process_.kill();
        process_.waitForFinished(2000);
    }
    bool up() const { return up_; }
    HttpReply get(const std::string& path, const std::map<std::string, std::string>& headers = {}) const {
        return HttpGet(address_, port_, path, headers);
    }
    QProcess& process() { return process_; }

private:
    std::string address_;
    std::uint16_t port_;
    QProcess process_;
    bool up_ = false;
};

}  // namespace dravik::exporter::testing
