// One COM port at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control, with the
// queue operations the RS-232 exchanges use: bytes waiting, read, write, purge.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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


// Why an open failed, finer than the message box: the status line and the trace show it.
enum class OpenReason {
    None,
    NotAPortName,      // the text has no form of a device name or path
    Missing,           // nothing exists at the path (after following symbolic links)
    NotATty,           // exists, but is no terminal device at all (/dev/null, a file)
    NotASerialLine,    // a terminal, but a console or the like, not a serial line
    PermissionDenied,  // the user may not open it (not in group dialout)
    InUse,             // this program already holds it open (the other page)
    DeviceError,       // the device refused to open or to take the line settings
};

// What the checks before an open learn about a path; gathered by the system probe, or
// given by a test.
struct PortPathFacts {
    QString canonical;            // symbolic links followed; empty when nothing is there
    bool charDevice = false;
    bool pseudoTerminal = false;  // /dev/pts/N
    bool serialLine = false;      // a tty with hardware behind it (or listed by the system)
    bool terminal = false;        // any tty (consoles included)
    bool readWrite = false;       // the user may open it for reading and writing
};
using PortPathProbe = std::function<PortPathFacts(const QString& path)>;

// The system's answers for `path`, without opening it (opening some devices has effects).
PortPathFacts ProbePortPath(const QString& path);
// OpenReason::None when the facts allow an open.
OpenReason ClassifyPortPath(const PortPathFacts& facts);
// One line for the status line and the trace, e.g. "/dev/ttyUSB0: permission denied; the
// user must be in group dialout". Empty for None.
QString OpenReasonText(OpenReason reason, const QString& path, const QString& systemText = {});

// The system's serial ports, enumerated once and shared by every port box; RefreshPorts()
// enumerates again (the port "Search" button). Names as the port combo lists them.
QStringList AvailablePorts();
QStringList RefreshPorts();

class SerialPort {
public:
    // After a failed open: whether another program holds the line. Its lock file, or the
    // terminal's exclusive mode (EBUSY), shows as a refusal; a device that opens plainly
    // while the port refused it is held by someone else.
    static bool HeldElsewhere(const QString& device, OpenReason reason);

    static constexpr int kBaudRate = 9600;
    static constexpr qint64 kQueueSize = 1024;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // `portText` is a device name as the port combo lists it ("ttyS0", "ttyUSB1") or a
    // device path ("/dev/pts/7", "/dev/serial/by-id/usb-..."); symbolic links are followed.
    // Only serial lines and pseudo-terminals are opened, so a typed path can never open a
    // disk or a console. A device that this process already holds open (on either page) is
    // refused like one held by another program. Closes a port that was open before.
    // lastReason()/lastReasonText() say why a failed open failed.
    OpenResult open(const QString& portText);
    OpenReason lastReason() const { return reason_; }
    QString lastReasonText() const { return reasonText_; }
    // Tests replace the system probe to reach branches a root test run cannot.
    void setPathProbe(PortPathProbe probe) { probe_ = std::move(probe); }
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
    // The device went away under an open port (a USB adapter unplugged): the port closed
    // itself; stays set until the next open. lastErrorText() has the system's words.
    bool deviceLost() const { return lost_; }
    QString lastErrorText() const { return errorText_; }

    // True when the text has the form of a port: a device name or an absolute /dev path.
    static bool NamesPort(const QString& portText);
    static QString DevicePathFor(const QString& portText);
    static int PortNumberOf(const QString& portText);
    // Names of the serial devices the system lists ("ttyS0", ...), not yet tried. Enumerates
    // afresh (and refreshes AvailablePorts()).
    static QStringList SystemPortNames();
    // Opens the port and closes it again at once; true when it opened.
    static bool Probe(const QString& portText);

    // Hands the open port to another thread (a flow's worker, and back when it ends). Called
    // on the thread that has it now; no one else touches the port meanwhile.
    void moveToThread(QThread* thread);

private:
    OpenResult refuse(OpenResult result, OpenReason reason, const QString& path, const QString& systemText = {});
    // After a failed call: a vanished device closes the port. True when it did.
    bool checkLost();

    std::unique_ptr<QSerialPort> port_;
    QString text_;
    QString path_;
    PortPathProbe probe_;
    OpenReason reason_ = OpenReason::None;
    QString reasonText_;
    bool lost_ = false;
    QString errorText_;
};

}  // namespace dravik::transport
