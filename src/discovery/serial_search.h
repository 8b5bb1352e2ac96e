// The RS-232 discovery of both pages and of dravikctl: "Search" asks monitor IDs 1..25 who
// they are and lists those that answer; "Check Monitor" asks each listed display for its
// identity and says whether it named the row's model. Both run on a serial Link and block
// for their waits (a page runs them on its flow worker, dravikctl on its own thread); what
// the user sees comes from the observer, which gets the events in the order they happen.
#pragma once

#include "flows/notice.h"
#include "flows/reply_rules.h"
#include "flows/row_result.h"
#include "protocol/frame.h"
#include "protocol/identity.h"
#include "targets/target.h"
#include "transport/link.h"
#include "transport/waiter.h"

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dravik::discovery {

inline constexpr int kFirstSearchId = 1;
inline constexpr int kLastSearchId = 25;

// Which page runs the discovery: it picks the identity model table (IdentityModelsOf), and
// the page words the refusal of a model outside it its own way (Control: RefuseCommand;
// wall: a message box with the wall page's refusal text).
enum class SerialPage { Control, Wall };
protocol::IdentityModels IdentityModelsOf(SerialPage page);

// How one page runs its serial discovery. The two pages differ only in these values.
struct SerialDiscoveryOptions {
    SerialPage page = SerialPage::Control;

    // "Search"
    int searchTextLimit = flows::rules::kSearchTextLimit;  // byte 4 must be above this to carry text
    int searchFirstWaitMs = static_cast<int>(flows::rules::kSearchFirstWait.count());
    int searchSecondWaitMs = static_cast<int>(flows::rules::kSearchSecondWait.count());
    bool stripMakerName = true;         // "ORVANTE LM-55" is listed as "LM-55"
    bool requireSelectedModel = false;  // list only replies whose text is the selected model

    // "Check Monitor"
    int checkFirstWaitMs = static_cast<int>(flows::rules::kCheckFirstWait.count());
    int checkSecondWaitMs = static_cast<int>(flows::rules::kCheckSecondWait.count());
    int checkPauseMs = static_cast<int>(flows::rules::kCheckPause.count());  // after each row of a walk
    bool checkShowsReply = true;  // the reply goes into the receive box (with the Show flag)
};

SerialDiscoveryOptions ControlPageSerialOptions();
SerialDiscoveryOptions WallPageSerialOptions();

// The model text a "Search" lists for one reply; nullopt when the reply gives no row.
std::optional<QString> SearchRowText(std::span<const protocol::Byte> reply, const QString& selectedModel,
                                     const SerialDiscoveryOptions& options);
std::optional<std::string> SearchListing(std::span<const protocol::Byte> reply, const std::string& selectedModel,
                                          const SerialDiscoveryOptions& options);

// True when a "Check Monitor" reply names exactly this model.
bool ReplyNamesModel(std::span<const protocol::Byte> reply, const QString& model);
bool ReplyNames(std::span<const protocol::Byte> reply, const std::string& model);

// One monitor ID that answered a "Search", with the model text it is listed under.
struct FoundId {
    int id = 0;
    std::string model;
    bool operator==(const FoundId&) const = default;
};

// Events of a running search or check, on the thread that runs it. notice() and refused()
// return only when the front end has shown them (a modal box is closed).
class SerialDiscoveryObserver {
public:
    virtual ~SerialDiscoveryObserver() = default;
    virtual void status(flows::StatusText /*text*/) {}  // Search, Send, or None to clear
    virtual void notice(const flows::Notice& /*notice*/) {}
    virtual void refused(const std::string& /*model*/) {}
    // There is no row to check (the list is empty).
    virtual void nothingToAddress() {}
    // A row's exchange is over (whatever came of it).
    virtual void exchangeEnded() {}
    // A check starts: its frames replace what was sent before.
    virtual void commandStarted() {}

    // "Search": the list is to be emptied and the search's button disabled; `total` IDs follow.
    virtual void searchStarted(int /*total*/) {}
    // `done` of the `total` IDs have been asked.
    virtual void searchProgress(int /*done*/, int /*total*/) {}
    virtual void found(const FoundId& /*id*/) {}
    // The last ID has been asked (or the search was stopped), before " Search End".
    virtual void searchEnded() {}

    // "Check Monitor": a row's exchange starts; its frame as sent; the reply that came.
    virtual void rowStarted(int /*index*/) {}
    virtual void frameSealed(int /*index*/, const protocol::Frame& /*frame*/) {}
    virtual void replyReceived(int /*index*/, std::span<const protocol::Byte> /*reply*/) {}
    // The row is done: `named` is its LINK mark.
    virtual void rowChecked(int /*index*/, const flows::RowResult& /*result*/, bool /*named*/) {}

    // Asked after each monitor ID or row: true ends the walk there.
    virtual bool stopRequested() { return false; }
};

struct SearchRequest {
    SerialDiscoveryOptions options = ControlPageSerialOptions();
    std::string model;  // the selected model: it picks the query (and, on the wall page, the rows)
    int firstId = kFirstSearchId;
    int lastId = kLastSearchId;
};

struct SearchRun {
    // False when nothing was asked: the line was closed, or the model is refused.
    bool ran = false;
    flows::Outcome refusal = flows::Outcome::Sent;  // PortClosed or RefusedForModel when !ran
    std::vector<FoundId> found;         // in ID order
    std::vector<flows::RowResult> ids;  // one per ID asked, in order
};

// The monitor ID "Search" over the line. A closed line: message "COM Port Closed ", nothing
// asked. Otherwise status "Search.....", the query for the model (a refused model: the
// refusal and nothing asked), then each ID from firstId to lastId in turn, and " Search End".
// A line that goes away, or the observer's stop, ends it after the ID being asked.
SearchRun RunIdSearch(const SearchRequest& request, transport::Link& serial, SerialDiscoveryObserver& observer);

struct CheckRequest {
    SerialDiscoveryOptions options = ControlPageSerialOptions();
    std::vector<targets::Target> targets;  // RS-232 targets: monitor ID and model
    int selected = -1;                     // -1: every row, with a pause after each
    // What the pauses between rows wait on; none: the real clock.
    transport::Clock* clock = nullptr;
};

struct CheckedRow {
    flows::RowResult result;  // value.model: the identity text the display answered
    bool named = false;       // the display answered with exactly the row's model
};

struct CheckRun {
    std::vector<CheckedRow> rows;  // one per row checked, in order
};

// "Check Monitor": the selected row, or every row in list order with the page's pause after
// each. An empty list reports nothing to address and says "NO Monitor Data". A refused model gives that row's
// refusal and "N" without sending; a closed line gives "N" without waiting.
CheckRun RunMonitorCheck(const CheckRequest& request, transport::Link& serial, SerialDiscoveryObserver& observer);

}  // namespace dravik::discovery
