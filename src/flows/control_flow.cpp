#include "flows/control_flow.h"

#include "flows/reply_rules.h"
#include "flows/row_recorder.h"
#include "protocol/catalogue.h"
#include "protocol/reply.h"
#include "protocol/selectors.h"
#include "protocol/status.h"

#include <optional>

namespace dravik::flows {

namespace {

using protocol::Bytes;
using protocol::Command;
using protocol::Frame;
using flows::ButtonFlow;
using flows::FlowKind;
using flows::RowPause;


class Runner {
public:
    Runner(const ControlRequest& request, const ControlLinks& links, ControlObserver& observer)
        : req_(request), flow_(*request.flow), links_(links), obs_(observer) {
        run_.values = request.values;
        run_.frame = request.frame;
    }

    ControlRun go() {
        switch (flow_.kind) {
            case FlowKind::Fixed: fixed(); break;
            case FlowKind::ByModel: byModel(); break;
            case FlowKind::PowerOff: powerOff(); break;
            case FlowKind::ReadThenSet: readThenSet(); break;
            case FlowKind::StatusQuery: statusQuery(); break;
            case FlowKind::ServiceWalk: serviceWalk(); break;
        }
        flush();
        return std::move(run_);
    }

private:
    enum class Sender { Plain, ReadThenSet };

    int count() const { return static_cast<int>(req_.targets.size()); }
    const targets::Target& target(int i) const { return req_.targets[static_cast<std::size_t>(i)]; }
    const std::string& model(int i) const { return target(i).model; }

    RowResult& result(int i) { return rows_.at(i); }
    void flush() { rows_.flush(); }


    // The operator's latest levels and locks, right before a frame is built from them.
    void takeLevels() {
        if (const auto latest = req_.levels ? req_.levels->latest() : std::nullopt) {
            run_.values.backlight = latest->backlight;
            run_.values.brightness = latest->brightness;
            run_.values.volume = latest->volume;
            run_.values.keyLock = latest->keyLock;
            run_.values.irLock = latest->irLock;
        }
        obs_.levelsTaken(run_.values);
    }

    void pause(RowPause pause) {
        if (pause != RowPause::None) (req_.clock ? *req_.clock : transport::RealClock()).wait(rules::kSerialRowPause);
    }

    // The command's frame for the row's model into the frame buffer; a refused model gets the
    // refusal, a silent one nothing.
    bool take(int i, Command command) {
        protocol::DisplayValues probe = run_.values;
        const protocol::Selection look = protocol::Select(command, model(i), probe);
        if (!look.ok()) {
            RowResult& r = result(i);
            r.outcome = Outcome::RefusedForModel;
            if (look.outcome == protocol::Outcome::Refused) obs_.refused(model(i));
            return false;
        }
        if (flow_.readsControls) takeLevels();
        const protocol::DisplayValues before = run_.values;
        run_.frame = protocol::Select(command, model(i), run_.values).frame;
        if (!(run_.values == before)) obs_.valuesChanged(run_.values);
        return true;
    }

    void seal(int i) {
        protocol::AddressAndSeal(run_.frame, target(i).id);
        result(i).framesSent.push_back(run_.frame);
        obs_.frameSealed(i, run_.frame);
    }

    // One of the flows A, B, C: `prepare` puts the row's frame into the frame buffer.
    template <typename Prepare>
    void walk(Prepare prepare, Sender sender) {
        if (flow_.announcesStart) obs_.commandStarted();
        if (count() <= 0) {
            obs_.nothingToAddress();
            return;
        }
        const auto lanSend = [&](int i) { sender == Sender::Plain ? sendLan(i) : readThenSetLan(i); };
        const auto serialSend = [&](int i) {
            const bool open = sender == Sender::Plain ? sendSerial(i) : readThenSetSerial(i);
            return open || !flow_.stopOnClosedPort;
        };
        const int selected = req_.selected;
        if (selected < 0 || selected >= count()) {
            // Each row's result goes out as soon as its exchange is over, not when the next
            // row starts: the row in flight shown meanwhile is the one that runs.
            for (int i = 0; i < count(); ++i) {
                if (i > 0 && obs_.stopRequested()) break;
                if (!prepare(i)) {
                    flush();
                    continue;
                }
                if (req_.lan) {
                    lanSend(i);
                    flush();
                    continue;
                }
                if (!serialSend(i)) break;
                flush();
                pause(flow_.serialPause);
            }
            return;
        }
        if (!prepare(selected)) {
            if (flow_.refuseSelectedUnsupported) obs_.refused(model(selected));
            return;
        }
        if (flow_.selectedChosenInterfaceOnly) {
            if (req_.lan) {
                lanSend(selected);
            } else {
                serialSend(selected);
            }
        } else {
            // Each sender does nothing outside its own interface.
            lanSend(selected);
            serialSend(selected);
        }
    }

    void fixed() {
        if (flow_.readsControls) takeLevels();
        const Frame fixedFrame = req_.fixedFrame ? *req_.fixedFrame : flow_.fixed();
        walk([&](int) {
            run_.frame = fixedFrame;
            return true;
        }, Sender::Plain);
    }

    void byModel() {
        walk([&](int i) { return take(i, flow_.command); }, Sender::Plain);
    }

    void powerOff() {
        walk([&](int i) {
            take(i, flow_.command);
            return true;
        }, Sender::Plain);
    }

    void readThenSet() {
        walk([](int) { return true; }, Sender::ReadThenSet);
    }

    void statusQuery() {
        if (flow_.announcesStart) obs_.commandStarted();
        if (flow_.announcesQuery) obs_.queryStarted();
        if (count() == 0) {
            obs_.nothingToAddress();
            return;
        }
        const int i = req_.selected;
        if (i < 0 || i >= count()) {
            obs_.notice({Notice::Kind::SelectOne, {}});
            return;
        }
        protocol::Selection query = flow_.statusKind == kStatusVideoParams
                                        ? protocol::BuildVideoParamsQuery(model(i))
                                        : protocol::BuildStatusQuery(flow_.statusKind, model(i));
        if (!query.ok()) {
            result(i).outcome = Outcome::RefusedForModel;
            if (query.outcome == protocol::Outcome::Refused) obs_.refused(model(i));
            return;
        }
        run_.frame = std::move(query.frame);
        if (req_.lan) {
            queryLan(i);
        } else {
            querySerial(i);
        }
    }

    // The selected row, else every row; each row gets both senders (each does nothing outside
    // its interface). Over RS-232 across all rows the pause comes before the send.
    void serviceWalk() {
        if (flow_.announcesStart) obs_.commandStarted();
        if (count() <= 0) {
            obs_.nothingToAddress();
            return;
        }
        const auto one = [&](int i, bool allRows) {
            if (!take(i, flow_.command)) return true;
            sendLan(i);
            if (!req_.lan && allRows) pause(flow_.serialPause);
            const bool open = sendSerial(i);
            return open || !flow_.stopOnClosedPort;
        };
        if (req_.selected >= 0 && req_.selected < count()) {
            one(req_.selected, false);
            return;
        }
        for (int i = 0; i < count(); ++i) {
            if (i > 0 && obs_.stopRequested()) break;
            if (!one(i, true)) break;
            flush();
        }
    }

    // ---- LAN exchanges ---------------------------------------------------------------

    // Connects the row's link; on failure the row is marked down.
    bool connect(int i, bool endsExchange) {
        const transport::LinkStatus st = links_.lan->open(target(i).address);
        if (st.ok()) return true;
        links_.lan->close();
        RowResult& r = result(i);
        r.outcome = rules::OutcomeOf(st.error);
        r.systemText = st.systemText;
        obs_.linkMarked(i, false);
        obs_.status(StatusText::None);
        if (endsExchange) obs_.exchangeEnded();
        return false;
    }

    // The outcome of an exchange whose reply was read.
    static Outcome Replied(const transport::ExchangeResult& ex) {
        if (!ex.status.ok() && ex.reply.empty()) return rules::OutcomeOf(ex.status.error);
        return rules::ClassifyReply(ex.reply);
    }

    void sendLan(int i) {
        obs_.replyAwaited(ExchangeKind::Send);
        if (!req_.lan) return;
        seal(i);
        obs_.status(StatusText::Connecting);
        if (!connect(i, true)) return;
        obs_.status(StatusText::Sending);
        const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanSend(req_.awaitLanAcknowledge));
        RowResult& r = result(i);
        r.reply = ex.reply;
        r.systemText = ex.status.systemText;
        if (req_.awaitLanAcknowledge) {
            r.outcome = Replied(ex);
        } else {
            r.outcome = ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error);
        }
        obs_.linkMarked(i, true);
        links_.lan->close();
        obs_.status(StatusText::None);
        obs_.exchangeEnded();
    }

    void decode(int i, const Bytes& reply, bool* accepted = nullptr) {
        const protocol::DecodeResult d = protocol::DecodeReply(reply, model(i), run_.values);
        if (accepted) *accepted = d.result;
        RowResult& r = result(i);
        // An acknowledge is never a value, whatever the window's decoder makes of its status
        // byte: only a data reply (length over 4) is reported as one.
        const protocol::Reply frame(reply);
        if (d.result && d.refresh && frame.isData()) Values(frame, run_.values, r.value);
        obs_.decoded(run_.values, d);
    }

    // What a decoded reply carried, by the command it answers.
    static void Values(const protocol::Reply& reply, const protocol::DisplayValues& v, Decoded& out) {
        const auto command = reply.command();
        if (!command) return;
        switch (*command) {
            case protocol::kCmdTemperature: out.temperature = v.temperature; break;
            case protocol::kCmdHours: out.hours = v.hours; break;
            case protocol::kCmdBacklightQuery: out.backlight = v.backlight; break;
            case protocol::kCmdVideoParamsQuery: out.video = v.video; break;
            default: break;
        }
    }

    void queryLan(int i) {
        obs_.status(StatusText::Connecting);
        if (!connect(i, true)) return;
        obs_.status(StatusText::Sending);
        seal(i);
        const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanQuery());
        RowResult& r = result(i);
        r.reply = ex.reply;
        r.outcome = Replied(ex);
        r.systemText = ex.status.systemText;
        obs_.replyTaken(ex.reply, ExchangeKind::Query);
        obs_.linkMarked(i, true);
        obs_.status(StatusText::None);
        decode(i, ex.reply);
        noValueIsShort(r);
        obs_.exchangeEnded();
        links_.lan->close();
    }

    // A query answered by a well-formed frame that carries no value (an acknowledge layout)
    // did not give what was asked.
    static void noValueIsShort(RowResult& r) {
        if (r.outcome == Outcome::Replied && r.value.empty()) r.outcome = Outcome::ShortReply;
    }

    void readThenSetLan(int i) {
        if (!req_.lan) return;
        obs_.status(StatusText::Connecting);
        if (!connect(i, false)) return;
        RowResult& r = result(i);
        if (take(i, flow_.queryCommand)) {
            obs_.status(StatusText::Sending);
            seal(i);
            const transport::ExchangeResult ex =
                links_.lan->exchange(run_.frame.bytes(), rules::LanReadThenSetQuery());
            r.reply = ex.reply;
            r.outcome = Replied(ex);
            obs_.linkMarked(i, true);
            obs_.status(StatusText::None);
            // A short answer is only an acknowledge: without the current values the set frame
            // would carry stale ones.
            bool accepted = false;
            if (ex.reply.size() > 12) decode(i, ex.reply, &accepted);
            if (!accepted) {
                if (r.outcome == Outcome::Replied) r.outcome = Outcome::ShortReply;
                links_.lan->close();
                return;
            }
        }
        // A model without the pre-read (or refused it) still gets the set frame.
        const Outcome preRead = r.outcome;
        if (take(i, flow_.command)) {
            seal(i);
            const transport::ExchangeResult ex = links_.lan->exchange(run_.frame.bytes(), rules::LanReadThenSetSet());
            r.reply = ex.reply;
            r.outcome = ex.reply.empty() ? (ex.status.ok() ? Outcome::Sent : rules::OutcomeOf(ex.status.error))
                                         : rules::ClassifyReply(ex.reply);
            keepPreReadFault(r, preRead);
        }
        links_.lan->close();
        obs_.status(StatusText::None);
    }

    // ---- RS-232 exchanges ------------------------------------------------------------

    bool portClosed(int i, bool endsExchange) {
        if (links_.serial && links_.serial->open(std::string()).ok()) return false;
        result(i).outcome = Outcome::PortClosed;
        obs_.notice({Notice::Kind::PortClosed, {}});
        if (endsExchange) obs_.exchangeEnded();
        return true;
    }

    // False only when the port is closed.
    bool sendSerial(int i) {
        obs_.replyAwaited(ExchangeKind::Send);
        if (req_.lan) return true;
        obs_.status(StatusText::Send);
        seal(i);
        if (portClosed(i, true)) return false;
        const transport::ExchangeResult ex = links_.serial->exchange(run_.frame.bytes(), rules::SerialSend());
        takeSendReply(i, ex);
        obs_.status(StatusText::None);
        obs_.exchangeEnded();
        return true;
    }

    void takeSendReply(int i, const transport::ExchangeResult& ex) {
        RowResult& r = result(i);
        r.systemText = ex.status.systemText;
        if (ex.reply.empty()) {
            r.outcome = ex.status.ok() ? Outcome::NoReply : rules::OutcomeOf(ex.status.error);
            return;
        }
        r.reply = ex.reply;
        r.outcome = rules::ClassifyReply(ex.reply);
        obs_.replyTaken(ex.reply, ExchangeKind::Send);
    }

    bool querySerial(int i) {
        if (req_.lan) return false;
        obs_.status(StatusText::Sending);
        seal(i);
        if (portClosed(i, true)) return false;
        const transport::ExchangeResult ex = links_.serial->exchange(run_.frame.bytes(), rules::SerialQuery());
        RowResult& r = result(i);
        r.systemText = ex.status.systemText;
        if (ex.reply.empty()) {
            r.outcome = ex.status.ok() ? Outcome::NoReply : rules::OutcomeOf(ex.status.error);
            obs_.notice({Notice::Kind::NoReply, target(i).id});
            return false;
        }
        r.reply = ex.reply;
        r.outcome = rules::ClassifyReply(ex.reply);
        obs_.linkMarked(i, true);
        obs_.status(StatusText::None);
        decode(i, ex.reply);
        noValueIsShort(r);
        obs_.exchangeEnded();
        return true;
    }

    bool readThenSetSerial(int i) {
        obs_.replyAwaited(ExchangeKind::PreRead);
        if (req_.lan) return true;
        RowResult& r = result(i);
        if (take(i, flow_.queryCommand)) {
            seal(i);
            if (portClosed(i, false)) return false;
            obs_.status(StatusText::Send);
            const transport::ExchangeResult ex =
                links_.serial->exchange(run_.frame.bytes(), rules::SerialReadThenSetQuery());
            if (ex.reply.empty()) {
                r.outcome = ex.status.ok() ? Outcome::NoReply : rules::OutcomeOf(ex.status.error);
                r.systemText = ex.status.systemText;
                obs_.notice({Notice::Kind::NoReply, target(i).id});
                return true;
            }
            r.reply = ex.reply;
            r.outcome = rules::ClassifyReply(ex.reply);
            obs_.replyTaken(ex.reply, ExchangeKind::PreRead);
            obs_.linkMarked(i, true);
            obs_.status(StatusText::None);
            // Byte 4 is the length: below 5 the display only acknowledged and sent no values.
            // A reply too short to hold byte 4 counts as such an acknowledge.
            if (!(protocol::Reply(ex.reply).signedLength() >= 5)) {
                if (r.outcome == Outcome::Replied) r.outcome = Outcome::ShortReply;
                return true;
            }
            decode(i, ex.reply);
        }
        const Outcome preRead = r.outcome;
        if (take(i, flow_.command)) {
            seal(i);
            if (portClosed(i, false)) return false;
            const transport::ExchangeResult ex =
                links_.serial->exchange(run_.frame.bytes(), rules::SerialReadThenSetSet());
            takeSendReply(i, ex);
            keepPreReadFault(r, preRead);
        }
        return true;
    }

    // A set frame built on a pre-read that went wrong carries values that may be stale: the
    // row keeps the pre-read's fault even when the set frame was acknowledged.
    static void keepPreReadFault(RowResult& r, Outcome preRead) {
        const bool preReadFailed = !Succeeded(preRead) && preRead != Outcome::RefusedForModel &&
                                   preRead != Outcome::NoReply;
        if (preReadFailed && Succeeded(r.outcome)) r.outcome = preRead;
    }

    const ControlRequest& req_;
    const ButtonFlow& flow_;
    ControlLinks links_;
    ControlObserver& obs_;
    ControlRun run_;
    RowRecorder rows_{req_.targets, obs_, run_.rows};
};

}  // namespace

ControlRun RunControlFlow(const ControlRequest& request, const ControlLinks& links, ControlObserver& observer) {
    if (!request.flow) return {};
    return Runner(request, links, observer).go();
}

}  // namespace dravik::flows
