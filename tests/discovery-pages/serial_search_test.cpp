// "Search" and "Check Monitor" as page-independent runners on a serial line: the in-memory
// line (virtual time, faults on demand) and a simulated display's pseudo-terminal, with
// both pages' options: the cases the pages' own tests cannot reach through a simulated
// display, and the waits each step takes.
#include "discovery/serial_search.h"
#include "ui/texts.h"
#include "pages/wall/wall_texts.h"
#include "discovery_support.h"

#include "transport/memory_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"

#include <array>
#include <vector>

namespace dravik::discovery_pages {
namespace {

using discovery::FoundId;
using discovery::SerialDiscoveryOptions;
using flows::Outcome;
using transport::MemoryFault;
using transport::MemoryLink;
using transport::Millis;

// What one reply gives each page: a "Search" row text (or none) and a "Check Monitor" match
// with the row's model.
TEST(SerialSearch, RepliesByPage) {
    const auto control = discovery::ControlPageSerialOptions();
    const auto wall = discovery::WallPageSerialOptions();
    const std::optional<QString> none;
    const struct {
        const char* name;
        Bytes reply;
        const char* model;  // selected in the combo / the row's model
        std::optional<QString> controlRow, wallRow;
        bool check;
    } cases[] = {
        {"model name", ReplyWithLength(2, 0xA1, 8, "LM-55"), "LM-55", "LM-55", "LM-55", true},
        {"another model", ReplyWithLength(2, 0xA1, 8, "LM-65"), "LM-55", "LM-65", none, false},
        {"maker name first", ReplyWithLength(2, 0xA1, 16, "ORVANTE LM-55"), "LM-55", "LM-55", none, false},
        {"trailing blank", ReplyWithLength(2, 0xA1, 9, "LM-55 "), "LM-55", "LM-55 ", none, false},
        // Byte 4 = 5: text under the limit 4, none under the Control search's limit 5.
        {"byte 4 is 5", ReplyWithLength(3, 0xA2, 5, "KA-55"), "KA-55", none, "KA-55", true},
        {"byte 4 is 4", ReplyWithLength(3, 0xA2, 4, "KA-55"), "KA-55", none, none, false},
        // A text reply with no text still lists the ID on the Control page.
        {"empty text", ReplyWithLength(3, 0xA2, 8, ""), "KA-55", "", none, false},
        {"other command", ReplyWithLength(3, 0x33, 8, "KA-55"), "KA-55", none, none, false},
        {"wrong header", {0x12, 3, 0, 0, 8, 1, 0xA2, 'K', 'A', 0x00}, "KA", none, none, false},
        {"cut short", {0x21, 3, 0, 0, 8, 1}, "", none, none, false},
        {"nothing", {}, "", none, none, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(discovery::SearchRowText(c.reply, c.model, control), c.controlRow);
        EXPECT_EQ(discovery::SearchRowText(c.reply, c.model, wall), c.wallRow);
        EXPECT_EQ(discovery::ReplyNamesModel(c.reply, c.model), c.check);
    }
}


// The events a front end gets, as "kind:detail" in order.
class Recorder final : public discovery::SerialDiscoveryObserver {
public:
    void status(flows::StatusText text) override { events << "status:" + ui::StatusLineText(text); }
    void notice(const flows::Notice& notice) override { events << "message:" + ui::NoticeText(notice); }
    void refused(const std::string& model) override { events << "refused:" + QString::fromStdString(model); }
    void nothingToAddress() override { events << "beep"; }
    void exchangeEnded() override { events << "focus"; }
    void commandStarted() override { events << "clearTx"; }
    void searchStarted(int total) override { events << "started:" + QString::number(total); }
    void searchProgress(int done, int total) override {
        lastProgress = done;
        progressTotal = total;
        if (done == stopAfter) stop = true;
    }
    void found(const FoundId& id) override { events << "found:" + QString::number(id.id); }
    void searchEnded() override { events << "ended"; }
    void rowStarted(int index) override { events << "row:" + QString::number(index); }
    void frameSealed(int, const protocol::Frame& frame) override {
        events << "tx:" + QString::fromStdString(protocol::HexSpaced(frame.bytes())).trimmed();
    }
    void replyReceived(int, std::span<const Byte>) override { events << "rx"; }
    void rowChecked(int index, const flows::RowResult& r, bool named) override {
        if (index + 1 == stopAfter) stop = true;
        events << QString("checked:%1:%2:%3").arg(index).arg(named ? "Y" : "N")
                      .arg(QString::fromLatin1(flows::OutcomeName(r.outcome).data()));
    }
    bool stopRequested() override { return stop; }

    QStringList events;
    int lastProgress = 0;
    int progressTotal = 0;
    int stopAfter = -1;
    bool stop = false;
};

// A line that is not open.
class ClosedLine final : public transport::Link {
public:
    transport::LinkStatus open(const std::string&) override { return {transport::LinkError::PortClosed, "not open"}; }
    transport::ExchangeResult exchange(std::span<const Byte>, const transport::ReplyRule&) override {
        ++exchanges;
        return {{transport::LinkError::PortClosed, "not open"}, {}, false};
    }
    void close() override {}
    int exchanges = 0;
};

// An identity reply as the displays send it: 21 ID 00 00 LEN 01 CMD text CS.
Bytes Identity(std::span<const Byte> frame, std::string_view text) {
    return ReplyWithLength(frame[1], frame[7], static_cast<Byte>(text.size() + 3), text);
}
void AddPeer(MemoryLink& line, int id, std::string text) {
    line.setPeer(id, [text](std::span<const Byte> frame) { return Identity(frame, text); });
}

// Per ID a search waits the drain's look (150 ms), the first wait, and when nothing came the
// read's look, the second wait and the look again.
Millis SearchTime(const SerialDiscoveryOptions& o, int answering, int silent) {
    const Millis answered = Millis{150 + o.searchFirstWaitMs};
    const Millis nothing = answered + Millis{150 + o.searchSecondWaitMs + 150};
    return answered * answering + nothing * silent;
}

// The wall page refuses a model outside its table with its own text (moved from the
// protocol tests with the text).
TEST(SerialSearch, WallRefusalText) {
    EXPECT_EQ(pages::wall_texts::Refusal("LM-55A"), "LM-55A No This Function or Unsupported !\r\n");
}

TEST(SerialSearch, SearchByPage) {
    const auto control = discovery::ControlPageSerialOptions();
    const auto wall = discovery::WallPageSerialOptions();
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        const char* model;  // selected
        std::vector<std::pair<int, std::string>> peers;
        std::vector<FoundId> found;
    } cases[] = {
        {"control lists every answer without the maker name", control, "LM-55",
         {{2, "LM-55"}, {11, "ORVANTE LM-55"}, {17, "KA-55"}},
         {{2, "LM-55"}, {11, "LM-55"}, {17, "KA-55"}}},
        {"wall lists only the selected model", wall, "KA-55Q",
         {{2, "KA-55Q"}, {11, "ORVANTE KA-55Q"}, {17, "KA-65Q"}},
         {{2, "KA-55Q"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink line(MemoryLink::Style::Serial);
        for (const auto& [id, text] : c.peers) AddPeer(line, id, text);
        Recorder rec;
        discovery::SearchRequest request;
        request.options = c.options;
        request.model = c.model;
        const discovery::SearchRun run = discovery::RunIdSearch(request, line, rec);

        EXPECT_TRUE(run.ran);
        EXPECT_EQ(run.found, c.found);
        ASSERT_EQ(run.ids.size(), 25u);
        ASSERT_EQ(line.sent().size(), 25u);
        for (int id = 1; id <= 25; ++id) {
            const auto& frame = line.sent()[static_cast<std::size_t>(id - 1)].frame;
            EXPECT_EQ(frame[1], id);
            EXPECT_EQ(frame[7], protocol::IdentityFormFor(discovery::IdentityModelsOf(c.options.page), c.model) == protocol::IdentityForm::A1
                                    ? 0xA1 : 0xA2);
            EXPECT_EQ(frame.back(), protocol::Checksum(std::span(frame).first(frame.size() - 1)));
        }
        const bool answered2 = std::any_of(c.peers.begin(), c.peers.end(), [](auto& p) { return p.first == 2; });
        EXPECT_EQ(run.ids[1].outcome, answered2 ? Outcome::Replied : Outcome::NoReply);
        EXPECT_EQ(run.ids[0].outcome, Outcome::NoReply);
        EXPECT_EQ(rec.lastProgress, 25);
        EXPECT_EQ(rec.progressTotal, 25);
        const int answering = static_cast<int>(c.peers.size());
        EXPECT_EQ(line.clock().now(), SearchTime(c.options, answering, 25 - answering));

        QStringList expected = {"status:Search.....", "started:25"};
        for (const auto& f : c.found) expected << "found:" + QString::number(f.id);
        expected << "ended" << "status:" << "message: Search End";
        EXPECT_EQ(rec.events, expected);
    }
}

// What ends a search early, or keeps it from asking anything.
TEST(SerialSearch, SearchEndsOrNeverStarts) {
    {
        SCOPED_TRACE("closed line: the box, the list gets the focus, nothing asked");
        ClosedLine line;
        Recorder rec;
        discovery::SearchRequest request;
        request.model = "LM-55";
        const auto run = discovery::RunIdSearch(request, line, rec);
        EXPECT_FALSE(run.ran);
        EXPECT_EQ(run.refusal, Outcome::PortClosed);
        EXPECT_EQ(rec.events, (QStringList{"message:COM Port Closed ", "focus"}));
        EXPECT_EQ(line.exchanges, 0);
    }
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        const char* model;
        const char* refusal;
    } refusals[] = {
        {"control page", discovery::ControlPageSerialOptions(), "XR-9", "refused:XR-9"},
        {"wall page refuses a Control-only model", discovery::WallPageSerialOptions(), "LM-50", "refused:LM-50"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        MemoryLink line(MemoryLink::Style::Serial);
        AddPeer(line, 2, c.model);
        Recorder rec;
        discovery::SearchRequest request;
        request.options = c.options;
        request.model = c.model;
        const auto run = discovery::RunIdSearch(request, line, rec);
        EXPECT_FALSE(run.ran);
        EXPECT_EQ(run.refusal, Outcome::RefusedForModel);
        // The status line keeps "Search.....".
        EXPECT_EQ(rec.events, (QStringList{"status:Search.....", c.refusal}));
        EXPECT_TRUE(line.sent().empty());
    }
    {
        SCOPED_TRACE("the stop after ID 3 ends the search there, with the usual end");
        MemoryLink line(MemoryLink::Style::Serial);
        AddPeer(line, 2, "LM-55");
        AddPeer(line, 5, "LM-55");
        Recorder rec;
        rec.stopAfter = 3;
        discovery::SearchRequest request;
        request.model = "LM-55";
        const auto run = discovery::RunIdSearch(request, line, rec);
        EXPECT_EQ(line.sent().size(), 3u);
        EXPECT_EQ(run.found, (std::vector<FoundId>{{2, "LM-55"}}));
        EXPECT_EQ(rec.events.mid(rec.events.size() - 3), (QStringList{"ended", "status:", "message: Search End"}));
    }
    {
        SCOPED_TRACE("the line goes away at ID 4: the search ends there");
        MemoryLink line(MemoryLink::Style::Serial);
        AddPeer(line, 2, "LM-55");
        AddPeer(line, 4, "LM-55");
        line.setFault(4, MemoryFault::DeviceVanishes);
        Recorder rec;
        discovery::SearchRequest request;
        request.model = "LM-55";
        const auto run = discovery::RunIdSearch(request, line, rec);
        ASSERT_EQ(run.ids.size(), 4u);
        EXPECT_EQ(run.ids.back().outcome, Outcome::WriteFailed);
        EXPECT_EQ(run.found, (std::vector<FoundId>{{2, "LM-55"}}));
        EXPECT_EQ(rec.events.last(), "message: Search End");
    }
}

// dravikctl's ranges: any first and last ID of 0..255.
TEST(SerialSearch, SearchOverAGivenRange) {
    MemoryLink line(MemoryLink::Style::Serial);
    AddPeer(line, 0, "LM-55");
    AddPeer(line, 255, "LM-65");
    Recorder rec;
    discovery::SearchRequest request;
    request.model = "LM-55";
    request.firstId = 250;
    request.lastId = 255;
    const auto run = discovery::RunIdSearch(request, line, rec);
    EXPECT_EQ(line.sent().size(), 6u);
    EXPECT_EQ(run.found, (std::vector<FoundId>{{255, "LM-65"}}));
    EXPECT_TRUE(rec.events.contains("started:6"));
}

TEST(SerialSearch, CheckByPage) {
    const auto control = discovery::ControlPageSerialOptions();
    const auto wall = discovery::WallPageSerialOptions();
    const auto target = [](const char* id, const char* model) {
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = id;
        t.model = model;
        return t;
    };
    // 2 names its model, 11 puts the maker name first, 9 a trailing blank, 5 is silent.
    const std::vector<targets::Target> rows = {target("2", "LM-55"), target("11", "LM-55"), target("9", "LM-55"),
                                               target("5", "LM-55"), target("3", "XR-9")};
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        int selected;
        QStringList checked;
        int firstWait;
        int pauses;
    } cases[] = {
        {"control, every row", control, -1,
         {"checked:0:Y:replied", "checked:1:N:replied", "checked:2:N:replied", "checked:3:N:no-reply",
          "checked:4:N:refused-for-model"},
         600, 5},
        {"wall, every row", wall, -1,
         {"checked:0:Y:replied", "checked:1:N:replied", "checked:2:N:replied", "checked:3:N:no-reply",
          "checked:4:N:refused-for-model"},
         700, 5},
        {"control, the selected row alone and no pause", control, 0, {"checked:0:Y:replied"}, 600, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink line(MemoryLink::Style::Serial);
        AddPeer(line, 2, "LM-55");
        AddPeer(line, 11, "ORVANTE LM-55");
        AddPeer(line, 9, "LM-55 ");
        AddPeer(line, 3, "XR-9");
        transport::VirtualClock pauses;
        Recorder rec;
        discovery::CheckRequest request;
        request.options = c.options;
        request.targets = rows;
        request.selected = c.selected;
        request.clock = &pauses;
        const auto run = discovery::RunMonitorCheck(request, line, rec);

        QStringList checked;
        for (const QString& e : rec.events) {
            if (e.startsWith("checked:")) checked << e;
        }
        EXPECT_EQ(checked, c.checked);
        EXPECT_EQ(rec.events.first(), "clearTx");
        EXPECT_EQ(pauses.now(), Millis{c.options.checkPauseMs} * c.pauses);
        // Answering rows wait the drain's look and the first wait; the silent one the
        // second wait and two looks more.
        const int asked = static_cast<int>(line.sent().size());
        const int silent = c.selected < 0 ? 1 : 0;
        EXPECT_EQ(line.clock().now(), Millis{(150 + c.firstWait) * asked + (150 + 500 + 150) * silent});
        if (c.selected < 0) {
            EXPECT_TRUE(rec.events.contains("refused:XR-9"));
            ASSERT_EQ(run.rows.size(), 5u);
            EXPECT_EQ(run.rows[1].result.value.model, std::optional<std::string>("ORVANTE LM-55"));
            EXPECT_EQ(run.rows[2].result.value.model, std::optional<std::string>("LM-55 "));
            EXPECT_TRUE(run.rows[4].result.framesSent.empty());
            EXPECT_EQ(asked, 4);
        }
        // The query as sent, echoed for its row.
        EXPECT_TRUE(rec.events.contains("tx:A6 02 00 00 00 04 01 A1 00 " +
                                        QString::fromStdString(protocol::HexSpaced(
                                            std::span(line.sent().front().frame).last(1))).trimmed()));
    }
}

TEST(SerialSearch, CheckEmptyListOrClosedLine) {
    {
        SCOPED_TRACE("the stop after the first of three rows ends the walk there");
        MemoryLink line(MemoryLink::Style::Serial);
        AddPeer(line, 1, "LM-55");
        Recorder rec;
        rec.stopAfter = 1;
        discovery::CheckRequest request;
        transport::VirtualClock pauses;
        request.clock = &pauses;
        for (const char* id : {"1", "2", "3"}) {
            targets::Target t;
            t.interface = targets::Interface::Serial;
            t.id = id;
            t.model = "LM-55";
            request.targets.push_back(t);
        }
        const auto run = discovery::RunMonitorCheck(request, line, rec);
        ASSERT_EQ(run.rows.size(), 1u);
        EXPECT_TRUE(run.rows[0].named);
        EXPECT_EQ(line.sent().size(), 1u);
    }
    {
        SCOPED_TRACE("empty list: the beep, then the message");
        MemoryLink line(MemoryLink::Style::Serial);
        Recorder rec;
        discovery::CheckRequest request;
        discovery::RunMonitorCheck(request, line, rec);
        EXPECT_EQ(rec.events, (QStringList{"clearTx", "beep", "message:NO Monitor Data"}));
    }
    {
        SCOPED_TRACE("closed line: N without waiting or sending");
        ClosedLine line;
        Recorder rec;
        transport::VirtualClock pauses;
        discovery::CheckRequest request;
        request.clock = &pauses;
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = "1";
        t.model = "LM-55";
        request.targets = {t};
        const auto run = discovery::RunMonitorCheck(request, line, rec);
        ASSERT_EQ(run.rows.size(), 1u);
        EXPECT_EQ(run.rows[0].result.outcome, Outcome::PortClosed);
        EXPECT_EQ(line.exchanges, 0);
        EXPECT_FALSE(rec.events.contains("status:Send....."));
        EXPECT_TRUE(rec.events.contains("checked:0:N:port-closed"));
    }
}

// The runners over a real pseudo-terminal: the simulated displays answer the queries the
// serial link writes, with the waits shortened.
TEST(SerialSearch, SearchAndCheckOverAPseudoTerminal) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true)});
    transport::SerialPort port;
    ASSERT_EQ(port.open(QString::fromStdString(line->devicePath())), transport::OpenResult::Opened);
    transport::SerialLink link(port);
    SerialDiscoveryOptions quick = discovery::ControlPageSerialOptions();
    quick.searchFirstWaitMs = 60;
    quick.searchSecondWaitMs = 10;
    quick.checkFirstWaitMs = 60;
    quick.checkSecondWaitMs = 10;
    quick.checkPauseMs = 10;

    Recorder rec;
    discovery::SearchRequest search;
    search.options = quick;
    search.model = "LM-55";
    search.lastId = 12;
    const auto found = discovery::RunIdSearch(search, link, rec);
    EXPECT_EQ(found.found, (std::vector<FoundId>{{2, "LM-55"}, {11, "LM-55"}}));
    EXPECT_EQ(Heard(*line).size(), 12u);

    discovery::CheckRequest check;
    check.options = quick;
    for (const auto& f : found.found) {
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = std::to_string(f.id);
        t.model = f.model;
        check.targets.push_back(t);
    }
    const auto run = discovery::RunMonitorCheck(check, link, rec);
    ASSERT_EQ(run.rows.size(), 2u);
    EXPECT_TRUE(run.rows[0].named);
    EXPECT_FALSE(run.rows[1].named);  // "ORVANTE LM-55" is not "LM-55"
}

}  // namespace
}  // namespace dravik::discovery_pages
