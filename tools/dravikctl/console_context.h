// The console's page: an ExchangeContext whose rows are the displays of the command line
// and which records what the exchanges show (TX frames, replies, LINK cells, messages)
// instead of putting it into widgets. Message boxes become lines on standard error.
#pragma once

#include "protocol/frame.h"
#include "protocol/selectors.h"
#include "protocol/values.h"
#include "transport/exchange_context.h"
#include "flows/row_result.h"
#include "transport/serial_port.h"

#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dravik::ctl {

// Standard output and standard error, shared by the threads of a parallel run: each write
// is one whole line or block.
class Console {
public:
    Console(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    void write(const std::string& text);
    void error(const std::string& line);

private:
    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
};

// One display as the command line or a list file names it.
struct Target {
    bool serial = false;
    QString where;  // LAN: the address text; RS-232: the device path
    QString model;
    QString id;     // monitor ID text, as a list row holds it
    QString pos;    // wall position text
    // The address, or "ID n" on an RS-232 line.
    QString label() const;
    // The one target type of the program, as results carry it.
    targets::Target toTarget() const;
};

struct ExchangeEvent {
    enum class Kind { Tx, Rx };
    Kind kind;
    protocol::Bytes bytes;
};

// How far one display got while its flow ran. Sent outranks Silent; Refused outranks both
// (the brightness exchange asks two lookups per display). The reported result is the
// RowResult that Classify() makes of this and of the exchange.
enum class RowProgress { Pending, Silent, Sent, Refused, NotSent };

struct TargetResult {
    Target target;
    RowProgress progress = RowProgress::Pending;
    std::vector<ExchangeEvent> exchange;  // in the order they happened
    QStringList messages;                 // what the window would have shown in message boxes
    QString refusal;                      // the refusal text without its line end
    QString link = QStringLiteral("0");   // the LINK cell as the exchanges left it
    // RS-232: the line could not be opened (the outcome then says which failure).
    std::optional<transport::OpenReason> openFailure;  // why the line did not open
    std::chrono::steady_clock::time_point started{};
    std::chrono::steady_clock::time_point finished{};

    // What became of the display, once the row is finished.
    flows::RowResult row;

    // Set while the row runs, read when it ends.
    bool setAsked = false;                // brightness: the set lookup was reached
    bool portOpen = true;                 // RS-232: the line was open
    std::optional<protocol::Byte> queryCommand;    // a query: the command it asked
    std::optional<protocol::Byte> decodedCommand;  // the reply whose values were stored
    protocol::PageValues values;          // as decoded
    std::array<int, 3> gains{};           // as decoded (gains query)
};

enum class DecodeMode { Reply, Gains };

class ConsoleContext : public transport::ExchangeContext {
public:
    using RowDone = std::function<void(int row, TargetResult& result)>;

    // `values` are the page values: the builders read them, the decoder stores into them.
    ConsoleContext(bool lan, std::vector<Target> targets, Console& console, protocol::PageValues& values,
                   DecodeMode mode = DecodeMode::Reply);

    // --- ExchangeContext ---
    bool lanMode() const override { return lan_; }
    int rowCount() const override { return static_cast<int>(cells_.size()); }
    int selectedRow() const override { return -1; }  // scripts address every display
    QString cellText(int row, int col) const override;
    void setCellText(int row, int col, const QString& text) override;
    void setStatus(const QString& text) override;
    void setTxText(const QString& text) override;
    QString txText() const override { return tx_; }
    void setRxText(const QString& text) override;
    bool showFlag() const override { return true; }
    void writeControls() override;
    void focusTargetList() override;
    void setMessageLine(const QString& text) override;
    transport::Feedback& feedback() override;
    protocol::Frame& frameBuffer() override;
    transport::ReplyBuffer& replyBuffer() override;
    transport::SerialPort& serialPort() override { return port_; }
    bool decodeReply(const QString& model) override;

    // --- rows ---
    // Starts recording for `row` (again: a no-op). Clears the reply buffer, so that what
    // arrives from now on is this display's.
    void beginRow(int row);
    // Evaluates the row and hands it on; a row is finished once.
    void finishRow(int row);
    // Rows the flow never reached (an RS-232 loop stopped at a closed port).
    void finishRemaining(const QString& error);
    // The outcome of a lookup for the current row; a refusal also goes through RefuseCommand.
    void noteSelection(int row, protocol::Outcome outcome, const QString& model);
    // The same without showing the refusal (for flows that show it themselves).
    void noteOutcome(int row, protocol::Outcome outcome, const QString& model);
    void markSent(int row);

    TargetResult& result(int row) { return results_.at(static_cast<std::size_t>(row)); }
    int currentRow() const { return current_; }
    protocol::PageValues& values() { return values_; }
    const protocol::PageValues& values() const { return values_; }

    void setRowDone(RowDone done) { rowDone_ = std::move(done); }

private:
    class RowFeedback : public transport::Feedback {
    public:
        explicit RowFeedback(ConsoleContext& ctx) : ctx_(ctx) {}
        void message(const QString& text) override;
        bool ask(const QString&) override { return false; }  // no flow of dravikctl asks
        void beep() override {}
    private:
        ConsoleContext& ctx_;
    };

    // Exchanges write the reply buffer directly; every call they make after a receive
    // comes here first, so each new reply is recorded once, in order.
    void noteReply();
    TargetResult* current();

    bool lan_;
    Console& console_;
    DecodeMode mode_;
    std::vector<std::array<QString, 5>> cells_;
    std::vector<TargetResult> results_;
    std::vector<bool> finished_;
    int current_ = -1;
    QString tx_;
    protocol::Frame frame_;
    transport::ReplyBuffer reply_;
    protocol::Bytes lastReply_;
    protocol::PageValues& values_;
    std::array<int, 3> gains_{128, 128, 128};
    transport::SerialPort port_;
    RowFeedback feedback_{*this};
    RowDone rowDone_;
};

// Trailing blanks and line ends off a hex echo ("%02X " per byte ends in a blank).
QString TrimEnd(const QString& text);
// The line end off a message (the refusal ends in "\r\n"); blanks stay, they are part of it.
QString TrimLineEnd(const QString& text);

}  // namespace dravik::ctl
