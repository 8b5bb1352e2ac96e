#include "dravikctl/runner.h"

#include "flows/run.h"

#include <algorithm>
#include <mutex>
#include <optional>

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

// The LAN acknowledge (the RS-232 flows read their own replies whatever this says).
bool WaitsForAcknowledge(const RunRequest& req) {
    if (req.noWait || req.subcommand == Subcommand::Query) return false;
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

// The command line's request as the flows' run command.
flows::RunCommand CommandOf(const RunRequest& req) {
    flows::RunCommand c;
    c.values = req.inputs.values;
    c.replyAwaited = ReplyAwaited(req);
    c.pauseBetweenDisplays = req.subcommand == Subcommand::Query || req.subcommand == Subcommand::Identity;
    if (req.subcommand == Subcommand::Identity) {
        c.kind = flows::RunKind::Identity;
    } else if (const auto wall = WallCommandOf(req)) {
        c.kind = flows::RunKind::Wall;
        c.wall = *wall;
        c.wallFields.columns = req.inputs.columns;
        c.wallFields.rows = req.inputs.rows;
        c.wallFields.wallEnable = req.inputs.wallEnable;
        c.wallFields.frameComp = req.inputs.frameComp;
        c.gains = req.inputs.gains;
    } else {
        c.kind = flows::RunKind::Control;
        if (!req.entry) {
            c.flow = &flows::RawFlow();
            c.fixedFrame = req.raw;
        } else {
            c.flow = req.entry->flow ? req.entry->flow : &flows::VideoQueryFlow();
        }
        c.awaitLanAcknowledge = WaitsForAcknowledge(req);
    }
    return c;
}

TargetResult ResultOf(const flows::DisplayResult& d) {
    TargetResult r;
    static_cast<flows::DisplayResult&>(r) = d;
    return r;
}

// The run's events as the console shows them: each display's boxes on standard error as
// they come (several displays may speak at once: whose it is comes first), results in order.
class ConsoleRun final : public flows::RunObserver {
public:
    ConsoleRun(Board& board, Console& console) : board_(board), console_(console) {}
    void message(const targets::Target& target, const QString& line) override {
        console_.error(target.label() + ": " + line.toStdString());
    }
    // A line that did not open is said as it is; the descriptor limit names the program.
    void note(const std::string& line) override {
        console_.error(line.rfind("--parallel ", 0) == 0 ? "dravikctl: " + line : line);
    }
    void finished(std::size_t index, const flows::DisplayResult& result) override {
        board_.complete(index, ResultOf(result));
    }

private:
    Board& board_;
    Console& console_;
};

}  // namespace

int AffordableParallel(int wanted, std::string* message) { return flows::AffordableParallel(wanted, message); }

int RunTargets(const RunRequest& req, Console& console) {
    Board board(req.targets.size(), console, req.style);
    {
        const std::string head = FormatHead(req.style, req.skipped);
        if (!head.empty()) console.write(head);
    }
    ConsoleRun observer(board, console);
    flows::RunRequest run;
    run.targets = req.targets;
    run.parallel = req.parallel;
    run.command = CommandOf(req);
    flows::Run(run, observer);
    const std::string tail = FormatTail(req.style, board.results(), req.skipped);
    if (!tail.empty()) console.write(tail);
    return ExitStatusFor(board.outcomes());
}

}  // namespace dravik::ctl
