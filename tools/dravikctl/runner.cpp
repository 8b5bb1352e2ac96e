#include "dravikctl/runner.h"

#include "discovery/probe.h"
#include "discovery/stop_signal.h"
#include "discovery/tcp_identity.h"
#include "flows/wall_flow.h"
#include "transport/command_flows.h"
#include "transport/pump_wait.h"
#include "transport/texts.h"
#include "transport/lan.h"
#include "transport/send_flow.h"
#include "transport/serial.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include <sys/resource.h>

namespace dravik::ctl {

namespace {

using transport::ExchangeContext;

// Collects each display's result; prints results in the order of the displays, each as
// soon as every display before it has finished (formats that need the whole run print at
// the end).
class Board {
public:
    Board(std::size_t count, Console& console, ReportStyle style)
        : console_(console), style_(std::move(style)), texts_(count), results_(count), done_(count, false) {}

    void complete(std::size_t index, const TargetResult& result) {
        std::string text = Streams(style_.format) ? FormatResult(result, style_) : std::string();
        std::lock_guard lock(mutex_);
        if (index >= done_.size() || done_[index]) return;
        texts_[index] = std::move(text);
        results_[index] = result;
        done_[index] = true;
        while (next_ < done_.size() && done_[next_]) {
            if (!texts_[next_].empty()) console_.write(texts_[next_]);
            texts_[next_].clear();
            ++next_;
        }
    }

    std::vector<flows::Outcome> outcomes() const {
        std::lock_guard lock(mutex_);
        std::vector<flows::Outcome> v;
        for (std::size_t i = 0; i < results_.size(); ++i)
            v.push_back(done_[i] ? results_[i].row.outcome : flows::Outcome::PortClosed);
        return v;
    }

    std::vector<TargetResult> results() const {
        std::lock_guard lock(mutex_);
        return results_;
    }

private:
    Console& console_;
    ReportStyle style_;
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::vector<TargetResult> results_;
    std::vector<bool> done_;
    std::size_t next_ = 0;
};

// The displays one context serves: one LAN display, or the displays of one RS-232 line.
// In a parallel run the displays of one address are one unit, run one after the other.
struct Unit {
    bool serial = false;
    std::vector<std::size_t> indices;
};

bool WaitsForAcknowledge(const RunRequest& req, bool lan) {
    if (!lan || req.noWait || req.subcommand == Subcommand::Query) return false;
    if (!req.entry) return true;  // raw
    if (!req.entry->flow) return false;
    switch (req.entry->flow->kind) {
        case transport::FlowKind::Fixed:
        case transport::FlowKind::ByModel:
        case transport::FlowKind::PowerOff:
        case transport::FlowKind::ServiceWalk:
            return true;
        default:
            return false;
    }
}

// The LAN sender of a send that reads the display's acknowledge, as the RS-232 sender
// does: address, echo, connect, write, one bounded receive, close. LINK "Y"/"N" as the
// page's sender sets it.
void SendLanAcknowledged(ExchangeContext& ctx, int row) {
    ctx.setRxText(QString());
    if (!ctx.lanMode() || row < 0 || row >= ctx.rowCount()) return;
    // A refused model left no frame: nothing goes out.
    if (ctx.frameBuffer().empty()) return;
    transport::AddressAndSeal(ctx.frameBuffer(), ctx.cellText(row, transport::kColId));
    transport::EchoTx(ctx);
    transport::LanLink link;
    if (!link.connectTo(ctx.cellText(row, transport::kColAddress))) {
        ctx.setCellText(row, transport::kColLink, QStringLiteral("N"));
        return;
    }
    if (link.send(ctx.frameBuffer())) {
        link.receive(ctx.replyBuffer());
    } else {
        ctx.replyBuffer().clear();
    }
    ctx.setCellText(row, transport::kColLink, QStringLiteral("Y"));
    link.close();
}

// The wall page's "Get data" for one row: the gain request exchange of the wall flows,
// decoded into the row's gains.
void QueryGainsLan(ExchangeContext& ctx, int row) {
    if (!ctx.lanMode() || row < 0 || row >= ctx.rowCount()) return;
    transport::LanLink link;
    if (!link.connectTo(ctx.cellText(row, transport::kColAddress))) {
        ctx.setCellText(row, transport::kColLink, QStringLiteral("N"));
        return;
    }
    transport::AddressAndSealWall(ctx.frameBuffer(), ctx.cellText(row, transport::kColId));
    transport::EchoTx(ctx);
    flows::ExchangeGainRequestLan(link, ctx.frameBuffer(), ctx.replyBuffer());
    ctx.setCellText(row, transport::kColLink, QStringLiteral("Y"));
    ctx.decodeReply(ctx.cellText(row, transport::kColModel));
    link.close();
}

bool QueryGainsSerial(ExchangeContext& ctx, int row) {
    if (ctx.lanMode() || row < 0 || row >= ctx.rowCount()) return false;
    transport::AddressAndSealWall(ctx.frameBuffer(), ctx.cellText(row, transport::kColId));
    transport::EchoTx(ctx);
    transport::SerialPort& port = ctx.serialPort();
    if (!port.isOpen()) {
        ctx.feedback().message(transport::texts::kPortClosed);
        return false;
    }
    QByteArray received;
    if (flows::ExchangeGainRequestSerial(port, ctx.frameBuffer(), received, &transport::PumpWait) <= 0) {
        ctx.feedback().message(transport::texts::NoReceiveData(ctx.cellText(row, transport::kColAddress)));
        return true;
    }
    ctx.replyBuffer().assign(received.constData(), received.size());
    ctx.decodeReply(ctx.cellText(row, transport::kColModel));
    return true;
}

class FlowRunner {
public:
    FlowRunner(const RunRequest& req, ConsoleContext& ctx, FrameInputs& inputs)
        : req_(req), ctx_(ctx), inputs_(inputs) {}

    void run() {
        using transport::FlowOptions;
        FlowOptions options;
        const CommandEntry* entry = req_.entry;
        const bool query = req_.subcommand == Subcommand::Query;
        const bool acknowledged = WaitsForAcknowledge(req_, ctx_.lanMode());
        const auto lanSender = [acknowledged](ExchangeContext& c, int row) {
            if (acknowledged) {
                SendLanAcknowledged(c, row);
            } else {
                transport::SendLan(c, row);
            }
        };

        if (query && entry->action == Action::Gains) {
            options.lanSend = wrapLan(&QueryGainsLan);
            options.serialSend = wrapSerial([](ExchangeContext& c, int row) {
                QueryGainsSerial(c, row);
                return c.serialPort().isOpen();
            });
            transport::SendByModel(ctx_, selector(true), options);
            return;
        }
        if (query) {
            options.lanSend = wrapLan([](ExchangeContext& c, int row) { transport::QueryLan(c, row); });
            // A display that does not answer is that display's failure; only a closed port
            // ends the walk.
            options.serialSend = wrapSerial([](ExchangeContext& c, int row) {
                transport::QuerySerial(c, row);
                return c.serialPort().isOpen();
            });
            transport::SendByModel(ctx_, selector(true), options);
            return;
        }
        if (!entry) {  // raw: the frame as given, every display
            ctx_.frameBuffer() = req_.raw;
            options.lanSend = wrapLan(lanSender);
            options.serialSend = wrapSerial(&transport::SendSerial);
            transport::SendToTargets(ctx_, options);
            return;
        }
        if (entry->action == Action::StatusQuery) return;  // refused before anything runs: "query" asks
        if (entry->flow && acknowledged) {
            // The page's flow for one LAN display, with the acknowledge read.
            options.lanSend = wrapLan(lanSender);
            switch (entry->flow->kind) {
                case transport::FlowKind::Fixed:
                    ctx_.frameBuffer() = entry->fixed();
                    transport::SendToTargets(ctx_, options);
                    return;
                case transport::FlowKind::PowerOff:
                    transport::SendRebuilt(ctx_, rebuild(), options);
                    return;
                default:
                    transport::SendByModel(ctx_, selector(false), options);
                    return;
            }
        }
        if (entry->flow) {
            // A Control-page button: the page's own flow, with each display's result recorded.
            transport::RunButtonFlow(ctx_, *entry->flow, inputs_.values, buttonHooks());
            return;
        }
        switch (entry->action) {
            case Action::WallMode:
            case Action::WallSettings:
            case Action::Gains: {
                // The wall page's senders, every row whatever is selected.
                transport::FlowOptions wall = flows::WallFlowOptions(/*clearTx=*/true, /*ignoreSelection=*/true);
                wall.lanSend = wrapLan(wall.lanSend);
                wall.serialSend = wrapSerial(wall.serialSend);
                if (entry->action == Action::WallMode) {
                    ctx_.frameBuffer() = entry->fixed();
                    transport::SendToTargets(ctx_, wall);
                } else {
                    transport::SendRebuilt(ctx_, rebuild(), wall);
                }
                return;
            }
            case Action::Fixed:
            case Action::PowerOff:
            case Action::ByModel:
            case Action::Brightness:
            case Action::StatusQuery:
                return;  // the Control page's buttons, run above
        }
    }

private:
    transport::ButtonFlowHooks buttonHooks() {
        transport::ButtonFlowHooks hooks;
        hooks.lookedUp = [this](int row, transport::FrameLookup lookup, protocol::Outcome outcome,
                                const QString& model) {
            if (row < 0 || row >= ctx_.rowCount()) return;
            if (lookup == transport::FrameLookup::Set) ctx_.result(row).setAsked = true;
            // The flow shows the refusal itself.
            ctx_.noteOutcome(row, outcome, model);
        };
        hooks.rowStarting = [this](int row) {
            // Each display starts from the command line's values, whatever the one before
            // it read back (the displays of an RS-232 line share one context).
            inputs_.values = req_.inputs.values;
            ctx_.beginRow(row);
        };
        hooks.rowSent = [this](int row) {
            ctx_.markSent(row);
            ctx_.finishRow(row);
        };
        hooks.rowSkipped = [this](int row) { ctx_.finishRow(row); };
        return hooks;
    }

    // The row's frame into the frame buffer; a refusal goes through RefuseCommand.
    bool take(int row, protocol::Selection selection, const QString& model) {
        if (row < 0) return false;
        ctx_.noteSelection(row, selection.outcome, model);
        if (!selection.ok()) {
            ctx_.frameBuffer() = protocol::Frame();
            return false;
        }
        ctx_.frameBuffer() = std::move(selection.frame);
        return true;
    }

    // Flow B hands the selector each row's model in list order, one call per row.
    transport::RowSelector selector(bool query) {
        return [this, query](const QString& model) {
            const int row = nextRow_++;
            if (row >= ctx_.rowCount()) return false;
            FrameInputs rowInputs = req_.inputs;
            protocol::Selection selection = SelectFor(*req_.entry, model, rowInputs);
            if (query && selection.ok() && selection.frame.size() > 7)
                ctx_.result(row).queryCommand = selection.frame[7];
            if (!take(row, std::move(selection), model)) {
                ctx_.finishRow(row);
                return false;
            }
            return true;
        };
    }

    // Flow C: the frame rebuilt for each row from its model (and its "Pos").
    transport::RowRebuild rebuild() {
        return [this](int row, const QString& model) {
            ctx_.beginRow(row);
            FrameInputs rowInputs = req_.inputs;
            rowInputs.pos = ctx_.cellText(row, transport::kColPos);
            take(row, SelectFor(*req_.entry, model, rowInputs), model);
        };
    }

    transport::LanRowSender wrapLan(std::function<void(ExchangeContext&, int)> send) {
        return [this, send](ExchangeContext& c, int row) {
            ctx_.beginRow(row);
            send(c, row);
            ctx_.markSent(row);
            ctx_.finishRow(row);
        };
    }

    transport::SerialRowSender wrapSerial(std::function<bool(ExchangeContext&, int)> send) {
        return [this, send](ExchangeContext& c, int row) {
            ctx_.beginRow(row);
            const bool goOn = send(c, row);
            ctx_.markSent(row);
            ctx_.finishRow(row);
            return goOn;
        };
    }

    const RunRequest& req_;
    ConsoleContext& ctx_;
    FrameInputs& inputs_;
    int nextRow_ = 0;
};

// One context for the given displays (one LAN display, or one RS-232 line's displays).
void RunContext(const RunRequest& req, const std::vector<std::size_t>& indices, bool serial, Board& board,
                Console& console) {
    if (indices.empty()) return;
    FrameInputs inputs = req.inputs;
    std::vector<Target> rows;
    for (std::size_t i : indices) rows.push_back(req.targets[i]);
    const bool gains = req.entry && req.entry->action == Action::Gains;
    ConsoleContext ctx(!serial, rows, console, inputs.values, gains ? DecodeMode::Gains : DecodeMode::Reply);
    const RowExpect expect = ExpectFor(req, !serial);
    ctx.setRowDone([&](int row, TargetResult& r) {
        Classify(r, expect);
        board.complete(indices[static_cast<std::size_t>(row)], r);
    });

    if (serial) {
        const QString device = rows.front().where;
        const transport::OpenResult opened = ctx.serialPort().open(device);
        if (opened != transport::OpenResult::Opened) {
            const QString text = transport::OpenResultText(opened);
            const QString reason = ctx.serialPort().lastReasonText();
            console.error((device + QStringLiteral(": ") + text.trimmed() +
                           (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QStringLiteral(")")))
                              .toStdString());
            for (int row = 0; row < ctx.rowCount(); ++row) ctx.result(row).openFailure = ctx.serialPort().lastReason();
            ctx.finishRemaining(text.trimmed());
            return;
        }
    }
    FlowRunner(req, ctx, inputs).run();
    ctx.finishRemaining(serial ? QStringLiteral("not sent: the port closed") : QStringLiteral("not sent"));
}

// The scan's identity exchange with one LAN display, at the target's monitor ID.
TargetResult Identify(const Target& target) {
    TargetResult r;
    r.target = target;
    r.row.target = target.toTarget();
    r.started = std::chrono::steady_clock::now();
    discovery::ScanOptions options;
    options.firstMonitorId = options.lastMonitorId = protocol::IdByteFromText(target.id.toStdString());
    const discovery::StopSignal stop;
    discovery::TcpIdentityClient client;
    const auto session = client.Connect(target.where.trimmed().toStdString(), options.port, options.connectTimeout, stop);
    r.finished = std::chrono::steady_clock::now();
    if (!session) {
        r.link = QStringLiteral("N");
        const ConnectDiagnosis d = DiagnoseConnect(
            target.where, std::chrono::duration_cast<std::chrono::milliseconds>(r.finished - r.started));
        r.row.outcome = d.outcome;
        r.row.systemText = d.systemText;
        return r;
    }
    r.link = QStringLiteral("Y");
    r.progress = RowProgress::Sent;
    const auto answer = discovery::IdentifyDisplay(*session, options, stop);
    if (!answer) {
        r.row.outcome = flows::Outcome::NoReply;
        return r;
    }
    r.row.outcome = flows::Outcome::Replied;
    r.row.value.model = answer->model;
    return r;
}

void RunUnit(const RunRequest& req, const Unit& unit, Board& board, Console& console) {
    if (req.subcommand == Subcommand::Identity) {
        for (std::size_t i : unit.indices) board.complete(i, Identify(req.targets[i]));
        return;
    }
    if (unit.serial) {
        RunContext(req, unit.indices, true, board, console);
        return;
    }
    for (std::size_t i : unit.indices) RunContext(req, {i}, false, board, console);
}

}  // namespace

RowExpect ExpectFor(const RunRequest& req, bool lan) {
    RowExpect e;
    if (req.subcommand == Subcommand::Query) {
        e.replyAfterLast = true;
        e.query = true;
        return e;
    }
    const Action action = req.entry ? req.entry->action : Action::Fixed;
    switch (action) {
        case Action::WallMode:
        case Action::WallSettings:
        case Action::Gains:
            // The wall senders do not wait for an answer over RS-232, and the page does
            // not look at the one it reads over the LAN.
            break;
        case Action::Brightness:
            e.setRequired = true;
            // The LAN exchange reads the query's answer, not the set frame's.
            e.replyAfterLast = !lan && !req.noWait;
            break;
        default:
            e.replyAfterLast = !req.noWait;
            break;
    }
    return e;
}

int AffordableParallel(int wanted, std::string* message) {
    // Per display in flight: one socket (and a short diagnosis socket after a failure, on
    // the same worker); plus what the process holds besides.
    constexpr rlim_t kReserve = 32;
    rlimit limit{};
    if (wanted <= 1 || ::getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
    const rlim_t need = static_cast<rlim_t>(wanted) + kReserve;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < need) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? need : std::min(need, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= need) return wanted;
    const int affordable = limit.rlim_cur > kReserve + 1 ? static_cast<int>(limit.rlim_cur - kReserve) : 1;
    if (message) {
        *message = "--parallel " + std::to_string(wanted) + " needs " + std::to_string(need) +
                   " file descriptors, the limit is " + std::to_string(limit.rlim_cur) + " (ulimit -n): running " +
                   std::to_string(affordable) + " at once";
    }
    return affordable;
}

int RunTargets(const RunRequest& req, Console& console) {
    Board board(req.targets.size(), console, req.style);
    {
        const std::string head = FormatHead(req.style, req.skipped);
        if (!head.empty()) console.write(head);
    }

    std::vector<Unit> lanUnits;
    std::vector<Unit> serialUnits;
    std::map<QString, std::size_t> lanByAddress;
    std::map<QString, std::size_t> serialByDevice;
    for (std::size_t i = 0; i < req.targets.size(); ++i) {
        const Target& t = req.targets[i];
        if (t.serial) {
            auto [it, added] = serialByDevice.emplace(t.where, serialUnits.size());
            if (added) serialUnits.push_back({true, {}});
            serialUnits[it->second].indices.push_back(i);
        } else if (req.parallel > 0) {
            // One display is one address: its exchanges stay one after the other.
            auto [it, added] = lanByAddress.emplace(t.where.trimmed().toLower(), lanUnits.size());
            if (added) lanUnits.push_back({false, {}});
            lanUnits[it->second].indices.push_back(i);
        } else {
            lanUnits.push_back({false, {i}});
        }
    }

    if (req.parallel > 0 && !lanUnits.empty()) {
        std::string message;
        // Only as many at once as there are displays need their descriptors.
        const int wanted = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(req.parallel), lanUnits.size()));
        const int parallel = AffordableParallel(wanted, &message);
        if (!message.empty()) console.error("dravikctl: " + message);
        std::atomic<std::size_t> next{0};
        const int workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(parallel), lanUnits.size()));
        std::vector<std::unique_ptr<QThread>> threads;
        for (int w = 0; w < workers; ++w) {
            threads.emplace_back(QThread::create([&] {
                for (std::size_t k = next++; k < lanUnits.size(); k = next++) RunUnit(req, lanUnits[k], board, console);
            }));
            threads.back()->start();
        }
        // RS-232 lines meanwhile, one display after the other.
        for (const Unit& u : serialUnits) RunUnit(req, u, board, console);
        for (auto& t : threads) t->wait();
    } else {
        std::vector<Unit> units = lanUnits;
        units.insert(units.end(), serialUnits.begin(), serialUnits.end());
        std::sort(units.begin(), units.end(),
                  [](const Unit& a, const Unit& b) { return a.indices.front() < b.indices.front(); });
        for (const Unit& u : units) RunUnit(req, u, board, console);
    }
    const std::string tail = FormatTail(req.style, board.results(), req.skipped);
    if (!tail.empty()) console.write(tail);
    return ExitStatusFor(board.outcomes());
}

}  // namespace dravik::ctl
