#include "dravikctl/console_context.h"

#include "protocol/decode.h"
#include "protocol/wall.h"
#include "transport/send_flow.h"
#include "transport/texts.h"

#include <algorithm>

namespace dravik::ctl {

void Console::write(const std::string& text) {
    std::lock_guard lock(mutex_);
    out_ << text;
    out_.flush();
}

void Console::error(const std::string& line) {
    std::lock_guard lock(mutex_);
    err_ << line << '\n';
    err_.flush();
}

QString Target::label() const { return serial ? QStringLiteral("ID ") + id : where; }

targets::Target Target::toTarget() const {
    targets::Target t;
    t.interface = serial ? targets::Interface::Serial : targets::Interface::Lan;
    if (serial) {
        t.device = where.toStdString();
    } else {
        t.address = where.toStdString();
    }
    t.model = model.toStdString();
    t.id = id.toStdString();
    t.pos = pos.toStdString();
    return t;
}

QString TrimEnd(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == QLatin1Char(' ') || text[n - 1] == QLatin1Char('\r') ||
                     text[n - 1] == QLatin1Char('\n')))
        --n;
    return text.left(n);
}

QString TrimLineEnd(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == QLatin1Char('\r') || text[n - 1] == QLatin1Char('\n'))) --n;
    return text.left(n);
}

ConsoleContext::ConsoleContext(bool lan, std::vector<Target> targets, Console& console,
                               protocol::PageValues& values, DecodeMode mode)
    : lan_(lan), console_(console), mode_(mode), values_(values) {
    for (Target& t : targets) {
        // Column 0 is the address on the LAN and the monitor ID on an RS-232 line; the LAN
        // exchanges take the ID from column 4.
        cells_.push_back({t.serial ? t.id : t.where, t.model, QStringLiteral("0"), t.pos, t.id});
        TargetResult r;
        r.target = std::move(t);
        results_.push_back(std::move(r));
    }
    finished_.assign(cells_.size(), false);
}

QString ConsoleContext::cellText(int row, int col) const {
    if (row < 0 || row >= rowCount() || col < 0 || col >= 5) return QString();
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void ConsoleContext::setCellText(int row, int col, const QString& text) {
    noteReply();
    if (row < 0 || row >= rowCount() || col < 0 || col >= 5) return;
    cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
}

void ConsoleContext::setStatus(const QString&) { noteReply(); }

void ConsoleContext::setTxText(const QString& text) {
    noteReply();
    tx_ = text;
    // The echo follows addressing and sealing: the buffer holds the bytes as they go out.
    if (!text.isEmpty()) {
        if (TargetResult* r = current()) r->exchange.push_back({ExchangeEvent::Kind::Tx, frame_.bytes()});
    }
}

void ConsoleContext::setRxText(const QString&) { noteReply(); }
void ConsoleContext::writeControls() { noteReply(); }
void ConsoleContext::focusTargetList() { noteReply(); }
void ConsoleContext::setMessageLine(const QString&) { noteReply(); }

transport::Feedback& ConsoleContext::feedback() {
    noteReply();
    return feedback_;
}

protocol::Frame& ConsoleContext::frameBuffer() { return frame_; }

transport::ReplyBuffer& ConsoleContext::replyBuffer() {
    noteReply();
    return reply_;
}

bool ConsoleContext::decodeReply(const QString& model) {
    noteReply();
    TargetResult* r = current();
    const auto received = reply_.received();
    if (mode_ == DecodeMode::Gains) {
        auto& g = gains_;
        if (!protocol::DecodeGainReply(received, g[0], g[1], g[2])) return false;
        if (r) {
            r->decodedCommand = received[6];
            r->gains = g;
        }
        return true;
    }
    const protocol::DecodeResult d = protocol::DecodeReply(received, model.toStdString(), values_);
    if (r && d.refresh) {
        r->decodedCommand = received[6];  // a stored value means bytes 0..7 arrived
        r->values = values_;
    }
    return d.result;
}

void ConsoleContext::beginRow(int row) {
    if (row == current_ || row < 0 || row >= rowCount()) return;
    current_ = row;
    reply_.clear();
    lastReply_.clear();
    result(row).started = std::chrono::steady_clock::now();
}

TargetResult* ConsoleContext::current() {
    if (current_ < 0 || current_ >= rowCount()) return nullptr;
    return &results_[static_cast<std::size_t>(current_)];
}

void ConsoleContext::noteReply() {
    const auto received = reply_.received();
    if (std::equal(received.begin(), received.end(), lastReply_.begin(), lastReply_.end())) return;
    lastReply_.assign(received.begin(), received.end());
    if (lastReply_.empty()) return;
    if (TargetResult* r = current()) r->exchange.push_back({ExchangeEvent::Kind::Rx, lastReply_});
}

void ConsoleContext::noteSelection(int row, protocol::Outcome outcome, const QString& model) {
    noteOutcome(row, outcome, model);
    if (outcome == protocol::Outcome::Refused) transport::RefuseCommand(*this, model);
}

void ConsoleContext::noteOutcome(int row, protocol::Outcome outcome, const QString& model) {
    beginRow(row);
    TargetResult& r = result(row);
    switch (outcome) {
        case protocol::Outcome::Refused:
            r.progress = RowProgress::Refused;
            r.refusal = TrimLineEnd(transport::texts::Refusal(model));
            break;
        case protocol::Outcome::Silent:
            if (r.progress == RowProgress::Pending) r.progress = RowProgress::Silent;
            break;
        case protocol::Outcome::Frame:
            if (r.progress == RowProgress::Pending || r.progress == RowProgress::Silent) r.progress = RowProgress::Sent;
            break;
    }
}

void ConsoleContext::markSent(int row) {
    beginRow(row);
    TargetResult& r = result(row);
    if (r.progress == RowProgress::Pending || r.progress == RowProgress::Silent) r.progress = RowProgress::Sent;
}

void ConsoleContext::finishRow(int row) {
    if (row < 0 || row >= rowCount() || finished_[static_cast<std::size_t>(row)]) return;
    if (row == current_) noteReply();
    finished_[static_cast<std::size_t>(row)] = true;
    TargetResult& r = result(row);
    r.link = cellText(row, transport::kColLink);
    r.finished = std::chrono::steady_clock::now();
    r.portOpen = lan_ || port_.isOpen();
    if (rowDone_) rowDone_(row, r);
}

void ConsoleContext::finishRemaining(const QString& error) {
    for (int row = 0; row < rowCount(); ++row) {
        if (finished_[static_cast<std::size_t>(row)]) continue;
        TargetResult& r = result(row);
        if (r.progress == RowProgress::Pending) {
            r.progress = RowProgress::NotSent;
            r.row.systemText = error.toStdString();
        }
        finishRow(row);
    }
}

void ConsoleContext::RowFeedback::message(const QString& text) {
    const QString line = TrimLineEnd(text);
    TargetResult* r = ctx_.current();
    if (r) r->messages << line;
    // Several displays may speak at once in a parallel run: say whose message it is.
    const QString who = r ? r->target.label() + QStringLiteral(": ") : QString();
    ctx_.console_.error((who + line).toStdString());
}

}  // namespace dravik::ctl
