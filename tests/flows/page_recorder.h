// What a page would show of a running flow, as plain strings: the observer turns each event
// into the page's texts the way the Control and wall pages do (status line, TX and receive
// boxes with the Show flag, LINK cells, message boxes, the refusal line, focus moves), so a
// test reads back the operator's view without a window.
#pragma once

#include "flows/control_flow.h"
#include "ui/texts.h"
#include "flows/wall_commands.h"

#include "protocol/frame.h"

#include <string>
#include <vector>

namespace dravik::flows::testing {

inline std::string StatusString(StatusText text) { return ui::StatusLineText(text).toStdString(); }

inline std::string Refusal(const std::string& model) { return model + " No This Function or unsupported !\r\n"; }

class PageRecorder : public WallObserver {
public:
    // One LINK cell per row, "0" as a fresh row holds it.
    explicit PageRecorder(std::size_t rows = 0) : links(rows, "0") {}

    void commandStarted() override { tx.clear(); }
    void queryStarted() override { messageLine.clear(); }
    void nothingToAddress() override { ++beeps; }
    void status(StatusText text) override { statuses.push_back(statusLine = StatusString(text)); }
    void rowStarted(int index) override { events.push_back(">" + std::to_string(index)); }
    void frameSealed(int, const protocol::Frame& frame) override {
        if (show) tx = frame.TxText();
    }
    void replyAwaited(ExchangeKind) override {
        ++rxClears;
        rxHistory.push_back(rx = "");
    }
    void replyTaken(std::span<const protocol::Byte> reply, ExchangeKind kind) override {
        replyBuffer.assign(reply.begin(), reply.end());
        if (kind != ExchangeKind::Query && !show) return;
        rxHistory.push_back(rx = kind == ExchangeKind::Send ? protocol::HexPacked(reply) : protocol::HexSpaced(reply));
    }
    void linkMarked(int index, bool up) override {
        if (index >= 0 && static_cast<std::size_t>(index) < links.size()) links[static_cast<std::size_t>(index)] = up ? "Y" : "N";
    }
    void notice(const Notice& notice) override { messages.push_back(ui::NoticeText(notice).toStdString()); }
    void refused(const std::string& model) override {
        messageLine = Refusal(model);
        messages.push_back(messageLine);
        ++refusals;
    }
    void decoded(const protocol::DisplayValues&, const protocol::DecodeResult&) override { ++decodes; }
    void exchangeEnded() override { ++focuses; }
    void levelsTaken(const protocol::DisplayValues&) override {
        ++controlReads;
        events.push_back("C");
    }
    void rowFinished(const RowResult& result, int index) override {
        events.push_back("<" + std::to_string(index) + " " + std::string(OutcomeName(result.outcome)));
    }
    void frameBuilt(const protocol::Frame& frame) override {
        if (show) tx = frame.TxText();
    }

    int count(const std::string& text) const {
        int n = 0;
        for (const std::string& m : messages) n += m == text;
        return n;
    }

    bool show = true;
    std::vector<std::string> links;
    std::string statusLine = "untouched";
    std::vector<std::string> statuses;
    std::string tx;
    std::string rx = "untouched";
    std::vector<std::string> rxHistory;
    protocol::Bytes replyBuffer;  // what the page's reply buffer holds after the last echo
    std::vector<std::string> messages;
    std::string messageLine;
    std::vector<std::string> events;  // C levels taken, >i row started, <i outcome row done
    int refusals = 0;
    int rxClears = 0;
    int beeps = 0;
    int decodes = 0;
    int focuses = 0;
    int controlReads = 0;
};

inline targets::Target LanTarget(const std::string& address, const std::string& model = "KA-55",
                                 const std::string& id = "1") {
    targets::Target t;
    t.address = address;
    t.model = model;
    t.id = id;
    return t;
}

inline targets::Target SerialTarget(const std::string& id, const std::string& model = "KA-55") {
    targets::Target t;
    t.interface = targets::Interface::Serial;
    t.model = model;
    t.id = id;
    return t;
}

}  // namespace dravik::flows::testing
