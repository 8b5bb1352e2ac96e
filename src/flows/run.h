// The run API of the front ends (dravikctl, dravik-exporter): one command on a set of
// displays, each display ending in a DisplayResult (its RowResult plus what its flow showed).
// RS-232 displays run one after the other per line (one unit per line, opened once); LAN
// displays run in a bounded pool of workers, one address per unit so that a display's
// exchanges never overlap. A front end is options -> RunRequest -> Run -> report.
//
// RunOnDisplay is the same engine for one display on links the caller owns: the exporter
// queues its probes itself (per display, per line) and calls it for each read.
#pragma once

#include "flows/control_flow.h"
#include "flows/row_result.h"
#include "flows/wall_commands.h"
#include "targets/target.h"
#include "transport/serial_port.h"

#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dravik::discovery {
class StopSignal;
}

namespace dravik::flows {

enum class RunKind {
    Control,   // a Control page flow (a button's, a status query, a raw frame)
    Wall,      // a wall page command
    Identity,  // the scan's identity exchange (LAN) or the ID search's (RS-232): the model
};

struct RunCommand {
    RunKind kind = RunKind::Control;
    const ButtonFlow* flow = nullptr;           // Control
    std::optional<protocol::Frame> fixedFrame;  // Control: sent instead of the flow's frame
    bool awaitLanAcknowledge = false;           // Control: a LAN send reads the acknowledge
    WallCommand wall = WallCommand::PowerOn;    // Wall
    WallFields wallFields;
    std::array<int, 3> gains{128, 128, 128};
    protocol::DisplayValues values;
    // False: a reply nobody waits for (wall senders, --no-wait) does not decide the outcome.
    bool replyAwaited = true;
    // RS-232: the one-display queries pause before the next ID of the line as the walks do.
    bool pauseBetweenDisplays = false;
};

// The video-parameters query (no button sends it alone) and the raw-frame flow.
const ButtonFlow& VideoQueryFlow();
const ButtonFlow& RawFlow();

struct ExchangeEvent {
    enum class Kind { Tx, Rx };
    Kind kind;
    protocol::Bytes bytes;
};

// How far one display got: the model got no frame (Silent), a refusal (Refused), the flow
// ran (Sent), or the flow never reached it (NotSent: its line did not open or closed).
enum class DisplayProgress { Pending, Silent, Sent, Refused, NotSent };

struct DisplayResult {
    targets::Target target;
    DisplayProgress progress = DisplayProgress::Pending;
    std::vector<ExchangeEvent> exchange;  // frames as sealed, replies as taken, in order
    QStringList messages;                 // what the window would have shown in boxes
    QString refusal;                      // the refusal text without its line end
    QString link = QStringLiteral("0");   // the LINK cell as the exchanges left it
    RowResult row;
    protocol::Bytes identityReply;        // Identity: the last reply, as it came
};

// Told from the worker threads as things happen.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // A box the window would have shown for this display (line end trimmed).
    virtual void message(const targets::Target& /*target*/, const QString& /*line*/) {}
    // A run-wide note: a line that did not open, the descriptor limit lowering the pool.
    virtual void note(const std::string& /*line*/) {}
    // The display at `index` of the request is done; each index once.
    virtual void finished(std::size_t index, const DisplayResult& result) = 0;
};

struct RunRequest {
    RunCommand command;
    std::vector<targets::Target> targets;
    int parallel = 0;  // LAN units at once; 0: every display one after the other, in order
    std::uint16_t lanPort = 5000;
    // Raised: connects and receives give up at once, no further display starts (each
    // display not started ends NotSent). May be null.
    const discovery::StopSignal* stop = nullptr;
};

void Run(const RunRequest& request, RunObserver& observer);

// One display on links the caller owns (the LAN link is opened per exchange, the RS-232
// link is the open line).
struct DisplayContext {
    ControlLinks links;
    std::uint16_t lanPort = 5000;
    std::chrono::milliseconds connectBound{5000};
    const discovery::StopSignal* stop = nullptr;
    RunObserver* observer = nullptr;  // messages only
};
DisplayResult RunOnDisplay(const RunCommand& command, const targets::Target& target, const DisplayContext& context);

// A display the flow never reached.
DisplayResult NotSent(const targets::Target& target, Outcome outcome, const std::string& why);

// Why a LAN connection failed: one more short open for the system's own words. `elapsed`
// is how long the failed attempt took: one that ran to the connect bound timed out.
struct ConnectDiagnosis {
    Outcome outcome = Outcome::ConnectTimedOut;
    std::string systemText;
};
ConnectDiagnosis DiagnoseConnect(const QString& address, std::chrono::milliseconds elapsed,
                                 std::uint16_t port = 5000,
                                 std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

// The failure to open an RS-232 line, typed (another program's lock: PortBusy).
Outcome OpenFailureOutcome(transport::OpenReason reason);

// The descriptors a run of P LAN displays at once needs, and the P that the process's
// descriptor limit allows (after raising the soft limit as far as the hard one).
int AffordableParallel(int wanted, std::string* message);

}  // namespace dravik::flows
