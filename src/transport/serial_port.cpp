#include "transport/serial_port.h"

#include "transport/texts.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <mutex>
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

bool IsPseudoTerminal(const QString& canonicalPath) {
    static const QRegularExpression pts(QStringLiteral("^/dev/pts/[0-9]+$"));
    return pts.match(canonicalPath).hasMatch();
}

bool IsListedSerialDevice(const QString& canonicalPath) {
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (QFileInfo(info.systemLocation()).canonicalFilePath() == canonicalPath) return true;
    }
    return false;
}

}  // namespace

QString OpenResultText(OpenResult result) {
    switch (result) {
        case OpenResult::Opened: return QString();
        case OpenResult::NoSuchPort: return texts::kOpenComError;
        case OpenResult::OpeningError: return texts::kOpeningError;
        case OpenResult::TimeoutsError: return texts::kTimeoutsError;
        case OpenResult::GetStateError: return texts::kGetStateError;
        case OpenResult::SetStateError: return texts::kSetStateError;
    }
    return texts::kOpeningError;
}

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() { close(); }

bool SerialPort::NamesPort(const QString& portText) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z][A-Za-z0-9_.-]*$"));
    static const QRegularExpression path(QStringLiteral("^/dev/[A-Za-z0-9_./-]+$"));
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

QStringList SerialPort::SystemPortNames() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) names << info.portName();
    return names;
}

bool SerialPort::Probe(const QString& portText) {
    SerialPort port;
    return port.open(portText) == OpenResult::Opened;
}

OpenResult SerialPort::open(const QString& portText) {
    close();
    if (!NamesPort(portText)) return OpenResult::NoSuchPort;
    const QString canonical = QFileInfo(DevicePathFor(portText)).canonicalFilePath();
    if (canonical.isEmpty()) return OpenResult::OpeningError;
    if (!IsPseudoTerminal(canonical) && !IsListedSerialDevice(canonical)) return OpenResult::OpeningError;
    if (!Hold(canonical)) return OpenResult::OpeningError;

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(canonical);
    port->setBaudRate(kBaudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        const auto error = port->error();
        Release(canonical);
        switch (error) {
            case QSerialPort::DeviceNotFoundError:
            case QSerialPort::PermissionError:
            case QSerialPort::OpenError:
                return OpenResult::OpeningError;
            default:
                // Opened, but the line settings could not be read from the device.
                return OpenResult::GetStateError;
        }
    }
    const bool applied = port->setBaudRate(kBaudRate) && port->setDataBits(QSerialPort::Data8) &&
                         port->setParity(QSerialPort::NoParity) &&
                         port->setStopBits(QSerialPort::OneStop) &&
                         port->setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        port->close();
        Release(canonical);
        return OpenResult::SetStateError;
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

qint64 SerialPort::bytesWaiting() {
    if (!isOpen()) return 0;
    // Take in what the driver has, up to the queue size; the rest stays in the driver.
    for (int i = 0; i < 8 && port_->bytesAvailable() < kQueueSize && port_->waitForReadyRead(0); ++i) {
    }
    port_->clearError();
    return port_->bytesAvailable();
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!isOpen() || maxBytes <= 0) return {};
    return port_->read(maxBytes);
}

bool SerialPort::write(const QByteArray& bytes) {
    if (!isOpen()) return false;
    port_->clearError();
    if (bytes.isEmpty()) return true;
    if (port_->write(bytes) != bytes.size()) {
        port_->clear(QSerialPort::Output);
        return false;
    }
    // About 1 ms per byte at 9600 baud; a line that takes far longer is stuck.
    QDeadlineTimer deadline(1000 + 4 * bytes.size());
    while (port_->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (port_->bytesToWrite() > 0) {
        port_->clear(QSerialPort::Output);
        port_->clearError();
        return false;
    }
    return true;
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
