// One COM port at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control, with the
// queue operations the RS-232 exchanges use: bytes waiting, read, write, purge.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSerialPort;
class QThread;

namespace dravik::transport {

enum class OpenResult {
    Opened,
    NoSuchPort,     // the text names no port: " OPEN COM ERROR !"
    OpeningError,   // the device cannot be opened: "COM Port Opening Error "
    TimeoutsError,  // "COM Port SetCommTimeouts Error " (time-outs are per call here; unused)
    GetStateError,  // the line settings cannot be read: "COM Port GetCommstate Error "
    SetStateError,  // the line settings are rejected: "COM Port setCommstate Error "
};

// The message for a failed open; empty for Opened.
QString OpenResultText(OpenResult result);

class SerialPort {
public:
    static constexpr int kBaudRate = 9600;
    static constexpr qint64 kQueueSize = 1024;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // `portText` is a device name as the port combo lists it ("ttyS0", "ttyUSB1") or a
    // device path ("/dev/pts/7"). Only serial devices the system lists and pseudo-terminals
    // are opened, so a typed path can never open a disk or a console. A device that this
    // process already holds open (on either page) is refused like one held by another
    // program. Closes a port that was open before.
    OpenResult open(const QString& portText);
    void close();
    bool isOpen() const;
    QString portText() const { return text_; }    // as passed to open(); empty when closed
    QString devicePath() const { return path_; }  // resolved path; empty when closed
    // The number the port-number field shows: trailing digits of the device name, 0 closed.
    int portNumber() const;

    // Bytes received and not yet read; first takes in what the driver holds.
    qint64 bytesWaiting();
    QByteArray read(qint64 maxBytes);
    // Writes every byte, waiting a bounded time for them to leave. False if they did not;
    // whatever is left is discarded so that no half frame goes out later.
    bool write(const QByteArray& bytes);
    void purge();       // pending input and output discarded
    void purgeInput();  // pending input discarded
    void clearError();

    // True when the text has the form of a port: a device name or an absolute /dev path.
    static bool NamesPort(const QString& portText);
    static QString DevicePathFor(const QString& portText);
    static int PortNumberOf(const QString& portText);
    // Names of the serial devices the system lists ("ttyS0", ...), not yet tried.
    static QStringList SystemPortNames();
    // Opens the port and closes it again at once; true when it opened.
    static bool Probe(const QString& portText);

    // Hands the open port to another thread (a flow's worker, and back when it ends). Called
    // on the thread that has it now; no one else touches the port meanwhile.
    void moveToThread(QThread* thread);

private:
    std::unique_ptr<QSerialPort> port_;
    QString text_;
    QString path_;
};

}  // namespace dravik::transport
