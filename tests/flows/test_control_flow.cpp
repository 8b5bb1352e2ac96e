// The Control flows on scripted links: which rows get which frames, and what each row's
// RowResult says for each way a display can behave, on both interfaces.
#include "flows/control_flow.h"
#include "ui/texts.h"

#include "flows/reply_rules.h"
#include "protocol/frame.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace dravik::flows {
namespace {

using protocol::Byte;
using protocol::Bytes;
using flows::ButtonFlowId;

enum class Peer { Ack, Silent, Nack, Nav, Refuses, WrongHeader, Temperature32 };
using dravik::testing::Sealed;

Bytes Answer(Peer peer, Byte id, Byte command) {
    switch (peer) {
        case Peer::Ack: return Sealed({0x21, id, 0, 0, 4, 1, command, 0x00, 0});
        case Peer::Nack: return Sealed({0x21, id, 0, 0, 4, 1, command, 0x03, 0});
        case Peer::Nav: return Sealed({0x21, id, 0, 0, 4, 1, command, 0x04, 0});
        case Peer::WrongHeader: return {0x55, id, 0, 0};
        case Peer::Temperature32: return Sealed({0x21, id, 0, 0, 5, 1, command, 32, 0, 0});
        case Peer::Silent:
        case Peer::Refuses: break;
    }
    return {};
}

// LAN peers by address, RS-232 peers by the monitor ID of the frame; no time passes.
class ScriptedLink final : public transport::Link {
public:
    explicit ScriptedLink(bool serial) : serial_(serial) {}
    std::map<std::string, Peer> byAddress;
    std::map<int, Peer> byId;
    bool portOpen = true;
    std::vector<std::pair<std::string, Bytes>> written;  // where, frame

    transport::LinkStatus open(const std::string& address) override {
        transport::LinkStatus st;
        if (serial_) {
            if (!portOpen) st.error = transport::LinkError::PortClosed;
            return st;
        }
        where_ = address;
        const auto it = byAddress.find(address);
        if (it == byAddress.end() || it->second == Peer::Refuses) {
            st.error = transport::LinkError::ConnectRefused;
            st.systemText = "Connection refused";
        }
        return st;
    }
    transport::ExchangeResult exchange(std::span<const Byte> frame, const transport::ReplyRule& rule) override {
        transport::ExchangeResult ex;
        const Bytes f(frame.begin(), frame.end());
        written.emplace_back(serial_ ? "ID " + std::to_string(f[1]) : where_, f);
        if (rule.timeout.count() <= 0) return ex;
        Peer peer = Peer::Silent;
        if (serial_) {
            const auto it = byId.find(f[1]);
            if (it != byId.end()) peer = it->second;
        } else {
            peer = byAddress[where_];
        }
        ex.reply = Answer(peer, f[1], f.size() > 7 ? f[7] : 0);
        return ex;
    }
    void close() override {}

private:
    bool serial_;
    std::string where_;
};

struct Recorder final : ControlObserver {
    std::vector<std::string> messages;
    std::vector<std::string> refusals;
    std::vector<int> started;
    int beeps = 0;
    int stopAfter = -1;  // rows
    void notice(const Notice& notice) override { messages.push_back(ui::NoticeText(notice).toStdString()); }
    void refused(const std::string& model) override { refusals.push_back(model); }
    void nothingToAddress() override { ++beeps; }
    void rowStarted(int index) override { started.push_back(index); }
    bool stopRequested() override { return stopAfter >= 0 && static_cast<int>(started.size()) >= stopAfter; }
};

targets::Target Lan(const std::string& address, const std::string& model = "KA-55", const std::string& id = "1") {
    targets::Target t;
    t.address = address;
    t.model = model;
    t.id = id;
    return t;
}

targets::Target Serial(int id, const std::string& model = "KA-55") {
    targets::Target t;
    t.interface = targets::Interface::Serial;
    t.model = model;
    t.id = std::to_string(id);
    return t;
}

ControlRun RunFlow(ButtonFlowId id, std::vector<targets::Target> targets, ScriptedLink& lan, ScriptedLink& serial,
               Recorder& rec, bool isLan, int selected = -1, bool awaitAck = false) {
    ControlRequest req;
    req.flow = &flows::FlowOf(id);
    req.targets = std::move(targets);
    req.lan = isLan;
    req.selected = selected;
    req.awaitLanAcknowledge = awaitAck;
    return RunControlFlow(req, {&lan, &serial}, rec);
}

std::map<std::string, Outcome> ByTarget(const ControlRun& run) {
    std::map<std::string, Outcome> out;
    for (const RowResult& r : run.rows) out[r.target.label()] = r.outcome;
    return out;
}

TEST(ControlFlow, OutcomePerDisplayBehaviourOnBothInterfaces) {
    struct Case {
        Peer peer;
        Outcome lanSend;     // "On" over LAN, acknowledge awaited
        Outcome serialSend;  // "On" over RS-232
    };
    const Case cases[] = {
        {Peer::Ack, Outcome::Replied, Outcome::Replied},
        {Peer::Silent, Outcome::NoReply, Outcome::NoReply},
        {Peer::Nack, Outcome::Nack, Outcome::Nack},
        {Peer::Nav, Outcome::Nav, Outcome::Nav},
        {Peer::WrongHeader, Outcome::WrongHeader, Outcome::WrongHeader},
        {Peer::Refuses, Outcome::ConnectRefused, Outcome::NoReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.peer));
        ScriptedLink lan(false), serial(true);
        lan.byAddress["127.0.90.1"] = c.peer;
        serial.byId[1] = c.peer;
        Recorder rec;
        const ControlRun l = RunFlow(ButtonFlowId::On, {Lan("127.0.90.1")}, lan, serial, rec, true, -1, true);
        ASSERT_EQ(l.rows.size(), 1u);
        EXPECT_EQ(l.rows[0].outcome, c.lanSend);
        const ControlRun s = RunFlow(ButtonFlowId::On, {Serial(1)}, lan, serial, rec, false);
        ASSERT_EQ(s.rows.size(), 1u);
        EXPECT_EQ(s.rows[0].outcome, c.serialSend);
        EXPECT_TRUE(rec.messages.empty());
    }
}

TEST(ControlFlow, AWindowSendDoesNotWaitForAnAnswer) {
    ScriptedLink lan(false), serial(true);
    lan.byAddress["127.0.90.2"] = Peer::Silent;
    Recorder rec;
    const ControlRun run = RunFlow(ButtonFlowId::On, {Lan("127.0.90.2")}, lan, serial, rec, true);
    ASSERT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.rows[0].outcome, Outcome::Sent);
    ASSERT_EQ(run.rows[0].framesSent.size(), 1u);
    EXPECT_EQ(run.rows[0].framesSent[0].TxText(), "A6 01 00 00 00 04 01 18 02 B8 ");
}

TEST(ControlFlow, QueryAnswersAreValuesOnlyWhenTheyCarryData) {
    struct Case {
        Peer peer;
        Outcome outcome;
        bool hasTemperature;
    };
    const Case cases[] = {
        {Peer::Temperature32, Outcome::Replied, true},
        {Peer::Nack, Outcome::Nack, false},
        {Peer::Nav, Outcome::Nav, false},
        {Peer::Silent, Outcome::NoReply, false},
    };
    for (bool isLan : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(isLan) + " " + std::to_string(static_cast<int>(c.peer)));
            ScriptedLink lan(false), serial(true);
            lan.byAddress["127.0.90.3"] = c.peer;
            serial.byId[4] = c.peer;
            Recorder rec;
            const auto target = isLan ? Lan("127.0.90.3", "KA-55", "4") : Serial(4);
            const ControlRun run = RunFlow(ButtonFlowId::Temperature, {target}, lan, serial, rec, isLan, 0);
            ASSERT_EQ(run.rows.size(), 1u);
            EXPECT_EQ(run.rows[0].outcome, c.outcome);
            EXPECT_EQ(run.rows[0].value.temperature.has_value(), c.hasTemperature);
            if (c.hasTemperature) {
                EXPECT_EQ(*run.rows[0].value.temperature, 32);
            }
        }
    }
}

TEST(ControlFlow, ResultsDoNotDependOnTheOrderOfTheDisplays) {
    std::vector<targets::Target> fleet;
    ScriptedLink lan(false), serial(true);
    const Peer kinds[] = {Peer::Ack, Peer::Silent, Peer::Nack, Peer::Refuses, Peer::WrongHeader};
    for (int i = 0; i < 20; ++i) {
        const std::string address = "127.0.91." + std::to_string(i + 1);
        lan.byAddress[address] = kinds[i % 5];
        fleet.push_back(Lan(address, "KA-55", std::to_string(i % 25 + 1)));
    }
    Recorder rec;
    const auto expected = ByTarget(RunFlow(ButtonFlowId::Hdmi1, fleet, lan, serial, rec, true, -1, true));
    ASSERT_EQ(expected.size(), fleet.size());
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(fleet.begin(), fleet.end(), random);
        EXPECT_EQ(ByTarget(RunFlow(ButtonFlowId::Hdmi1, fleet, lan, serial, rec, true, -1, true)), expected);
    }
}

TEST(ControlFlow, AClosedLineEndsTheWalkWithOneMessage) {
    ScriptedLink lan(false), serial(true);
    serial.portOpen = false;
    Recorder rec;
    const ControlRun run = RunFlow(ButtonFlowId::On, {Serial(1), Serial(2), Serial(3)}, lan, serial, rec, false);
    ASSERT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.rows[0].outcome, Outcome::PortClosed);
    EXPECT_EQ(rec.messages, std::vector<std::string>{"COM Port Closed "});
    EXPECT_TRUE(serial.written.empty());
}

TEST(ControlFlow, RefusedModelsAreSkippedAndNamed) {
    ScriptedLink lan(false), serial(true);
    lan.byAddress["127.0.90.5"] = Peer::Ack;
    lan.byAddress["127.0.90.6"] = Peer::Ack;
    Recorder rec;
    // The NFB-9603 takes no brightness pre-read and no set frame.
    const ControlRun run =
        RunFlow(ButtonFlowId::Brightness, {Lan("127.0.90.5", "NFB-9603"), Lan("127.0.90.6", "NFB-6502", "2")}, lan, serial,
            rec, true);
    const auto outcomes = ByTarget(run);
    EXPECT_EQ(outcomes.at("127.0.90.5"), Outcome::RefusedForModel);
    EXPECT_EQ(rec.refusals, (std::vector<std::string>{"NFB-9603", "NFB-9603"}));
    ASSERT_EQ(lan.written.size(), 1u);
    EXPECT_EQ(lan.written[0].first, "127.0.90.6");
}

TEST(ControlFlow, AStopEndsTheWalkBetweenRows) {
    ScriptedLink lan(false), serial(true);
    std::vector<targets::Target> fleet;
    for (int i = 0; i < 6; ++i) {
        const std::string address = "127.0.92." + std::to_string(i + 1);
        lan.byAddress[address] = Peer::Ack;
        fleet.push_back(Lan(address));
    }
    Recorder rec;
    rec.stopAfter = 2;
    const ControlRun run = RunFlow(ButtonFlowId::On, fleet, lan, serial, rec, true);
    EXPECT_EQ(run.rows.size(), 2u);
    EXPECT_EQ(lan.written.size(), 2u);
}

TEST(ControlFlow, AnEmptyListOnlyBeepsAndAQueryNeedsOneRow) {
    ScriptedLink lan(false), serial(true);
    Recorder rec;
    EXPECT_TRUE(RunFlow(ButtonFlowId::On, {}, lan, serial, rec, true).rows.empty());
    EXPECT_EQ(rec.beeps, 1);
    EXPECT_TRUE(RunFlow(ButtonFlowId::Temperature, {Lan("127.0.90.7")}, lan, serial, rec, true, -1).rows.empty());
    EXPECT_EQ(rec.messages, std::vector<std::string>{"Please Select One Monitor"});
    EXPECT_TRUE(lan.written.empty());
}

}  // namespace
}  // namespace dravik::flows
