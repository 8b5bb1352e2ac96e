#include "transport/serial_port.h"


#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <set>

namespace dravik::transport {

namespace {

// Devices held open by any SerialPort of this process. The two pages each have a port; the
// driver would let the same process (or root) open a device twice.
std::mutex heldMutex;
std::set<QString> held;

bool Hold(const QString& path) {
    std::lock_guard lock(heldMutex);
    return held.insert(path).second;
}

void Release(const QString& path) {
    std::lock_guard lock(heldMutex);
    held.erase(path);
}

bool IsPseudoTerminalPath(const QString& canonicalPath) {
    static const QRegularExpression pts(QStringLiteral("^/dev/pts/[0-9]+$"));
    return pts.match(canonicalPath).hasMatch();
}

// One enumeration shared by every caller until refreshed: the enumeration walks
// /sys/class/tty and tries devices, far too costly to repeat per port box and per open.
struct PortCache {
    std::mutex mutex;
    std::optional<QList<QSerialPortInfo>> ports;
};

PortCache& Cache() {
    static PortCache cache;
    return cache;
}

QList<QSerialPortInfo> CachedPorts(bool refresh) {
    PortCache& cache = Cache();
    std::lock_guard lock(cache.mutex);
    if (refresh || !cache.ports) cache.ports = QSerialPortInfo::availablePorts();
    return *cache.ports;
}

bool IsListedSerialDevice(const QString& canonicalPath) {
    for (const QSerialPortInfo& info : CachedPorts(false)) {
        if (QFileInfo(info.systemLocation()).canonicalFilePath() == canonicalPath) return true;
    }
    return false;
}

QStringList NamesOf(const QList<QSerialPortInfo>& ports) {
    QStringList names;
    for (const QSerialPortInfo& info : ports) names << info.portName();
    return names;
}

}  // namespace

PortPathFacts ProbePortPath(const QString& path) {
    PortPathFacts facts;
    facts.canonical = QFileInfo(path).canonicalFilePath();
    if (facts.canonical.isEmpty()) return facts;
    const QByteArray native = QFile::encodeName(facts.canonical);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return facts;
    facts.charDevice = S_ISCHR(st.st_mode);
    if (!facts.charDevice) return facts;
    const QString name = QFileInfo(facts.canonical).fileName();
    // Classified by the kernel's device tables, not by opening: opening some character
    // devices has effects (a watchdog starts counting).
    const QString subsystem = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                            .arg(major(st.st_rdev))
                                            .arg(minor(st.st_rdev)))
                                  .canonicalFilePath();
    facts.pseudoTerminal = IsPseudoTerminalPath(facts.canonical);
    facts.terminal = facts.pseudoTerminal || subsystem.endsWith(QStringLiteral("/class/tty"));
    facts.serialLine = facts.terminal && !facts.pseudoTerminal &&
                       (QFileInfo::exists(QStringLiteral("/sys/class/tty/") + name + QStringLiteral("/device")) ||
                        IsListedSerialDevice(facts.canonical));
    facts.readWrite = ::access(native.constData(), R_OK | W_OK) == 0;
    return facts;
}

OpenReason ClassifyPortPath(const PortPathFacts& facts) {
    if (facts.canonical.isEmpty()) return OpenReason::Missing;
    if (!facts.charDevice) return OpenReason::NotATty;
    if (!facts.pseudoTerminal && !facts.serialLine) {
        return facts.terminal ? OpenReason::NotASerialLine : OpenReason::NotATty;
    }
    if (!facts.readWrite) return OpenReason::PermissionDenied;
    return OpenReason::None;
}

QString OpenReasonText(OpenReason reason, const QString& path, const QString& systemText) {
    QString text;
    switch (reason) {
        case OpenReason::None: return QString();
        case OpenReason::NotAPortName: text = QStringLiteral("not a serial port name"); break;
        case OpenReason::Missing: text = QStringLiteral("no such device"); break;
        case OpenReason::NotATty: text = QStringLiteral("not a serial device (no tty)"); break;
        case OpenReason::NotASerialLine: text = QStringLiteral("a terminal but not a serial line"); break;
        case OpenReason::PermissionDenied:
            text = QStringLiteral("permission denied; the user must be in group dialout");
            break;
        case OpenReason::InUse: text = QStringLiteral("already open in this program"); break;
        case OpenReason::DeviceError: text = QStringLiteral("the device did not open"); break;
    }
    if (!systemText.isEmpty()) text += QStringLiteral(" (") + systemText + QStringLiteral(")");
    return path.isEmpty() ? text : path + QStringLiteral(": ") + text;
}

QStringList AvailablePorts() { return NamesOf(CachedPorts(false)); }

QStringList RefreshPorts() { return NamesOf(CachedPorts(true)); }

bool SerialPort::HeldElsewhere(const QString& device, OpenReason reason) {
    if (reason == OpenReason::InUse) return true;
    if (reason != OpenReason::PermissionDenied && reason != OpenReason::DeviceError) return false;
    const QByteArray path = QFile::encodeName(device);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    ::close(fd);
    return true;
}

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() { close(); }

bool SerialPort::NamesPort(const QString& portText) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z][A-Za-z0-9_.-]*$"));
    // Any absolute path (the stable /dev/serial/by-id/ and by-path/ names hold ':' and
    // more); what it ends at is checked before it is opened.
    static const QRegularExpression path(QStringLiteral("^/[A-Za-z0-9_./:+@=,~-]+$"));
    const QString text = portText.trimmed();
    if (text.contains(QStringLiteral(".."))) return false;
    return name.match(text).hasMatch() || path.match(text).hasMatch();
}

QString SerialPort::DevicePathFor(const QString& portText) {
    const QString text = portText.trimmed();
    return text.startsWith(QLatin1Char('/')) ? text : QStringLiteral("/dev/") + text;
}

int SerialPort::PortNumberOf(const QString& portText) {
    static const QRegularExpression digits(QStringLiteral("([0-9]{1,6})$"));
    const auto match = digits.match(portText.trimmed());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QStringList SerialPort::SystemPortNames() { return RefreshPorts(); }

bool SerialPort::Probe(const QString& portText) {
    SerialPort port;
    return port.open(portText) == OpenResult::Opened;
}

OpenResult SerialPort::refuse(OpenResult result, OpenReason reason, const QString& path, const QString& systemText) {
    reason_ = reason;
    reasonText_ = OpenReasonText(reason, path, systemText);
    return result;
}

OpenResult SerialPort::open(const QString& portText) {
    close();
    lost_ = false;
    errorText_.clear();
    reason_ = OpenReason::None;
    reasonText_.clear();
    const QString text = portText.trimmed();
    if (!NamesPort(portText)) return refuse(OpenResult::NoSuchPort, OpenReason::NotAPortName, text);
    const QString typed = DevicePathFor(portText);
    const PortPathFacts facts = probe_ ? probe_(typed) : ProbePortPath(typed);
    if (const OpenReason why = ClassifyPortPath(facts); why != OpenReason::None) {
        return refuse(OpenResult::OpeningError, why, typed);
    }
    const QString canonical = facts.canonical;
    if (!Hold(canonical)) return refuse(OpenResult::OpeningError, OpenReason::InUse, canonical);

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(canonical);
    port->setBaudRate(kBaudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        const auto error = port->error();
        const QString systemText = port->errorString();
        Release(canonical);
        switch (error) {
            case QSerialPort::DeviceNotFoundError:
                return refuse(OpenResult::OpeningError, OpenReason::Missing, canonical, systemText);
            case QSerialPort::PermissionError:
                return refuse(OpenResult::OpeningError, OpenReason::PermissionDenied, canonical, systemText);
            case QSerialPort::OpenError:
                return refuse(OpenResult::OpeningError, OpenReason::DeviceError, canonical, systemText);
            default:
                // Opened, but the line settings could not be read from the device.
                return refuse(OpenResult::GetStateError, OpenReason::DeviceError, canonical, systemText);
        }
    }
    const bool applied = port->setBaudRate(kBaudRate) && port->setDataBits(QSerialPort::Data8) &&
                         port->setParity(QSerialPort::NoParity) &&
                         port->setStopBits(QSerialPort::OneStop) &&
                         port->setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        const QString systemText = port->errorString();
        port->close();
        Release(canonical);
        return refuse(OpenResult::SetStateError, OpenReason::DeviceError, canonical, systemText);
    }
    port->setReadBufferSize(kQueueSize);
    port->clear(QSerialPort::AllDirections);
    port->clearError();
    port_ = std::move(port);
    text_ = portText.trimmed();
    path_ = canonical;
    return OpenResult::Opened;
}

void SerialPort::close() {
    if (!port_) return;
    port_->close();
    port_.reset();
    Release(path_);
    text_.clear();
    path_.clear();
}

bool SerialPort::isOpen() const { return port_ && port_->isOpen(); }

int SerialPort::portNumber() const { return isOpen() ? PortNumberOf(path_) : 0; }

bool SerialPort::checkLost() {
    if (!port_ || port_->error() != QSerialPort::ResourceError) return false;
    errorText_ = port_->errorString();
    close();
    lost_ = true;
    return true;
}

qint64 SerialPort::bytesWaiting() {
    if (!isOpen()) return 0;
    // Take in what the driver has, up to the queue size; the rest stays in the driver.
    for (int i = 0; i < 8 && port_->bytesAvailable() < kQueueSize && port_->waitForReadyRead(0); ++i) {
    }
    if (checkLost()) return 0;
    port_->clearError();
    return port_->bytesAvailable();
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!isOpen() || maxBytes <= 0) return {};
    QByteArray data = port_->read(maxBytes);
    checkLost();
    return data;
}

bool SerialPort::write(const QByteArray& bytes) {
    if (!isOpen()) return false;
    port_->clearError();
    if (bytes.isEmpty()) return true;
    if (port_->write(bytes) != bytes.size()) {
        if (checkLost()) return false;
        errorText_ = port_->errorString();
        port_->clear(QSerialPort::Output);
        return false;
    }
    // About 1 ms per byte at 9600 baud; a line that takes far longer is stuck.
    QDeadlineTimer deadline(1000 + 4 * bytes.size());
    while (port_->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (port_->bytesToWrite() > 0) {
        if (checkLost()) return false;
        errorText_ = port_->errorString();
        port_->clear(QSerialPort::Output);
        port_->clearError();
        return false;
    }
    return !checkLost();
}

void SerialPort::purge() {
    if (isOpen()) port_->clear(QSerialPort::AllDirections);
}

void SerialPort::purgeInput() {
    if (isOpen()) port_->clear(QSerialPort::Input);
}

void SerialPort::clearError() {
    if (isOpen()) port_->clearError();
}

void SerialPort::moveToThread(QThread* thread) {
    if (port_ && thread) port_->moveToThread(thread);
}

}  // namespace dravik::transport
