// Every Control and wall flow through every fault the in-memory link can inject, on both
// interfaces: the flow ends, the row says what went wrong (never a success it did not have),
// and the next flow on the same link works. Time is virtual: the table runs at once.
#include "flows/control_flow.h"
#include "ui/texts.h"
#include "flows/wall_commands.h"

#include "protocol/catalogue.h"
#include "transport/memory_link.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravik::flows {
namespace {

using protocol::Byte;
using protocol::Bytes;
using transport::MemoryFault;
using transport::MemoryLink;

const char* const kAddress = "127.0.50.200";
constexpr int kId = 3;
using dravik::testing::Sealed;

// A well display: data for the queries, an acknowledge for everything else.
Bytes Answer(std::span<const Byte> frame) {
    const Byte id = frame.size() > 1 ? frame[1] : 0;
    const Byte command = frame.size() > 7 ? frame[7] : 0;  // A6 ID 00 00 00 LEN 01 CMD
    switch (command) {
        case protocol::kCmdTemperature:
        case protocol::kCmdHours:
        case protocol::kCmdBacklightQuery:
        case protocol::kCmdVideoParamsQuery:
            return Sealed({0x21, id, 0, 0, 12, 1, command, 40, 10, 20, 30, 5, 1, 2, 3, 0, 0});
        case 0x37:  // the colour gains
            return Sealed({0x21, id, 0, 0, 6, 1, command, 10, 20, 30, 0});
        default:
            return Sealed({0x21, id, 0, 0, 4, 1, command, 0x00, 0});
    }
}

const MemoryFault kFaults[] = {
    MemoryFault::ConnectRefused, MemoryFault::ConnectHangs, MemoryFault::WriteShort,
    MemoryFault::WriteError,     MemoryFault::SplitReply,   MemoryFault::LateReply,
    MemoryFault::PeerClosesMidReply, MemoryFault::DeviceVanishes,
};

const char* Name(MemoryFault f) {
    switch (f) {
        case MemoryFault::None: return "none";
        case MemoryFault::ConnectRefused: return "connect refused";
        case MemoryFault::ConnectHangs: return "connect hangs";
        case MemoryFault::WriteShort: return "write short";
        case MemoryFault::WriteError: return "write error";
        case MemoryFault::SplitReply: return "split reply";
        case MemoryFault::LateReply: return "late reply";
        case MemoryFault::PeerClosesMidReply: return "peer closes mid-reply";
        case MemoryFault::DeviceVanishes: return "device vanishes";
    }
    return "?";
}

struct Links {
    transport::VirtualClock clock;
    MemoryLink lan{MemoryLink::Style::Lan, &clock};
    MemoryLink serial{MemoryLink::Style::Serial, &clock};
    Links() {
        lan.setPeer(kAddress, &Answer);
        serial.setPeer(kId, &Answer);
        lan.setConnectBound(transport::Millis{5000});
    }
};

targets::Target Target(bool lan) {
    targets::Target t;
    t.interface = lan ? targets::Interface::Lan : targets::Interface::Serial;
    t.address = lan ? kAddress : "";
    t.model = "LM-55";
    t.id = std::to_string(kId);
    return t;
}

struct Recorder final : ControlObserver {
    int linkDown = 0;
    std::vector<std::string> messages;
    void linkMarked(int, bool up) override { linkDown += up ? 0 : 1; }
    void notice(const Notice& notice) override { messages.push_back(ui::NoticeText(notice).toStdString()); }
};

std::vector<RowResult> RunButton(const flows::ButtonFlow& flow, bool lan, Links& links, Recorder& rec) {
    ControlRequest req;
    req.flow = &flow;
    req.lan = lan;
    req.targets = {Target(lan)};
    req.selected = 0;
    req.awaitLanAcknowledge = true;  // every exchange reads, so every fault must show
    req.clock = &links.clock;
    return RunControlFlow(req, {&links.lan, &links.serial}, rec).rows;
}

// What a fault may leave in the row: never a success, and for the connect faults the
// connect's own outcome.
void ExpectReported(MemoryFault fault, bool lan, const RowResult& r, const Recorder& rec) {
    EXPECT_FALSE(Succeeded(r.outcome)) << OutcomeName(r.outcome);
    if (!lan) return;
    if (fault == MemoryFault::ConnectRefused) {
        EXPECT_EQ(r.outcome, Outcome::ConnectRefused);
        EXPECT_EQ(rec.linkDown, 1);
    }
    if (fault == MemoryFault::ConnectHangs) {
        EXPECT_EQ(r.outcome, Outcome::ConnectTimedOut);
        EXPECT_EQ(rec.linkDown, 1);
    }
}

TEST(FaultInjection, EveryControlFlowThroughEveryFault) {
    int exercised = 0;
    for (const flows::ButtonFlow& flow : flows::ButtonFlows()) {
        for (bool lan : {true, false}) {
            for (MemoryFault fault : kFaults) {
                // The connect faults belong to the LAN; a line has nothing to connect.
                if (!lan && (fault == MemoryFault::ConnectRefused || fault == MemoryFault::ConnectHangs)) continue;
                if (lan && fault == MemoryFault::DeviceVanishes) continue;
                SCOPED_TRACE(std::string(flow.name) + (lan ? " LAN " : " RS-232 ") + Name(fault));
                Links links;
                Recorder clean;
                // The model takes the command at all: a flow it refuses sends nothing to fault.
                const auto baseline = RunButton(flow, lan, links, clean);
                if (baseline.empty() || baseline[0].outcome == Outcome::RefusedForModel) continue;
                ASSERT_TRUE(Succeeded(baseline[0].outcome)) << OutcomeName(baseline[0].outcome);

                if (lan) {
                    links.lan.queueFaults(kAddress, {fault});
                } else {
                    links.serial.queueFaults(kId, {fault});
                }
                Recorder rec;
                const auto faulted = RunButton(flow, lan, links, rec);
                ASSERT_EQ(faulted.size(), 1u);
                ExpectReported(fault, lan, faulted[0], rec);
                if (fault == MemoryFault::DeviceVanishes) {
                    // Until the operator opens the line again, every send says the port is closed.
                    Recorder closed;
                    const auto after = RunButton(flow, lan, links, closed);
                    ASSERT_EQ(after.size(), 1u);
                    EXPECT_EQ(after[0].outcome, Outcome::PortClosed);
                    EXPECT_EQ(closed.messages, std::vector<std::string>{"COM Port Closed "});
                    links.serial.reopen();
                }
                // A late reply still waits on the link; the next exchange's drain discards it.
                Recorder next;
                const auto again = RunButton(flow, lan, links, next);
                ASSERT_EQ(again.size(), 1u);
                EXPECT_TRUE(Succeeded(again[0].outcome)) << OutcomeName(again[0].outcome);
                ++exercised;
            }
        }
    }
    EXPECT_GT(exercised, 300);
}

TEST(FaultInjection, EveryWallCommandThroughEveryFault) {
    const WallCommand commands[] = {WallCommand::PowerOn, WallCommand::PowerOff, WallCommand::WallOn,
                                    WallCommand::WallOff, WallCommand::Settings, WallCommand::LocationTest,
                                    WallCommand::GetGains, WallCommand::SetGains};
    for (WallCommand command : commands) {
        for (bool lan : {true, false}) {
            for (MemoryFault fault : kFaults) {
                if (!lan && (fault == MemoryFault::ConnectRefused || fault == MemoryFault::ConnectHangs)) continue;
                if (lan && fault == MemoryFault::DeviceVanishes) continue;
                SCOPED_TRACE(std::to_string(static_cast<int>(command)) + (lan ? " LAN " : " RS-232 ") + Name(fault));
                Links links;
                const auto run = [&](Recorder& rec) {
                    WallRequest req;
                    req.command = command;
                    req.lan = lan;
                    req.targets = {Target(lan)};
                    req.targets[0].pos = "1";
                    req.selected = 0;
                    req.clock = &links.clock;
                    struct Wall final : WallObserver {
                        Recorder& r;
                        explicit Wall(Recorder& rec) : r(rec) {}
                        void linkMarked(int i, bool up) override { r.linkMarked(i, up); }
                        void notice(const Notice& n) override { r.notice(n); }
                    } observer(rec);
                    return RunWallFlow(req, {&links.lan, &links.serial}, observer).rows;
                };
                if (lan) {
                    links.lan.queueFaults(kAddress, {fault});
                } else {
                    links.serial.queueFaults(kId, {fault});
                }
                Recorder rec;
                const auto faulted = run(rec);
                ASSERT_EQ(faulted.size(), 1u);
                const Outcome o = faulted[0].outcome;
                // The wall's writes read nothing back over RS-232 and only one receive over LAN
                // (the location test none), so a reply fault may pass unseen; a failed connect
                // or write never does.
                switch (fault) {
                    case MemoryFault::ConnectRefused: EXPECT_EQ(o, Outcome::ConnectRefused); break;
                    case MemoryFault::ConnectHangs: EXPECT_EQ(o, Outcome::ConnectTimedOut); break;
                    case MemoryFault::WriteShort:
                    case MemoryFault::WriteError:
                    case MemoryFault::DeviceVanishes: EXPECT_FALSE(Succeeded(o)) << OutcomeName(o); break;
                    default: break;
                }
                if (fault == MemoryFault::DeviceVanishes) links.serial.reopen();
                Recorder next;
                const auto again = run(next);
                ASSERT_EQ(again.size(), 1u);
                EXPECT_TRUE(Succeeded(again[0].outcome)) << OutcomeName(again[0].outcome);
            }
        }
    }
}

}  // namespace
}  // namespace dravik::flows
