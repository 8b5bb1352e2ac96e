#include "flows/wall_commands.h"

#include "flows/reply_rules.h"
#include "flows/row_recorder.h"
#include "protocol/wall.h"

namespace dravik::flows {

namespace {

class WallRunner {
public:
    WallRunner(const WallRequest& request, const ControlLinks& links, WallObserver& observer)
        : req_(request), links_(links), obs_(observer) {
        run_.frame = request.frame;
    }

    WallRun go() {
        switch (req_.command) {
            case WallCommand::PowerOn:
            case WallCommand::PowerOff: {
                const protocol::Frame frame = protocol::BuildWallPower(req_.command == WallCommand::PowerOn);
                walk([&](int) { run_.frame = frame; }, /*announce=*/false, /*allRows=*/false);
                break;
            }
            case WallCommand::WallOn:
            case WallCommand::WallOff: {
                const protocol::Frame frame = protocol::BuildWallMode(req_.command == WallCommand::WallOn);
                walk([&](int) { run_.frame = frame; }, /*announce=*/true, /*allRows=*/true);
                break;
            }
            case WallCommand::Settings:
                // Each row gets its own frame: its "Pos", its model's matrix byte, and the
                // page's fields as the operator last set them.
                walk(
                    [&](int i) {
                        const WallFields f =
                            (req_.fieldsFeed ? req_.fieldsFeed->latest() : std::nullopt).value_or(req_.fields);
                        run_.frame = protocol::BuildWallSettings(f.wallEnable, f.frameComp, target(i).pos,
                                                                 target(i).model, f.columns, f.rows);
                        obs_.frameBuilt(run_.frame);
                    },
                    /*announce=*/true, /*allRows=*/true);
                break;
            case WallCommand::LocationTest: locationTest(); break;
            case WallCommand::GetGains: getGains(); break;
            case WallCommand::SetGains: setGains(); break;
        }
        flush();
        return std::move(run_);
    }

private:
    int count() const { return static_cast<int>(req_.targets.size()); }
    const targets::Target& target(int i) const { return req_.targets[static_cast<std::size_t>(i)]; }

    RowResult& result(int i) { return rows_.at(i); }
    void flush() { rows_.flush(); }


    void seal(int i) {
        protocol::AddressAndSealWall(run_.frame, target(i).id);
        result(i).framesSent.push_back(run_.frame);
        obs_.frameSealed(i, run_.frame);
    }

    template <typename Prepare>
    void walk(Prepare prepare, bool announce, bool allRows) {
        if (announce) obs_.commandStarted();
        if (count() <= 0) {
            obs_.nothingToAddress();
            return;
        }
        const int selected = allRows ? -1 : req_.selected;
        if (selected >= 0 && selected < count()) {
            prepare(selected);
            if (req_.lan) {
                sendLan(selected);
            } else {
                sendSerial(selected);
            }
            return;
        }
        // Each row's result goes out as soon as its exchange is over, not when the next row
        // starts: the row in flight shown meanwhile is the one that runs.
        for (int i = 0; i < count(); ++i) {
            if (i > 0 && obs_.stopRequested()) break;
            prepare(i);
            if (req_.lan) {
                sendLan(i);
                flush();
                continue;
            }
            if (!sendSerial(i)) break;
            flush();
            (req_.clock ? *req_.clock : transport::RealClock()).wait(rules::kSerialRowPause);
        }
    }

    void sendLan(int i) {
        seal(i);
        obs_.status(StatusText::Connecting);
        RowResult& r = result(i);
        if (openLan(i)) {
            obs_.status(StatusText::Sending);
            const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanWall());
            r.reply = ex.reply;
            r.systemText = ex.status.systemText;
            r.outcome = ex.reply.empty() && !ex.status.ok() ? rules::OutcomeOf(ex.status.error)
                                                           : rules::ClassifyReply(ex.reply);
            obs_.replyTaken(ex.reply, ExchangeKind::Send);
            obs_.linkMarked(i, true);
        }
        links_.lan->close();
        obs_.status(StatusText::None);
        obs_.exchangeEnded();
    }

    // Connects the row's link; a row that cannot be reached is marked down.
    bool openLan(int i) {
        const transport::LinkStatus st = links_.lan->open(target(i).address);
        if (st.ok()) return true;
        RowResult& r = result(i);
        r.outcome = rules::OutcomeOf(st.error);
        r.systemText = st.systemText;
        obs_.linkMarked(i, false);
        return false;
    }

    // False only when the port is closed.
    bool sendSerial(int i) {
        obs_.status(StatusText::Send);
        seal(i);
        if (!writeSerial(i)) {
            obs_.notice({Notice::Kind::PortClosed, {}});
            obs_.exchangeEnded();
            return false;
        }
        obs_.status(StatusText::None);
        obs_.exchangeEnded();
        return true;
    }

    // One write, no drain and no read; false (nothing written) when the port is closed.
    bool writeSerial(int i) {
        RowResult& r = result(i);
        if (!links_.serial || !links_.serial->open(std::string()).ok()) {
            r.outcome = Outcome::PortClosed;
            return false;
        }
        const transport::ExchangeResult ex = links_.serial->exchange(run_.frame.bytes(), rules::SerialWall());
        r.outcome = ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error);
        return true;
    }

    // The display of the row brings up its menu: over LAN the frame alone, no pause and no read;
    // over RS-232 one write, and a closed port says nothing.
    void locationTest() {
        if (count() == 0) {
            obs_.nothingToAddress();
            return;
        }
        const int i = req_.selected;
        if (i < 0 || i >= count()) {
            obs_.exchangeEnded();
            return;
        }
        run_.frame = protocol::BuildLocationTest();
        RowResult& r = result(i);
        if (req_.lan) {
            obs_.status(StatusText::Connecting);
            if (openLan(i)) {
                obs_.status(StatusText::Sending);
                protocol::AddressAndSealWall(run_.frame, target(i).id);
                r.framesSent.push_back(run_.frame);
                const transport::ExchangeResult ex =
                    links_.lan->exchange(run_.frame.bytes(), rules::Rule(transport::Millis{0}, transport::Millis{0},
                                                                         rules::kLanReplyLimit));
                r.outcome = ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error);
                obs_.linkMarked(i, true);
            }
            links_.lan->close();
            obs_.status(StatusText::None);
        } else {
            seal(i);
            if (writeSerial(i)) obs_.status(StatusText::None);
        }
        obs_.exchangeEnded();
    }

    // The selected row, or what the page says when there is none (nothing sent either way).
    int gainRow(Notice::Kind noSelection) {
        if (count() == 0) {
            obs_.nothingToAddress();
            return -1;
        }
        const int i = req_.selected;
        if (i < 0 || i >= count()) {
            obs_.notice({noSelection, {}});
            return -1;
        }
        return i;
    }

    // A reply that is no gain reply leaves the gains as they are.
    void takeGainReply(RowResult& r, const protocol::Bytes& reply) {
        std::optional<std::array<int, 3>> gains;
        int red = 0, green = 0, blue = 0;
        if (protocol::DecodeGainReply(reply, red, green, blue)) gains = std::array<int, 3>{red, green, blue};
        r.value.gains = gains;
        if (r.outcome == Outcome::Replied && !gains) r.outcome = Outcome::ShortReply;
        obs_.gainReplyTaken(reply, gains);
    }

    // "Get data": over LAN the connection first, then the request and one receive; over RS-232
    // the request on the line (drained first) and its two reads. RS-232 never marks LINK.
    void getGains() {
        obs_.commandStarted();
        const int i = gainRow(req_.lan ? Notice::Kind::SelectOnlyOne : Notice::Kind::SelectOne);
        if (i < 0) return;
        RowResult& r = result(i);
        if (req_.lan) {
            obs_.status(StatusText::Connecting);
            if (!openLan(i)) {
                obs_.status(StatusText::None);
                links_.lan->close();
                return;
            }
            run_.frame = protocol::BuildGainRequest();
            obs_.status(StatusText::Sending);
            seal(i);
            const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanGainRead());
            r.reply = ex.reply;
            r.systemText = ex.status.systemText;
            r.outcome = ex.reply.empty() && !ex.status.ok() ? rules::OutcomeOf(ex.status.error)
                                                           : rules::ClassifyReply(ex.reply);
            obs_.linkMarked(i, true);
            obs_.status(StatusText::None);
            takeGainReply(r, ex.reply);
            links_.lan->close();
            return;
        }
        run_.frame = protocol::BuildGainRequest();
        seal(i);
        if (!links_.serial || !links_.serial->open(std::string()).ok()) {
            r.outcome = Outcome::PortClosed;
            obs_.notice({Notice::Kind::PortClosed, {}});
            return;
        }
        obs_.status(StatusText::Sending);
        const transport::ExchangeResult ex = links_.serial->exchange(run_.frame.bytes(), rules::SerialGainRead());
        r.systemText = ex.status.systemText;
        if (ex.reply.empty()) {
            r.outcome = ex.status.ok() ? Outcome::NoReply : rules::OutcomeOf(ex.status.error);
            obs_.notice({Notice::Kind::NoReply, target(i).id});
            return;
        }
        r.reply = ex.reply;
        r.outcome = rules::ClassifyReply(ex.reply);
        obs_.status(StatusText::None);
        takeGainReply(r, ex.reply);
    }

    // "Update": the gains (as the page holds them now) in the form the row's model needs; one
    // write, nothing read back.
    void setGains() {
        const int i = gainRow(Notice::Kind::SelectOnlyOne);
        if (i < 0) return;
        const std::array<int, 3>& gains = req_.gains;
        run_.frame = protocol::BuildGainSet(gains[0], gains[1], gains[2], target(i).model);
        RowResult& r = result(i);
        if (req_.lan) {
            seal(i);
            obs_.status(StatusText::Connecting);
            if (openLan(i)) {
                obs_.sendingGains();
                const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanGainSet());
                r.outcome = ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error);
                r.systemText = ex.status.systemText;
                obs_.linkMarked(i, true);
            }
            links_.lan->close();
            obs_.status(StatusText::None);
        } else {
            obs_.status(StatusText::Connecting);
            seal(i);
            if (links_.serial && links_.serial->open(std::string()).ok()) {
                const transport::ExchangeResult ex = links_.serial->exchange(run_.frame.bytes(), rules::SerialGainSet());
                r.outcome = ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error);
                r.systemText = ex.status.systemText;
                obs_.status(StatusText::None);
            } else {
                r.outcome = Outcome::PortClosed;
                obs_.notice({Notice::Kind::PortClosed, {}});
            }
        }
        obs_.exchangeEnded();
    }


    const WallRequest& req_;
    ControlLinks links_;
    WallObserver& obs_;
    WallRun run_;
    RowRecorder rows_{req_.targets, obs_, run_.rows};
};

}  // namespace

WallRun RunWallFlow(const WallRequest& request, const ControlLinks& links, WallObserver& observer) {
    return WallRunner(request, links, observer).go();
}

}  // namespace dravik::flows
