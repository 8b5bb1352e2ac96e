// "frame" prints what the Control page's selectors and builders give: one source.
#include "ctl_helpers.h"

#include "protocol/models.h"
#include "protocol/selectors.h"
#include "protocol/status.h"

#include <optional>

namespace dravik::ctl::testing {
namespace {

using protocol::Command;
using protocol::Outcome;
using protocol::Selection;

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
    return s;
}

// The line the page's own lookups lead to for this model and ID.
std::string Expected(Selection selection, const std::string& model, const std::string& name, protocol::Byte id) {
    switch (selection.outcome) {
        case Outcome::Frame:
            selection.frame.SetMonitorId(id);
            return Trimmed(protocol::HexSpaced(selection.frame.bytes()));
        case Outcome::Refused: return Trimmed(protocol::RefusalText(model));
        case Outcome::Silent: return "silent: " + model + " gets no frame for " + name;
    }
    return {};
}

struct Named {
    std::string name;
    std::optional<Command> command;  // a model-dependent Control-page command
    int statusKind = 0;              // or a status query (kind 1..3), or -1 the brightness pre-read
};

const std::vector<Named> kCommands = {
    {"hdmi1", Command::Hdmi1},        {"hdmi2", Command::Hdmi2},   {"displayport", Command::DisplayPort},
    {"dvi", Command::Dvi},            {"vga", Command::Vga},       {"usb", Command::Usb},
    {"cms", Command::Cms},            {"custom", Command::Custom}, {"off", Command::Off},
    {"backlight", Command::Backlight}, {"volume", Command::Volume}, {"key-lock", Command::KeyLock},
    {"ir-lock", Command::IrLock},     {"reset", Command::Reset},   {"media-player", Command::MediaPlayer},
    {"ops", Command::Ops},            {"temperature", {}, 1},      {"hours", {}, 2},
    {"backlight-query", {}, 3},       {"video", {}, -1},
};

// One model of every group, and the near-identical names that land in different groups.
std::vector<std::string> Models() {
    std::vector<std::string> models;
    for (const auto& g : protocol::kGroups) models.emplace_back(g.members.front());
    for (const char* m : {"KA-4301Q", "NFB-8603", "NFB-9603", "LM-65A", "KB-3202", "MS-15G"}) models.emplace_back(m);
    return models;
}

TEST(DravikCtlFrame, AgreesWithTheSelectorsForEveryGroup) {
    for (const std::string& model : Models()) {
        for (const Named& c : kCommands) {
            // Values as a script gives them: they reach the builders through the page values.
            protocol::DisplayValues values;
            values.backlight = 70;
            values.volume = 75;
            values.keyLock = true;
            Selection selection;
            if (c.command) {
                selection = protocol::Select(*c.command, model, values);
            } else if (c.statusKind > 0) {
                selection = protocol::BuildStatusQuery(c.statusKind, model);
            } else {
                selection = protocol::BuildVideoParamsQuery(model);
            }
            std::vector<std::string> args{"frame", c.name, "--model", model, "--id", "7"};
            if (c.name == "backlight") args.insert(args.end(), {"--level", "70"});
            if (c.name == "volume") args.insert(args.end(), {"--level", "75"});
            if (c.name == "key-lock" || c.name == "ir-lock") args.insert(args.end(), {"--key-lock", "on"});
            const CtlRun o = Ctl(args);
            ASSERT_EQ(o.lines().size(), 1u) << model << " " << c.name << "\n" << o.out << o.err;
            EXPECT_EQ(o.lines()[0], Expected(selection, model, c.name, 7)) << model << " " << c.name;
            EXPECT_EQ(o.status, selection.ok() ? kExitOk : kExitFailed) << model << " " << c.name;
        }
    }
}

TEST(DravikCtlFrame, BrightnessPrintsQueryAndSetFromTheSameLookups) {
    for (const std::string& model : Models()) {
        protocol::DisplayValues values;
        values.brightness = 51;
        const Selection query = protocol::Select(Command::BrightnessQuery, model, values);
        const Selection set = protocol::Select(Command::BrightnessSet, model, values);
        const CtlRun o = Ctl({"frame", "brightness", "--model", model, "--level", "51"});
        ASSERT_EQ(o.lines().size(), 2u) << model << o.err;
        const std::string queryText =
            query.outcome == Outcome::Silent ? "none" : Expected(query, model, "brightness", 1);
        EXPECT_EQ(o.lines()[0], "query: " + queryText) << model;
        EXPECT_EQ(o.lines()[1], "set: " + Expected(set, model, "brightness", 1)) << model;
    }
}

struct Worked {
    std::vector<std::string> args;
    std::vector<std::string> lines;
};

TEST(DravikCtlFrame, WorkedFrames) {
    const std::vector<Worked> cases = {
        {{"frame", "on"}, {"A6 01 00 00 00 04 01 18 02 B8"}},
        {{"frame", "on", "--id", "12"}, {"A6 0C 00 00 00 04 01 18 02 B5"}},
        {{"frame", "off", "--model", "NFB-6502"}, {"A6 01 00 00 00 04 01 A8 00 0A"}},
        {{"frame", "off", "--model", "KA-55"}, {"A6 01 00 00 00 04 01 18 01 BB"}},
        {{"frame", "ok"}, {"A6 01 00 00 00 04 01 FD B1 EE"}},
        {{"frame", "info"}, {"A6 01 00 00 00 04 01 FD D2 8D"}},
        {{"frame", "hdmi1", "--model", "LM-43"}, {"A6 01 00 00 00 07 01 AC 0D 00 00 00 00"}},
        {{"frame", "volume", "--model", "KA-42", "--level", "75"}, {"A6 01 00 00 00 04 01 44 3C DA"}},
        {{"frame", "volume", "--model", "LM-4302", "--level", "-1"}, {"A6 01 00 00 00 05 01 44 FF FF E7"}},
        {{"frame", "backlight", "--model", "KA-55", "--level", "300"}, {"A6 01 00 00 00 04 01 30 2C BE"}},
        {{"frame", "key-lock", "--model", "KA-42", "--key-lock", "on"}, {"A6 01 00 00 00 04 01 1C 01 BF"}},
        {{"frame", "wall-settings", "--model", "KA-55Q", "--matrix", "3x2", "--pos", "4"},
         {"A6 01 00 00 00 07 01 22 01 01 04 12 95"}},
        {{"frame", "wall-settings", "--model", "KA-55", "--matrix", "3x2", "--enable", "off"},
         {"A6 01 00 00 00 07 01 22 00 01 00 0D 8F"}},
        {{"frame", "wall-on", "--id", "0"}, {"A6 01 00 00 00 07 01 22 01 02 00 00 80"}},
        {{"frame", "wall-off", "--id", "26"}, {"A6 01 00 00 00 07 01 22 00 02 00 00 81"}},
        {{"frame", "gains"}, {"A6 01 00 00 00 03 01 37 92"}},
        {{"frame", "gains", "--model", "KC-55D3", "--rgb", "255,0,128"},
         {"request: A6 01 00 00 00 03 01 37 92", "set: A6 01 00 00 00 09 01 36 FF 00 80 80 80 80 66"}},
        {{"frame", "gains", "--model", "KA-55", "--rgb", "255,0,128", "--id", "3"},
         {"request: A6 03 00 00 00 03 01 37 90", "set: A6 03 00 00 00 06 01 36 FF 00 80 EB"}},
        {{"frame", "brightness", "--model", "LM-4302", "--level", "51"},
         {"query: A6 01 00 00 00 03 01 33 96", "set: A6 01 00 00 00 0A 01 32 32 00 00 00 00 00 00 AC"}},
        {{"frame", "brightness", "--model", "SVL-4301", "--level", "60"},
         {"query: none", "set: A6 01 00 00 00 04 01 C0 3C 5E"}},
        {{"frame", "brightness", "--model", "KA-4301Q"},
         {"query: KA-4301Q No This Function or unsupported !", "set: KA-4301Q No This Function or unsupported !"}},
    };
    for (const Worked& c : cases) {
        const CtlRun o = Ctl(c.args);
        EXPECT_EQ(o.lines(), c.lines) << c.args[1] << "\n" << o.err;
    }
}

TEST(DravikCtlFrame, RefusedAndSilentModelsExitOne) {
    CtlRun o = Ctl({"frame", "backlight", "--model", "LM-43"});
    EXPECT_EQ(o.out, "silent: LM-43 gets no frame for backlight\n");
    EXPECT_EQ(o.status, kExitFailed);
    o = Ctl({"frame", "hdmi2", "--model", "GBW-2201"});
    EXPECT_EQ(o.out, "GBW-2201 No This Function or unsupported !\n");
    EXPECT_EQ(o.status, kExitFailed);
}

}  // namespace
}  // namespace dravik::ctl::testing
