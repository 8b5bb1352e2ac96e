#include "dravikctl/runner.h"

#include "discovery/probe.h"
#include "discovery/stop_signal.h"
#include "discovery/tcp_identity.h"
#include "flows/control_flow.h"
#include "flows/reply_rules.h"
#include "flows/wall_commands.h"
#include "protocol/identity.h"
#include "flows/button_table.h"
#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"
#include "ui/texts.h"
#include "transport/trace_link.h"

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

using flows::Outcome;

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

    std::vector<Outcome> outcomes() const {
        std::lock_guard lock(mutex_);
        std::vector<Outcome> v;
        for (std::size_t i = 0; i < results_.size(); ++i)
            v.push_back(done_[i] ? results_[i].row.outcome : Outcome::PortClosed);
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

// The displays one worker serves in order: one LAN display (its address, when the same
// display is named twice), or the displays of one RS-232 line.
struct Unit {
    bool serial = false;
    std::vector<std::size_t> indices;
};

// What one display's flow showed, recorded into its result: the frames as they were sealed
// (the TX echo) and the replies as the link took them, in order; the LINK mark; the boxes
// the window would have shown, which become lines on standard error.
class DisplayRecorder final : public flows::WallObserver, public transport::LinkObserver {
public:
    // `next`: the link's own observer (the trace), which sees everything as before.
    DisplayRecorder(TargetResult& result, Console& console, transport::LinkObserver* next)
        : r_(result), console_(console), next_(next) {}

    void linkOpened(const std::string& where, const transport::LinkStatus& status) override {
        if (next_) next_->linkOpened(where, status);
    }
    void frameSent(const std::string& where, std::span<const protocol::Byte> frame) override {
        if (next_) next_->frameSent(where, frame);
    }
    void frameSealed(int, const protocol::Frame& frame) override {
        r_.exchange.push_back({ExchangeEvent::Kind::Tx, frame.bytes()});
    }
    void replyReceived(const std::string& where, std::span<const protocol::Byte> reply) override {
        if (next_) next_->replyReceived(where, reply);
        r_.exchange.push_back({ExchangeEvent::Kind::Rx, protocol::Bytes(reply.begin(), reply.end())});
    }
    void linkMarked(int, bool up) override { r_.link = up ? QStringLiteral("Y") : QStringLiteral("N"); }
    void message(const std::string& text) override { say(QString::fromStdString(text)); }
    void refused(const std::string& model) override {
        const QString text = ui::texts::Refusal(QString::fromStdString(model));
        r_.refusal = TrimLineEnd(text);
        say(text);
    }

private:
    void say(const QString& text) {
        const QString line = TrimLineEnd(text);
        r_.messages << line;
        // Several displays may speak at once in a parallel run: say whose message it is.
        console_.error(r_.target.label() + ": " + line.toStdString());
    }

    TargetResult& r_;
    Console& console_;
    transport::LinkObserver* next_;
};

// The links of one unit: a LAN link per display (made here, one connection per exchange),
// or the unit's open RS-232 line.
struct UnitLinks {
    transport::Link* lan = nullptr;
    transport::Link* serial = nullptr;
};

bool WaitsForAcknowledge(const RunRequest& req, bool lan) {
    if (!lan || req.noWait || req.subcommand == Subcommand::Query) return false;
    if (!req.entry) return true;  // raw
    if (!req.entry->flow) return false;
    switch (req.entry->flow->kind) {
        case flows::FlowKind::Fixed:
        case flows::FlowKind::ByModel:
        case flows::FlowKind::PowerOff:
        case flows::FlowKind::ServiceWalk:
            return true;
        default:
            return false;
    }
}

// A reply nobody waits for does not decide the outcome: the wall commands (which read
// nothing over RS-232 and do not look at the LAN reply) and --no-wait sends.

bool IsReplyOutcome(Outcome o) {
    switch (o) {
        case Outcome::Replied:
        case Outcome::Nack:
        case Outcome::Nav:
        case Outcome::NoReply:
        case Outcome::WrongHeader:
        case Outcome::BadChecksum:
        case Outcome::ShortReply:
            return true;
        default:
            return false;
    }
}

// The status-query and raw flows that no button of the page has as such.
const flows::ButtonFlow& VideoQueryFlow() {
    static const flows::ButtonFlow flow = [] {
        flows::ButtonFlow f = flows::FlowOf(flows::ButtonFlowId::BacklightQuery);
        f.name = "video";
        f.statusKind = flows::kStatusVideoParams;
        return f;
    }();
    return flow;
}

const flows::ButtonFlow& RawFlow() {
    static const flows::ButtonFlow flow = [] {
        flows::ButtonFlow f = flows::FlowOf(flows::ButtonFlowId::On);
        f.name = "raw";
        f.readsControls = false;
        return f;
    }();
    return flow;
}

std::optional<flows::WallCommand> WallCommandOf(const RunRequest& req) {
    if (!req.entry) return std::nullopt;
    const CommandEntry& e = *req.entry;
    switch (e.action) {
        case Action::WallMode: return e.name == "wall-on" ? flows::WallCommand::WallOn : flows::WallCommand::WallOff;
        case Action::WallSettings: return flows::WallCommand::Settings;
        case Action::WallPower:
            return e.name == "wall-power-on" ? flows::WallCommand::PowerOn : flows::WallCommand::PowerOff;
        case Action::Locate: return flows::WallCommand::LocationTest;
        case Action::Gains:
            return req.subcommand == Subcommand::Query || !req.inputs.gainsGiven ? flows::WallCommand::GetGains
                                                                                 : flows::WallCommand::SetGains;
        default: return std::nullopt;
    }
}

// A reply nobody waits for does not decide the outcome: the wall commands (which read
// nothing over RS-232 and do not look at the LAN reply) and --no-wait sends. The gain read
// waits for its answer.
bool ReplyAwaited(const RunRequest& req) {
    if (req.subcommand == Subcommand::Query || req.subcommand == Subcommand::Identity) return true;
    if (req.noWait) return false;
    if (WallCommandOf(req) == flows::WallCommand::GetGains) return true;
    return !(req.entry && req.entry->wallAddressing());
}

// The identity read over an RS-232 line: the first query, and after a family tag the second
// one, each with the ID search's waits.
flows::RowResult IdentifyOnLine(transport::Link& line, const targets::Target& target, DisplayRecorder& recorder) {
    flows::RowResult row;
    row.target = target;
    const protocol::Byte id = protocol::IdByteFromText(target.id);
    const auto ask = [&](protocol::IdentityForm form) -> protocol::Bytes {
        const protocol::Frame frame = protocol::BuildIdentityQuery(form, id);
        row.framesSent.push_back(frame);
        recorder.frameSealed(0, frame);
        const transport::ExchangeResult ex = line.exchange(frame.bytes(), flows::rules::SerialIdentity());
        if (!ex.status.ok() && row.systemText.empty()) {
            row.outcome = flows::rules::OutcomeOf(ex.status.error);
            row.systemText = ex.status.systemText;
        }
        if (!ex.reply.empty()) row.reply = ex.reply;
        return ex.reply;
    };
    if (!line.open(std::string()).ok()) {
        row.outcome = Outcome::PortClosed;
        return row;
    }
    const protocol::Bytes first = ask(protocol::IdentityForm::A2);
    const auto model = protocol::ProbeModelText(first, [&] { return ask(protocol::IdentityForm::A1); });
    if (model) {
        row.outcome = Outcome::Replied;
        row.value.model = *model;
    } else if (row.systemText.empty()) {
        const Outcome o = flows::rules::ClassifyReply(row.reply);
        row.outcome = o == Outcome::Replied ? Outcome::ShortReply : o;
    }
    return row;
}

// The scan's identity exchange with one LAN display, at the target's monitor ID.
void IdentifyLan(TargetResult& r) {
    r.row.target = r.target;
    const auto started = std::chrono::steady_clock::now();
    discovery::ScanOptions options;
    options.firstMonitorId = options.lastMonitorId = protocol::IdByteFromText(r.target.id);
    const discovery::StopSignal stop;
    discovery::TcpIdentityClient client;
    const QString address = QString::fromStdString(r.target.address);
    const auto session = client.Connect(address.trimmed().toStdString(), options.port, options.connectTimeout, stop);
    if (!session) {
        r.link = QStringLiteral("N");
        const ConnectDiagnosis d = DiagnoseConnect(
            address,
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
        r.row.outcome = d.outcome;
        r.row.systemText = d.systemText;
        return;
    }
    r.link = QStringLiteral("Y");
    const auto answer = discovery::IdentifyDisplay(*session, options, stop);
    if (!answer) {
        r.row.outcome = Outcome::NoReply;
        return;
    }
    r.row.outcome = Outcome::Replied;
    r.row.value.model = answer->model;
}

// One display's flow on the unit's links; its RowResult is the display's result.
TargetResult RunDisplay(const RunRequest& req, const targets::Target& target, const UnitLinks& links,
                        Console& console) {
    TargetResult r;
    r.target = target;
    transport::Link* link = target.serial() ? links.serial : links.lan;
    transport::LinkObserver* before = link->observer();
    DisplayRecorder recorder(r, console, before);
    link->setObserver(&recorder);
    const bool lan = !target.serial();
    std::vector<targets::Target> rows{target};

    std::vector<flows::RowResult> results;
    if (req.subcommand == Subcommand::Identity) {
        if (lan) {
            IdentifyLan(r);
        } else {
            r.row = IdentifyOnLine(*link, rows[0], recorder);
        }
    } else if (const auto wall = WallCommandOf(req)) {
        flows::WallRequest w;
        w.command = *wall;
        w.targets = rows;
        w.selected = 0;
        w.lan = lan;
        w.fields.columns = req.inputs.columns;
        w.fields.rows = req.inputs.rows;
        w.fields.wallEnable = req.inputs.wallEnable;
        w.fields.frameComp = req.inputs.frameComp;
        w.gains = req.inputs.gains;
        results = flows::RunWallFlow(w, {links.lan, links.serial}, recorder).rows;
    } else {
        flows::ControlRequest c;
        if (!req.entry) {
            c.flow = &RawFlow();
            c.fixedFrame = req.raw;
        } else if (req.entry->flow) {
            c.flow = req.entry->flow;
        } else {
            c.flow = &VideoQueryFlow();
        }
        c.targets = rows;
        // The queries ask the selected display; the other buttons walk the (one-row) list.
        c.selected = c.flow->kind == flows::FlowKind::StatusQuery ? 0 : -1;
        c.lan = lan;
        c.values = req.inputs.values;
        c.awaitLanAcknowledge = WaitsForAcknowledge(req, lan);
        results = flows::RunControlFlow(c, {links.lan, links.serial}, recorder).rows;
    }
    link->setObserver(before);
    if (req.subcommand != Subcommand::Identity) {
        if (results.empty()) {
            r.row.target = rows[0];
            r.row.outcome = Outcome::RefusedForModel;
        } else {
            r.row = std::move(results.back());
        }
    }

    flows::RowResult& row = r.row;
    if (row.outcome == Outcome::RefusedForModel) {
        r.progress = r.refusal.isEmpty() ? RowProgress::Silent : RowProgress::Refused;
        if (row.systemText.empty())
            row.systemText = r.refusal.isEmpty() ? r.target.model + " gets no frame" : r.refusal.toStdString();
        return r;
    }
    r.progress = RowProgress::Sent;
    if (row.outcome == Outcome::PortClosed && row.systemText.empty()) row.systemText = "COM Port Closed";
    if (!ReplyAwaited(req) && IsReplyOutcome(row.outcome)) row.outcome = Outcome::Sent;
    return r;
}

// A display the flow never reached: its line did not open or closed before its turn.
TargetResult NotSent(const targets::Target& target, Outcome outcome, const std::string& why) {
    TargetResult r;
    r.target = target;
    r.progress = RowProgress::NotSent;
    r.row.target = target;
    r.row.outcome = outcome;
    r.row.systemText = why;
    return r;
}

// The LAN link of one worker: connect bounded, traced.
struct LanWorkerLinks {
    transport::LanLink lan;
    transport::TraceLinkObserver trace{transport::TraceChannel::Lan};
    LanWorkerLinks() { lan.setObserver(&trace); }
};

void RunLanUnit(const RunRequest& req, const Unit& unit, Board& board, Console& console) {
    LanWorkerLinks links;
    for (std::size_t i : unit.indices) board.complete(i, RunDisplay(req, req.targets[i], {&links.lan, nullptr}, console));
}

// One RS-232 line: opened once, its displays one after the other on the one link. A closed
// line ends the walk there, as on the page.
void RunSerialUnit(const RunRequest& req, const Unit& unit, Board& board, Console& console) {
    const QString device = QString::fromStdString(req.targets[unit.indices.front()].device);
    transport::SerialPort port;
    const transport::OpenResult opened = port.open(device);
    if (opened != transport::OpenResult::Opened) {
        const QString text = ui::OpenResultText(opened);
        const QString reason = port.lastReasonText();
        console.error((device + QStringLiteral(": ") + text.trimmed() +
                       (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QStringLiteral(")")))
                          .toStdString());
        for (std::size_t i : unit.indices)
            board.complete(i, NotSent(req.targets[i], OpenFailureOutcome(port.lastReason()), text.trimmed().toStdString()));
        return;
    }
    transport::SerialLink line(port);
    transport::TraceLinkObserver trace(transport::TraceChannel::Serial);
    line.setObserver(&trace);
    const bool query = req.subcommand == Subcommand::Query || req.subcommand == Subcommand::Identity;
    bool closed = false;
    for (std::size_t k = 0; k < unit.indices.size(); ++k) {
        const std::size_t i = unit.indices[k];
        if (closed) {
            board.complete(i, NotSent(req.targets[i], Outcome::PortClosed, "not sent: the port closed"));
            continue;
        }
        const TargetResult r = RunDisplay(req, req.targets[i], {nullptr, &line}, console);
        closed = r.row.outcome == Outcome::PortClosed;
        board.complete(i, r);
        // The walks pause after each ID themselves; the one-display queries get the same
        // pause before the next ID.
        if (query && !closed && k + 1 < unit.indices.size()) transport::RealClock().wait(flows::rules::kSerialRowPause);
    }
}

void RunUnit(const RunRequest& req, const Unit& unit, Board& board, Console& console) {
    if (unit.serial) {
        RunSerialUnit(req, unit, board, console);
    } else {
        RunLanUnit(req, unit, board, console);
    }
}

}  // namespace

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
    std::map<std::string, std::size_t> serialByDevice;
    for (std::size_t i = 0; i < req.targets.size(); ++i) {
        const targets::Target& t = req.targets[i];
        if (t.serial()) {
            auto [it, added] = serialByDevice.emplace(t.device, serialUnits.size());
            if (added) serialUnits.push_back({true, {}});
            serialUnits[it->second].indices.push_back(i);
        } else if (req.parallel > 0) {
            // One display is one address: its exchanges stay one after the other.
            const QString address = QString::fromStdString(t.address).trimmed().toLower();
            auto [it, added] = lanByAddress.emplace(address, lanUnits.size());
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
