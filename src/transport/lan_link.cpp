#include "transport/lan_link.h"

#include "transport/waiter.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <netdb.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dravik::transport {

namespace {

LinkStatus Failure(LinkError error, std::string text) { return LinkStatus{error, std::move(text)}; }

LinkError FromSocketError(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError: return LinkError::ConnectRefused;
        case QAbstractSocket::SocketTimeoutError: return LinkError::ConnectTimedOut;
        case QAbstractSocket::HostNotFoundError: return LinkError::NameNotResolved;
        case QAbstractSocket::NetworkError: return LinkError::NoRoute;
        case QAbstractSocket::SocketAccessError: return LinkError::PermissionDenied;
        case QAbstractSocket::RemoteHostClosedError: return LinkError::PeerClosed;
        default: return LinkError::Other;
    }
}

LinkStatus SocketFailure(const QTcpSocket& socket) {
    return Failure(FromSocketError(socket.error()), socket.errorString().toStdString());
}

int MsLeft(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 1 << 30));
}

// With a way to cancel, waits go in slices of at most 50 ms so that a cancel is seen soon.
int SliceMs(const QDeadlineTimer& deadline, const std::function<bool()>& cancelled) {
    const int left = MsLeft(deadline);
    return cancelled ? std::min(left, 50) : left;
}

bool Cancelled(const std::function<bool()>& cancelled) { return cancelled && cancelled(); }

// The connect to its deadline. Without a way to cancel, one blocking wait. With one, the wait
// runs in a local event loop that looks at the cancel every 50 ms: waitForConnected cannot be
// sliced, because a slice that runs out abandons the connect (the socket is reset), so a
// display that took longer than one slice to accept would be reported as not answering.
bool WaitConnected(QTcpSocket& socket, const QDeadlineTimer& deadline, const std::function<bool()>& cancelled) {
    if (!cancelled) return socket.waitForConnected(MsLeft(deadline));
    if (socket.state() == QAbstractSocket::ConnectedState) return true;
    QEventLoop loop;
    QObject::connect(&socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (deadline.hasExpired() || cancelled()) loop.quit();
    });
    tick.start(std::min(50, std::max(1, MsLeft(deadline))));
    while (socket.state() != QAbstractSocket::ConnectedState &&
           socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired() && !cancelled()) {
        loop.exec();
    }
    return socket.state() == QAbstractSocket::ConnectedState;
}

}  // namespace

ResolvedAddress SystemResolve(const std::string& name, Millis bound) {
    // The lookup thread may outlive this call when the bound runs out first; it owns its
    // share of the state and drops the answer.
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        ResolvedAddress result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, name] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        ResolvedAddress result;
        const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
        if (rc == 0 && list && list->ai_addr && list->ai_addr->sa_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) result.ipv4 = text;
        }
        if (result.ipv4.empty()) {
            result.status = Failure(LinkError::NameNotResolved,
                                    rc != 0 ? ::gai_strerror(rc) : "no IPv4 address for " + name);
        }
        if (list) ::freeaddrinfo(list);
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->finished = true;
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, bound, [&] { return shared->finished; })) {
        return {Failure(LinkError::ConnectTimedOut, "host name lookup timed out"), {}};
    }
    return shared->result;
}


LanLink::LanLink(LanLinkOptions options) : options_(std::move(options)) {}

LanLink::~LanLink() { close(); }

bool LanLink::isOpen() const { return socket_ && socket_->state() == QAbstractSocket::ConnectedState; }

LinkStatus LanLink::open(const std::string& addressText) {
    close();
    address_ = addressText;
    const QDeadlineTimer deadline(options_.connectBound, Qt::PreciseTimer);
    LinkStatus status;
    const QString text = QString::fromStdString(addressText).trimmed();
    QHostAddress address;
    if (text.isEmpty()) {
        status = Failure(LinkError::NameNotResolved, "no address");
    } else if (address.setAddress(text)) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol) {
            status = Failure(LinkError::NameNotResolved, "not an IPv4 address: " + text.toStdString());
        }
    } else if (!options_.resolve) {
        status = Failure(LinkError::NameNotResolved, "no host name lookup");
    } else {
        const ResolvedAddress resolved = options_.resolve(text.toStdString(), Millis{MsLeft(deadline)});
        status = resolved.status;
        if (status.ok() && !address.setAddress(QString::fromStdString(resolved.ipv4))) {
            status = Failure(LinkError::NameNotResolved, "lookup gave no IPv4 address");
        }
    }

    if (status.ok()) {
        socket_ = std::make_unique<QTcpSocket>();
        socket_->connectToHost(address, options_.port);
        const bool connected = WaitConnected(*socket_, deadline, options_.cancelled);
        if (!connected) {
            status = SocketFailure(*socket_);
            // A connect still pending when the bound ran out reports as a socket time-out.
            if (status.error == LinkError::Other && deadline.hasExpired()) status.error = LinkError::ConnectTimedOut;
            socket_->abort();
            socket_.reset();
        }
    }
    if (observer()) observer()->linkOpened(address_, status);
    return status;
}

ExchangeResult LanLink::exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) {
    ExchangeResult result;
    if (!socket_) {
        result.status = Failure(LinkError::PortClosed, "not connected");
        return result;
    }
    if (rule.drainFirst) {
        // Bytes left over from an earlier answer (the tail of a reply longer than one
        // receive keeps) must not pass for the answer to this frame.
        socket_->readAll();
        for (int i = 0; i < 16 && socket_->waitForReadyRead(0); ++i) socket_->readAll();
    }
    WaitFor(rule.preWrite);
    if (observer()) observer()->frameSent(address_, frame);
    if (!isOpen()) {
        result.status = Failure(LinkError::PeerClosed, socket_->errorString().toStdString());
        return result;
    }
    if (!frame.empty()) {
        const auto size = static_cast<qint64>(frame.size());
        if (socket_->write(reinterpret_cast<const char*>(frame.data()), size) != size) {
            result.status = Failure(LinkError::WriteFailed, socket_->errorString().toStdString());
            return result;
        }
        const QDeadlineTimer deadline(options_.writeBound, Qt::PreciseTimer);
        while (socket_->bytesToWrite() > 0 && !deadline.hasExpired()) {
            if (!socket_->waitForBytesWritten(MsLeft(deadline))) break;
        }
        if (socket_->bytesToWrite() > 0) {
            result.status = Failure(LinkError::WriteFailed, socket_->errorString().toStdString());
            return result;
        }
    }
    result.written = true;
    WaitFor(rule.pause);
    if (rule.timeout <= Millis{0}) return result;

    if (socket_->bytesAvailable() == 0) {
        const QDeadlineTimer deadline(rule.timeout, Qt::PreciseTimer);
        // waitForReadyRead can return without data (a wake-up with nothing to read); look
        // again until the deadline.
        while (socket_->bytesAvailable() == 0 && !deadline.hasExpired() && isOpen() &&
               !Cancelled(options_.cancelled)) {
            if (!socket_->waitForReadyRead(SliceMs(deadline, options_.cancelled)) &&
                socket_->state() != QAbstractSocket::ConnectedState) {
                break;
            }
        }
    }
    const int limit = std::max(0, rule.limit);
    const QByteArray data = socket_->read(limit);
    result.reply.assign(data.begin(), data.end());
    if (result.reply.empty() && socket_->error() == QAbstractSocket::RemoteHostClosedError) {
        result.status = Failure(LinkError::PeerClosed, socket_->errorString().toStdString());
    }
    if (!result.reply.empty() && observer()) observer()->replyReceived(address_, result.reply);
    return result;
}

void LanLink::close() {
    if (!socket_) return;
    socket_->abort();
    socket_.reset();
}


LinkStatus DiagnoseConnectFailure(const std::string& address, Millis elapsed, quint16 port, Millis bound) {
    constexpr Millis kDiagnosisConnect{1000};
    const QString name = QString::fromStdString(address).trimmed();
    QHostAddress literal;
    // A name that does not resolve fails at once whatever it took before, so only a literal
    // address counts as timed out by its time alone.
    if (literal.setAddress(name) && elapsed >= bound - Millis(100)) {
        return Failure(LinkError::ConnectTimedOut, "no connection within " + std::to_string(bound.count() / 1000) + " s");
    }
    LanLinkOptions options;
    options.port = port;
    options.connectBound = std::min(kDiagnosisConnect, bound);
    LanLink link(options);
    LinkStatus st = link.open(name.toStdString());
    link.close();
    if (st.ok()) return Failure(LinkError::ConnectTimedOut, "no connection in time");
    return st;
}

long RaiseOpenFileLimit(long wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    const rlim_t need = static_cast<rlim_t>(std::max(0L, wanted));
    if (limit.rlim_cur < need) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? need : std::min(need, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(limit.rlim_cur);
}

}  // namespace dravik::transport
