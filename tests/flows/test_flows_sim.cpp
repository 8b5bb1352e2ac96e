// Each way a simulated display misbehaves, as the RowResult of a command and of a query, on
// both interfaces: LAN displays on 127.0.50.100.., one pseudo-terminal line.
#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "flows/control_flow.h"

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace dravik::flows {
namespace {

using flows::ButtonFlowId;

struct Case {
    sim::Fault fault;
    std::set<Outcome> on;           // "On", acknowledge awaited
    std::set<Outcome> temperature;  // temperature query
    bool value;                     // the query gave a temperature
};

const Case kCases[] = {
    {sim::Fault::None, {Outcome::Replied}, {Outcome::Replied}, true},
    {sim::Fault::AnswerLate, {Outcome::Replied}, {Outcome::Replied}, true},
    {sim::Fault::NeverAnswer, {Outcome::NoReply}, {Outcome::NoReply}, false},
    {sim::Fault::WrongHeader, {Outcome::WrongHeader}, {Outcome::WrongHeader}, false},
    {sim::Fault::ShortReply, {Outcome::Replied}, {Outcome::ShortReply}, false},
    {sim::Fault::Nack, {Outcome::Nack}, {Outcome::Nack}, false},
    {sim::Fault::Nav, {Outcome::Nav}, {Outcome::Nav}, false},
    // Longer than one read keeps: the frame is cut short of the length it announces.
    {sim::Fault::LongReply, {Outcome::ShortReply}, {Outcome::ShortReply}, false},
};

sim::DisplayConfig Config(sim::Fault fault, int id) {
    sim::DisplayConfig c;
    c.model = "LM-55";
    c.monitorId = id;
    c.fault = fault;
    c.lateMs = 300;
    return c;
}

ControlRun RunOne(ButtonFlowId id, targets::Target target, transport::Link& lan, transport::Link& serial) {
    ControlObserver quiet;
    ControlRequest req;
    req.flow = &flows::FlowOf(id);
    req.lan = !target.serial();
    req.targets = {std::move(target)};
    req.selected = 0;
    req.awaitLanAcknowledge = true;
    return RunControlFlow(req, {&lan, &serial}, quiet);
}

TEST(FlowsOnSimulatedDisplays, EachFaultOverLan) {
    int n = 0;
    for (const Case& c : kCases) {
        const std::string address = "127.0.50." + std::to_string(100 + n++);
        SCOPED_TRACE(address + " " + sim::FaultName(c.fault));
        sim::LanDisplay display(address, Config(c.fault, 3));
        std::string error;
        ASSERT_TRUE(display.start(&error)) << error;
        display.setTemperature(31);
        targets::Target t;
        t.address = address;
        t.model = "LM-55";
        t.id = "3";
        transport::LanLink lan;
        transport::SerialPort closedPort;
        transport::SerialLink none(closedPort);
        const ControlRun on = RunOne(ButtonFlowId::On, t, lan, none);
        ASSERT_EQ(on.rows.size(), 1u);
        EXPECT_TRUE(c.on.count(on.rows[0].outcome)) << OutcomeName(on.rows[0].outcome);
        const ControlRun q = RunOne(ButtonFlowId::Temperature, t, lan, none);
        ASSERT_EQ(q.rows.size(), 1u);
        EXPECT_TRUE(c.temperature.count(q.rows[0].outcome)) << OutcomeName(q.rows[0].outcome);
        EXPECT_EQ(q.rows[0].value.temperature.has_value(), c.value);
        if (c.value) {
            EXPECT_EQ(q.rows[0].value.temperature.value_or(0), 31);
        }
    }
}

TEST(FlowsOnSimulatedDisplays, EachFaultOnOneLine) {
    std::vector<sim::DisplayConfig> displays;
    int id = 1;
    for (const Case& c : kCases) displays.push_back(Config(c.fault, id++));
    sim::SerialLine line(displays);
    std::string error;
    ASSERT_TRUE(line.start(&error)) << error;
    transport::SerialPort port;
    ASSERT_EQ(port.open(QString::fromStdString(line.devicePath())), transport::OpenResult::Opened);
    transport::LanLink lan;
    transport::SerialLink serial(port);
    id = 1;
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string("ID ") + std::to_string(id) + " " + sim::FaultName(c.fault));
        line.display(id)->setTemperature(31);
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.model = "LM-55";
        t.id = std::to_string(id++);
        const ControlRun on = RunOne(ButtonFlowId::On, t, lan, serial);
        ASSERT_EQ(on.rows.size(), 1u);
        EXPECT_TRUE(c.on.count(on.rows[0].outcome)) << OutcomeName(on.rows[0].outcome);
        const ControlRun q = RunOne(ButtonFlowId::Temperature, t, lan, serial);
        ASSERT_EQ(q.rows.size(), 1u);
        EXPECT_TRUE(c.temperature.count(q.rows[0].outcome)) << OutcomeName(q.rows[0].outcome);
        EXPECT_EQ(q.rows[0].value.temperature.has_value(), c.value);
    }
    port.close();
    // A line that is not open: nothing is written, the row says so.
    const ControlRun closed = RunOne(ButtonFlowId::On, [] {
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = "1";
        return t;
    }(), lan, serial);
    ASSERT_EQ(closed.rows.size(), 1u);
    EXPECT_EQ(closed.rows[0].outcome, Outcome::PortClosed);
}

}  // namespace
}  // namespace dravik::flows
