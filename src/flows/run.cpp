#include "flows/run.h"

#include "discovery/probe.h"
#include "discovery/stop_signal.h"
#include "discovery/tcp_identity.h"
#include "flows/button_table.h"
#include "flows/reply_rules.h"
#include "protocol/identity.h"
#include "transport/worker_links.h"
#include "ui/texts.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>


namespace dravik::flows {

namespace {

QString TrimLineEnd(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == QLatin1Char('\r') || text[n - 1] == QLatin1Char('\n'))) --n;
    return text.left(n);
}

// What one display's flow showed, recorded into its result: the frames as they were sealed
// (the TX echo) and the replies as the link took them, in order; the LINK mark; the boxes
// the window would have shown, which go to the run's observer as they come.
class DisplayRecorder final : public WallObserver, public transport::LinkObserver {
public:
    // `next`: the link's own observer (the trace), which sees everything as before.
    DisplayRecorder(DisplayResult& result, RunObserver* observer, transport::LinkObserver* next)
        : r_(result), observer_(observer), next_(next) {}

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
    void notice(const Notice& notice) override { say(ui::NoticeText(notice)); }
    void refused(const std::string& model) override {
        const QString text = ui::texts::Refusal(QString::fromStdString(model));
        r_.refusal = TrimLineEnd(text);
        say(text);
    }

private:
    void say(const QString& text) {
        const QString line = TrimLineEnd(text);
        r_.messages << line;
        if (observer_) observer_->message(r_.target, line);
    }

    DisplayResult& r_;
    RunObserver* observer_;
    transport::LinkObserver* next_;
};

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

bool Stopped(const discovery::StopSignal* stop) { return stop && stop->Stopped(); }

// The identity read over an RS-232 line: the first query, and after a family tag the second
// one, each with the ID search's waits.
RowResult IdentifyOnLine(transport::Link& line, const targets::Target& target, DisplayRecorder& recorder,
                         const discovery::StopSignal* stop) {
    RowResult row;
    row.target = target;
    const protocol::Byte id = protocol::IdByteFromText(target.id);
    const auto ask = [&](protocol::IdentityForm form) -> protocol::Bytes {
        if (Stopped(stop)) return {};
        const protocol::Frame frame = protocol::BuildIdentityQuery(form, id);
        row.framesSent.push_back(frame);
        recorder.frameSealed(0, frame);
        const transport::ExchangeResult ex = line.exchange(frame.bytes(), rules::SerialIdentity());
        if (!ex.status.ok() && row.systemText.empty()) {
            row.outcome = rules::OutcomeOf(ex.status.error);
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
        const Outcome o = rules::ClassifyReply(row.reply);
        row.outcome = o == Outcome::Replied ? Outcome::ShortReply : o;
    }
    return row;
}

// Keeps the identity exchange in the display's result: every frame sent and the last reply
// (the exporter tells a refusing display from one that named itself by it).
class KeptReplySession final : public discovery::IdentitySession {
public:
    KeptReplySession(discovery::IdentitySession& inner, RowResult& row, protocol::Bytes& kept)
        : inner_(inner), row_(row), kept_(kept) {}
    protocol::Bytes Exchange(const protocol::Frame& query, std::chrono::milliseconds timeout,
                             const discovery::StopSignal& stop) override {
        row_.framesSent.push_back(query);
        protocol::Bytes reply = inner_.Exchange(query, timeout, stop);
        if (!reply.empty()) kept_ = row_.reply = reply;
        return reply;
    }

private:
    discovery::IdentitySession& inner_;
    RowResult& row_;
    protocol::Bytes& kept_;
};

// The scan's identity exchange with one LAN display, at the target's monitor ID.
void IdentifyLan(DisplayResult& r, const DisplayContext& ctx) {
    r.row.target = r.target;
    const auto started = std::chrono::steady_clock::now();
    discovery::ScanOptions options;
    options.firstMonitorId = options.lastMonitorId = protocol::IdByteFromText(r.target.id);
    options.port = ctx.lanPort;
    options.connectTimeout = ctx.connectBound;
    const discovery::StopSignal never;
    const discovery::StopSignal& stop = ctx.stop ? *ctx.stop : never;
    discovery::TcpIdentityClient client;
    const QString address = QString::fromStdString(r.target.address).trimmed();
    const auto session = client.Connect(address.toStdString(), options.port, options.connectTimeout, stop);
    if (!session) {
        r.link = QStringLiteral("N");
        if (stop.Stopped()) {
            r.row.outcome = Outcome::ConnectTimedOut;
            r.row.systemText = "stopped before a connection";
            return;
        }
        const ConnectDiagnosis d = DiagnoseConnect(
            address, std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started),
            ctx.lanPort, ctx.connectBound);
        r.row.outcome = d.outcome;
        r.row.systemText = d.systemText;
        return;
    }
    r.link = QStringLiteral("Y");
    KeptReplySession kept(*session, r.row, r.identityReply);
    const auto answer = discovery::IdentifyDisplay(kept, options, stop);
    if (!answer) {
        r.row.outcome = Outcome::NoReply;
        return;
    }
    r.row.outcome = Outcome::Replied;
    r.row.value.model = answer->model;
}

// The displays one worker serves in order: one LAN display (its address, when the same
// display is named twice), or the displays of one RS-232 line.
struct Unit {
    bool serial = false;
    std::vector<std::size_t> indices;
};

// The stop is seen between displays and in the identity exchange; a connect in flight runs
// to its own bound (5 s), so the link needs no cancel hook.
transport::LanLinkOptions LanOptions(std::uint16_t port) {
    transport::LanLinkOptions o;
    o.port = port;
    return o;
}

DisplayResult StoppedBefore(const targets::Target& target) {
    return NotSent(target, Outcome::NoReply, "not sent: stopped");
}

void RunLanUnit(const RunRequest& req, const Unit& unit, RunObserver& observer) {
    transport::LanWorkerLink lan(LanOptions(req.lanPort), /*traced=*/true);
    DisplayContext ctx;
    ctx.links = {&lan.link(), nullptr};
    ctx.lanPort = req.lanPort;
    ctx.stop = req.stop;
    ctx.observer = &observer;
    for (std::size_t i : unit.indices) {
        observer.finished(i, Stopped(req.stop) ? StoppedBefore(req.targets[i])
                                               : RunOnDisplay(req.command, req.targets[i], ctx));
    }
}

// One RS-232 line: opened once, its displays one after the other on the one link. A closed
// line ends the walk there, as on the page.
void RunSerialUnit(const RunRequest& req, const Unit& unit, RunObserver& observer) {
    const QString device = QString::fromStdString(req.targets[unit.indices.front()].device);
    transport::OpenedLine line(device, /*traced=*/true);
    if (!line.isOpen()) {
        const QString text = ui::OpenResultText(line.openResult());
        const QString reason = line.reasonText();
        observer.note((device + QStringLiteral(": ") + text.trimmed() +
                       (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QStringLiteral(")")))
                          .toStdString());
        for (std::size_t i : unit.indices)
            observer.finished(i, NotSent(req.targets[i], OpenFailureOutcome(line.reason()), text.trimmed().toStdString()));
        return;
    }
    DisplayContext ctx;
    ctx.links = {nullptr, line.link()};
    ctx.stop = req.stop;
    ctx.observer = &observer;
    bool closed = false;
    for (std::size_t k = 0; k < unit.indices.size(); ++k) {
        const std::size_t i = unit.indices[k];
        if (closed) {
            observer.finished(i, NotSent(req.targets[i], Outcome::PortClosed, "not sent: the port closed"));
            continue;
        }
        if (Stopped(req.stop)) {
            observer.finished(i, StoppedBefore(req.targets[i]));
            continue;
        }
        const DisplayResult r = RunOnDisplay(req.command, req.targets[i], ctx);
        closed = r.row.outcome == Outcome::PortClosed;
        observer.finished(i, r);
        if (req.command.pauseBetweenDisplays && !closed && k + 1 < unit.indices.size())
            transport::RealClock().wait(rules::kSerialRowPause);
    }
}

void RunUnit(const RunRequest& req, const Unit& unit, RunObserver& observer) {
    if (unit.serial) {
        RunSerialUnit(req, unit, observer);
    } else {
        RunLanUnit(req, unit, observer);
    }
}

}  // namespace

const ButtonFlow& VideoQueryFlow() {
    static const ButtonFlow flow = [] {
        ButtonFlow f = FlowOf(ButtonFlowId::BacklightQuery);
        f.name = "video";
        f.statusKind = kStatusVideoParams;
        return f;
    }();
    return flow;
}

const ButtonFlow& RawFlow() {
    static const ButtonFlow flow = [] {
        ButtonFlow f = FlowOf(ButtonFlowId::On);
        f.name = "raw";
        f.readsControls = false;
        return f;
    }();
    return flow;
}

DisplayResult RunOnDisplay(const RunCommand& cmd, const targets::Target& target, const DisplayContext& ctx) {
    DisplayResult r;
    r.target = target;
    const bool lan = !target.serial();
    transport::Link* link = lan ? ctx.links.lan : ctx.links.serial;
    transport::LinkObserver* before = link->observer();
    DisplayRecorder recorder(r, ctx.observer, before);
    link->setObserver(&recorder);
    std::vector<targets::Target> rows{target};

    std::vector<RowResult> results;
    if (cmd.kind == RunKind::Identity) {
        if (lan) {
            IdentifyLan(r, ctx);
        } else {
            r.row = IdentifyOnLine(*link, rows[0], recorder, ctx.stop);
            r.identityReply = r.row.reply;
        }
    } else if (cmd.kind == RunKind::Wall) {
        WallRequest w;
        w.command = cmd.wall;
        w.targets = rows;
        w.selected = 0;
        w.lan = lan;
        w.fields = cmd.wallFields;
        w.gains = cmd.gains;
        results = RunWallFlow(w, ctx.links, recorder).rows;
    } else {
        ControlRequest c;
        c.flow = cmd.flow ? cmd.flow : &RawFlow();
        c.fixedFrame = cmd.fixedFrame;
        c.targets = rows;
        // The queries ask the selected display; the other buttons walk the (one-row) list.
        c.selected = c.flow->kind == FlowKind::StatusQuery ? 0 : -1;
        c.lan = lan;
        c.values = cmd.values;
        c.awaitLanAcknowledge = cmd.awaitLanAcknowledge;
        results = RunControlFlow(c, ctx.links, recorder).rows;
    }
    link->setObserver(before);
    if (cmd.kind != RunKind::Identity) {
        if (results.empty()) {
            r.row.target = rows[0];
            r.row.outcome = Outcome::RefusedForModel;
        } else {
            r.row = std::move(results.back());
        }
    }

    RowResult& row = r.row;
    if (row.outcome == Outcome::RefusedForModel) {
        r.progress = r.refusal.isEmpty() ? DisplayProgress::Silent : DisplayProgress::Refused;
        if (row.systemText.empty())
            row.systemText = r.refusal.isEmpty() ? r.target.model + " gets no frame" : r.refusal.toStdString();
        return r;
    }
    r.progress = DisplayProgress::Sent;
    if (row.outcome == Outcome::PortClosed && row.systemText.empty()) row.systemText = "COM Port Closed";
    if (!cmd.replyAwaited && IsReplyOutcome(row.outcome)) row.outcome = Outcome::Sent;
    return r;
}

DisplayResult NotSent(const targets::Target& target, Outcome outcome, const std::string& why) {
    DisplayResult r;
    r.target = target;
    r.progress = DisplayProgress::NotSent;
    r.row.target = target;
    r.row.outcome = outcome;
    r.row.systemText = why;
    return r;
}

ConnectDiagnosis DiagnoseConnect(const QString& address, std::chrono::milliseconds elapsed, std::uint16_t port,
                                 std::chrono::milliseconds bound) {
    const transport::LinkStatus st = transport::DiagnoseConnectFailure(address.toStdString(), elapsed, port, bound);
    return {rules::OutcomeOf(st.error), st.systemText};
}

Outcome OpenFailureOutcome(transport::OpenReason reason) {
    switch (reason) {
        case transport::OpenReason::PermissionDenied: return Outcome::PermissionDenied;
        case transport::OpenReason::InUse: return Outcome::PortBusy;
        default: return Outcome::PortClosed;
    }
}

int AffordableParallel(int wanted, std::string* message) {
    // Per display in flight: one socket (and a short diagnosis socket after a failure, on
    // the same worker); plus what the process holds besides.
    constexpr long kReserve = 32;
    if (wanted <= 1) return wanted;
    const long need = wanted + kReserve;
    const long limit = transport::RaiseOpenFileLimit(need);
    if (limit < 0 || limit >= need) return wanted;
    const int affordable = limit > kReserve + 1 ? static_cast<int>(limit - kReserve) : 1;
    if (message) {
        *message = "--parallel " + std::to_string(wanted) + " needs " + std::to_string(need) +
                   " file descriptors, the limit is " + std::to_string(limit) + " (ulimit -n): running " +
                   std::to_string(affordable) + " at once";
    }
    return affordable;
}

void Run(const RunRequest& req, RunObserver& observer) {
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
        if (!message.empty()) observer.note(message);
        std::atomic<std::size_t> next{0};
        const int workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(parallel), lanUnits.size()));
        std::vector<std::unique_ptr<QThread>> threads;
        for (int w = 0; w < workers; ++w) {
            threads.emplace_back(QThread::create([&] {
                for (std::size_t k = next++; k < lanUnits.size(); k = next++) RunUnit(req, lanUnits[k], observer);
            }));
            threads.back()->start();
        }
        // RS-232 lines meanwhile, one display after the other.
        for (const Unit& u : serialUnits) RunUnit(req, u, observer);
        for (auto& t : threads) t->wait();
    } else {
        std::vector<Unit> units = lanUnits;
        units.insert(units.end(), serialUnits.begin(), serialUnits.end());
        std::sort(units.begin(), units.end(),
                  [](const Unit& a, const Unit& b) { return a.indices.front() < b.indices.front(); });
        for (const Unit& u : units) RunUnit(req, u, observer);
    }
}

}  // namespace dravik::flows
