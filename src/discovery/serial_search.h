// The RS-232 discovery of both pages: "Search" asks monitor IDs 1..25 who they are and lists
// those that answer; "Check Monitor" asks each listed display for its identity and marks its
// LINK cell. Both run on the window thread with pumping waits between the steps, and hold
// the page's FlowGuard so that no other flow can overwrite the frame buffer meanwhile.
#pragma once

#include "discovery/discovery_view.h"
#include "protocol/identity.h"
#include "transport/exchange_context.h"

#include <QString>

#include <optional>
#include <span>

namespace dravik::discovery {

inline const QString kSearchingText = QStringLiteral("Search.....");
inline const QString kSearchEndText = QStringLiteral(" Search End");
inline const QString kNoMonitorDataText = QStringLiteral("NO Monitor Data");

inline constexpr int kFirstSearchId = 1;
inline constexpr int kLastSearchId = 25;

// What follows each row of a "Check Monitor" over all rows.
enum class CheckPause {
    Sleep,    // a plain sleep: the window takes no input meanwhile
    Pumping,  // PumpWait: the window stays responsive
};

// How one page runs its serial discovery. The two pages differ only in these values.
struct SerialDiscoveryOptions {
    // Which model set gives the identity query, and which refusal a refused model gets
    // (Control: RefuseCommand; wall: a message box with WallRefusalText).
    protocol::IdentityPage page = protocol::IdentityPage::Control;

    // "Search"
    int searchTextLimit = 5;        // a reply's byte 4 must be above this to carry text
    int searchFirstWaitMs = 500;    // after the query, before the first read
    int searchSecondWaitMs = 200;   // before the second read when nothing came
    bool stripMakerName = true;     // "ORVANTE LM-55" is listed as "LM-55"
    bool requireSelectedModel = false;  // list only replies whose text is the selected model

    // "Check Monitor"
    int checkFirstWaitMs = 600;
    int checkSecondWaitMs = 500;
    CheckPause checkPause = CheckPause::Sleep;
    int checkPauseMs = 100;
    bool checkShowsReply = true;    // the reply goes into the receive box (with the Show flag)
};

SerialDiscoveryOptions ControlPageSerialOptions();
SerialDiscoveryOptions WallPageSerialOptions();

// The monitor ID "Search". Does nothing in LAN mode or while another flow of the page runs.
// Shows its progress as IDs asked of 25; the view's stop request ends it after the ID being
// asked, with the rows found so far and the usual end (" Search End").
void SearchMonitorIds(transport::ExchangeContext& ctx, DiscoveryView& view, const SerialDiscoveryOptions& options);

// "Check Monitor": the selected row, or every row in list order. Does nothing in LAN mode
// or while another flow of the page runs; an empty list beeps and says "NO Monitor Data".
void CheckMonitors(transport::ExchangeContext& ctx, const SerialDiscoveryOptions& options);

// The model text a "Search" lists for one reply; nullopt when the reply gives no row.
std::optional<QString> SearchRowText(std::span<const protocol::Byte> reply, const QString& selectedModel,
                                     const SerialDiscoveryOptions& options);

// True when a "Check Monitor" reply names exactly this model.
bool ReplyNamesModel(std::span<const protocol::Byte> reply, const QString& model);

// One row of "Check Monitor": true when the display with the row's monitor ID (column 0)
// answers the identity query with exactly the row's model name (column 1). A refused
// model shows its refusal and gives false.
bool CheckMonitorRow(transport::ExchangeContext& ctx, int row, const SerialDiscoveryOptions& options);

}  // namespace dravik::discovery
