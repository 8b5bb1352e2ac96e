#include "dravikctl/runner.h"

#include "protocol/decode.h"
#include "transport/command_flows.h"
#include "transport/lan.h"
#include "transport/send_flow.h"
#include "transport/serial.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace dravik::ctl {

namespace {

using transport::ExchangeContext;

// Prints results in the order of the displays, each as soon as every display before it
// has finished.
class Board {
public:
    Board(std::size_t count, Console& console, ReportStyle style)
        : console_(console), style_(std::move(style)), texts_(count), done_(count, false) {}

    void complete(std::size_t index, const TargetResult& result) {
        std::string text = FormatResult(result, style_);
        std::lock_guard lock(mutex_);
        if (index >= done_.size() || done_[index]) return;
        texts_[index] = std::move(text);
        done_[index] = true;
        if (!result.ok) failed_ = true;
        while (next_ < done_.size() && done_[next_]) {
            console_.write(texts_[next_]);
            texts_[next_].clear();
            ++next_;
        }
    }

    bool failed() const {
        std::lock_guard lock(mutex_);
        return failed_ || next_ < done_.size();
    }

private:
    Console& console_;
    ReportStyle style_;
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::vector<bool> done_;
    std::size_t next_ = 0;
    bool failed_ = false;
};

// One context's worth of displays: the LAN displays (all, or those of one address when
// run in parallel) or the displays of one RS-232 line.
struct Unit {
    bool serial = false;
    std::vector<std::size_t> indices;
};

bool HasReplyAfterLastFrame(const TargetResult& r) {
    bool afterTx = false;
    bool seenTx = false;
    for (const ExchangeEvent& e : r.exchange) {
        if (e.kind == ExchangeEvent::Kind::Tx) {
            seenTx = true;
            afterTx = false;
        } else if (seenTx) {
            afterTx = true;
        }
    }
    return afterTx;
}

bool HasAnyReply(const TargetResult& r) {
    return std::any_of(r.exchange.begin(), r.exchange.end(),
                       [](const ExchangeEvent& e) { return e.kind == ExchangeEvent::Kind::Rx; });
}

// "NACK" or "NAV" when a display refused a frame, as the reply decoder reads the status.
QString RefusedStatus(const TargetResult& r) {
    for (const ExchangeEvent& e : r.exchange) {
        if (e.kind != ExchangeEvent::Kind::Rx) continue;
        protocol::PageValues scratch;
        const auto d = protocol::DecodeReply(e.bytes, r.target.model.toStdString(), scratch);
        if (d.messageLine == "NACK" || d.messageLine == "NAV") return QString::fromStdString(d.messageLine);
    }
    return QString();
}

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
            e.replyAfterLast = !lan;
            break;
        default:
            // SendSerial reads the display's answer; SendLan reads nothing.
            e.replyAfterLast = !lan;
            break;
    }
    return e;
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
            options.lanSend = wrapLan([](ExchangeContext& c, int row) { transport::SendLan(c, row); });
            options.serialSend = wrapSerial(&transport::SendSerial);
            transport::SendToTargets(ctx_, options);
            return;
        }
        if (entry->action == Action::StatusQuery) return;  // refused before anything runs: "query" asks
        if (entry->flow) {
            // A Control-page button: the page's own flow, with each display's result recorded.
            transport::RunButtonFlow(ctx_, *entry->flow, inputs_.values, buttonHooks());
            return;
        }
        switch (entry->action) {
            case Action::WallMode:
                ctx_.frameBuffer() = entry->fixed();
                options.ignoreSelection = true;
                options.lanSend = wrapLan([](ExchangeContext& c, int row) { transport::SendLanWall(c, row); });
                options.serialSend = wrapSerial(&transport::SendSerialWall);
                transport::SendToTargets(ctx_, options);
                return;
            case Action::WallSettings:
            case Action::Gains:
                options.ignoreSelection = true;
                options.lanSend = wrapLan([](ExchangeContext& c, int row) { transport::SendLanWall(c, row); });
                options.serialSend = wrapSerial(&transport::SendSerialWall);
                transport::SendRebuilt(ctx_, rebuild(), options);
                return;
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
        hooks.rowStarting = [this](int row) { ctx_.beginRow(row); };
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
        if (!selection.ok()) return false;
        ctx_.frameBuffer() = std::move(selection.frame);
        return true;
    }

    // Flow B hands the selector each row's model in list order, one call per row.
    transport::RowSelector selector(bool query) {
        return [this, query](const QString& model) {
            const int row = nextRow_++;
            if (row >= ctx_.rowCount()) return false;
            protocol::Selection selection = SelectFor(*req_.entry, model, inputs_);
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
            FrameInputs rowInputs = inputs_;
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

void RunUnit(const RunRequest& req, const Unit& unit, Board& board, Console& console) {
    if (unit.indices.empty()) return;
    FrameInputs inputs = req.inputs;
    std::vector<Target> rows;
    for (std::size_t i : unit.indices) rows.push_back(req.targets[i]);
    const bool gains = req.entry && req.entry->action == Action::Gains;
    ConsoleContext ctx(!unit.serial, rows, console, inputs.values, gains ? DecodeMode::Gains : DecodeMode::Reply);
    const RowExpect expect = ExpectFor(req, !unit.serial);
    ctx.setRowDone([&](int row, TargetResult& r) {
        Evaluate(r, expect);
        board.complete(unit.indices[static_cast<std::size_t>(row)], r);
    });

    if (unit.serial) {
        const QString device = rows.front().where;
        const transport::OpenResult opened = ctx.serialPort().open(device);
        if (opened != transport::OpenResult::Opened) {
            const QString text = transport::OpenResultText(opened);
            console.error((device + QStringLiteral(": ") + text).toStdString());
            ctx.finishRemaining(QStringLiteral("port not opened: ") + text.trimmed());
            return;
        }
    }
    FlowRunner(req, ctx, inputs).run();
    ctx.finishRemaining(unit.serial ? QStringLiteral("not sent: the port closed") : QStringLiteral("not sent"));
}

}  // namespace

void Evaluate(TargetResult& r, const RowExpect& expect) {
    r.ok = false;
    switch (r.outcome) {
        case RowOutcome::Refused:
            r.error = QStringLiteral("refused");
            return;
        case RowOutcome::Silent:
            r.error = QStringLiteral("silent");
            return;
        case RowOutcome::Pending:
        case RowOutcome::NotSent:
            if (r.error.isEmpty()) r.error = QStringLiteral("not sent");
            return;
        case RowOutcome::Sent:
            break;
    }
    if (!r.target.serial && r.link == QLatin1String("N")) {
        r.error = QStringLiteral("connection failed");
        return;
    }
    if (r.target.serial && !r.portOpen) {
        r.error = QStringLiteral("port closed");
        return;
    }
    if (expect.replyAfterLast && !HasReplyAfterLastFrame(r)) {
        r.error = QStringLiteral("no reply");
        return;
    }
    if (const QString status = RefusedStatus(r); !status.isEmpty()) {
        r.error = status;
        return;
    }
    if (expect.setRequired && !r.setAsked) {
        r.error = HasAnyReply(r) ? QStringLiteral("no usable reply to the video-parameters query")
                                 : QStringLiteral("no reply");
        return;
    }
    if (expect.query && (!r.decodedCommand || r.decodedCommand != r.queryCommand)) {
        r.error = QStringLiteral("no value in the reply");
        return;
    }
    r.ok = true;
    r.error.clear();
}

int RunTargets(const RunRequest& req, Console& console) {
    Board board(req.targets.size(), console, req.style);

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
            if (lanUnits.empty()) lanUnits.push_back({false, {}});
            lanUnits.front().indices.push_back(i);
        }
    }

    if (req.parallel > 0 && !lanUnits.empty()) {
        std::atomic<std::size_t> next{0};
        const int workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(req.parallel), lanUnits.size()));
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
    return board.failed() ? 1 : 0;
}

}  // namespace dravik::ctl
