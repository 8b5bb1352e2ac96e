// Each Control-page command run two ways against the same simulated display: through the
// page's flow (RunControlFlow as the page calls it, with the page's default values) and
// through dravikctl, over the LAN and over an RS-232 line. Both must send the same frames and
// end in the same outcome. On the LAN dravikctl reads the acknowledge the page does not
// wait for; --no-wait gives the page's own exchange, so that is what is compared.
// Addresses: 127.0.80.10 .. 127.0.80.19 only.
#include "ctl_helpers.h"

#include "flows/control_flow.h"
#include "flows/button_table.h"
#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"

#include <QJsonArray>

namespace dravik::ctl::testing {
namespace {

using flows::ButtonFlow;
using flows::FlowKind;

struct ParityCase {
    bool lan;
    const char* model;
    int address;  // 127.0.80.x (LAN)
};

void PrintTo(const ParityCase& c, std::ostream* os) { *os << (c.lan ? "LAN " : "RS-232 ") << c.model; }

std::string Addr(int n) { return "127.0.80." + std::to_string(n); }

// The command line that asks dravikctl for what the page's button does with its defaults.
std::vector<std::string> CtlArgs(const ButtonFlow& flow, bool lan, const std::string& where, const char* model) {
    const bool query = flow.kind == FlowKind::StatusQuery;
    std::string name(flow.name);
    if (name == "backlight-query") name = "backlight";
    std::vector<std::string> args{query ? "query" : "send", name, lan ? "--ip" : "--serial", where,
                                  "--model", model, "--id", "3", "--json"};
    const protocol::DisplayValues defaults;
    switch (flow.command) {
        case protocol::Command::Backlight: args.insert(args.end(), {"--level", std::to_string(defaults.backlight)}); break;
        case protocol::Command::BrightnessSet:
            args.insert(args.end(), {"--level", std::to_string(defaults.brightness)});
            break;
        case protocol::Command::Volume: args.insert(args.end(), {"--level", std::to_string(defaults.volume)}); break;
        case protocol::Command::KeyLock:
        case protocol::Command::IrLock: args.insert(args.end(), {"--key-lock", "off", "--ir-lock", "off"}); break;
        default: break;
    }
    // The sends whose LAN exchange reads the acknowledge unless told not to.
    const bool acknowledged = flow.kind == FlowKind::Fixed || flow.kind == FlowKind::ByModel ||
                              flow.kind == FlowKind::PowerOff || flow.kind == FlowKind::ServiceWalk;
    if (lan && acknowledged) args.push_back("--no-wait");
    return args;
}

flows::RowResult RunPage(const ButtonFlow& flow, const ParityCase& c, const std::string& device) {
    targets::Target t;
    t.interface = c.lan ? targets::Interface::Lan : targets::Interface::Serial;
    t.address = c.lan ? Addr(c.address) : std::string();
    t.model = c.model;
    t.id = "3";
    flows::ControlRequest req;
    req.flow = &flow;
    req.targets = {t};
    req.selected = flow.kind == FlowKind::StatusQuery ? 0 : -1;  // a query asks the selected row
    req.lan = c.lan;
    flows::ControlObserver quiet;
    transport::LanLink lan;
    transport::SerialPort port;
    if (!c.lan) {
        EXPECT_EQ(port.open(QString::fromStdString(device)), transport::OpenResult::Opened) << device;
    }
    transport::SerialLink serial(port);
    const flows::ControlRun run = flows::RunControlFlow(req, {&lan, &serial}, quiet);
    EXPECT_EQ(run.rows.size(), 1u) << flow.name;
    return run.rows.empty() ? flows::RowResult{} : run.rows.front();
}

class ControlParity : public ::testing::TestWithParam<ParityCase> {};

TEST_P(ControlParity, PageFlowAndDravikctlSendTheSameFramesWithTheSameOutcome) {
    const ParityCase& c = GetParam();
    std::unique_ptr<sim::LanDisplay> display;
    std::unique_ptr<sim::SerialLine> line;
    std::string where;
    if (c.lan) {
        display = StartLan(Addr(c.address), Config(c.model, 3));
        where = Addr(c.address);
    } else {
        line = StartLine({Config(c.model, 3)});
        where = line->devicePath();
    }
    const auto log = [&] { return Hex(c.lan ? display->log() : line->log()); };
    const auto clear = [&] { c.lan ? display->clearLog() : line->clearLog(); };
    int compared = 0;
    for (const ButtonFlow& flow : flows::ButtonFlows()) {
        if (!flow.console) continue;
        SCOPED_TRACE(std::string(flow.name) + (c.lan ? " LAN " : " RS-232 ") + c.model);
        clear();
        const flows::RowResult page = RunPage(flow, c, where);
        const std::vector<std::string> pageFrames = log();

        clear();
        const CtlRun o = Ctl(CtlArgs(flow, c.lan, where, c.model));
        const std::vector<std::string> ctlFrames = log();
        const auto json = o.json();
        ASSERT_EQ(json.size(), 1u) << o.out << o.err;

        EXPECT_EQ(ctlFrames, pageFrames);
        EXPECT_EQ(json[0]["outcome"].toString().toStdString(), std::string(flows::OutcomeName(page.outcome))) << o.out;
        // What dravikctl reports as sent is what the display logged.
        std::vector<std::string> reported;
        for (const auto& f : json[0]["frames"].toArray()) reported.push_back(f.toString().toStdString());
        EXPECT_EQ(reported, pageFrames);
        ++compared;
    }
    EXPECT_GE(compared, 30);
}

INSTANTIATE_TEST_SUITE_P(Lan, ControlParity,
                         ::testing::Values(ParityCase{true, "KA-55", 10}, ParityCase{true, "LM-55", 11},
                                           ParityCase{true, "NFB-6502", 12}, ParityCase{true, "KC-55D3", 13}),
                         [](const auto& info) { return "Lan" + std::to_string(info.index); });
INSTANTIATE_TEST_SUITE_P(Serial, ControlParity,
                         ::testing::Values(ParityCase{false, "KA-55", 0}, ParityCase{false, "LM-55", 0}),
                         [](const auto& info) { return "Serial" + std::to_string(info.index); });

}  // namespace
}  // namespace dravik::ctl::testing
