// The Control page's command flows on Links: which rows a button addresses, in which order,
// with which exchange and which waits. One runner for the window and dravikctl; it knows
// targets and links, never a widget, a column or a message box. What the operator sees comes
// from the observer, which turns these events and each row's RowResult into cells, status
// texts, echo and boxes.
//
// The runner blocks for the flow's waits: the window runs it on a worker thread (see
// FlowWorker), dravikctl on its own threads.
#pragma once

#include "flows/row_result.h"
#include "protocol/decode.h"
#include "protocol/frame.h"
#include "protocol/values.h"
#include "targets/target.h"
#include "flows/button_table.h"
#include "flows/feed.h"
#include "flows/notice.h"
#include "transport/link.h"
#include "transport/waiter.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dravik::flows {

// What an exchange was for: a command's frame (its acknowledge may come back), a status query,
// or the query that reads a display's values before a set frame is built on them.
enum class ExchangeKind { Send, Query, PreRead };

// Events of a running flow in the order they happen, on the thread that runs it. notice()
// and refused() return only when the front end has handled them (a modal box is closed), so
// the flow goes on as the operator sees it.
class ControlObserver {
public:
    virtual ~ControlObserver() = default;
    // A command starts: its frames replace what was sent before.
    virtual void commandStarted() {}
    // A status query starts: its answer replaces the last one.
    virtual void queryStarted() {}
    // There is no display to address (the list is empty).
    virtual void nothingToAddress() {}
    virtual void status(StatusText /*text*/) {}
    virtual void rowStarted(int /*index*/) {}
    // The frame, addressed and sealed for the row, is now the frame buffer (the TX echo).
    virtual void frameSealed(int /*index*/, const protocol::Frame& /*frame*/) {}
    // An exchange of this kind starts: no reply to it yet.
    virtual void replyAwaited(ExchangeKind /*kind*/) {}
    // The reply to an exchange of this kind, as it came.
    virtual void replyTaken(std::span<const protocol::Byte> /*reply*/, ExchangeKind /*kind*/) {}
    virtual void linkMarked(int /*index*/, bool /*up*/) {}
    virtual void notice(const Notice& /*notice*/) {}
    virtual void refused(const std::string& /*model*/) {}
    // The reply was decoded into the values (the page's values from now on).
    virtual void decoded(const protocol::DisplayValues& /*values*/, const protocol::DecodeResult& /*result*/) {}
    // A send or query exchange with a row is over (whatever came of it).
    virtual void exchangeEnded() {}
    // The operator's latest levels and locks were taken into the values right before a frame
    // is built from them (see LevelFeed).
    virtual void levelsTaken(const protocol::DisplayValues& /*values*/) {}
    // A builder stored a value back (a level made even): the front end's values from now on.
    virtual void valuesChanged(const protocol::DisplayValues& /*values*/) {}
    virtual void rowFinished(const RowResult& /*result*/, int /*index*/) {}
    // Asked between rows: true ends the flow there.
    virtual bool stopRequested() { return false; }
};

// A status-query flow of this kind asks for the video parameters (the query that precedes a
// brightness change), which no button of the page sends alone; dravikctl's "video" query.
inline constexpr int kStatusVideoParams = 100;

// The levels and locks the operator sets while a walk runs (backlight, brightness, volume and
// the two locks of the latest post are taken; the rest of the values stay the flow's).
using LevelFeed = Feed<protocol::DisplayValues>;

struct ControlRequest {
    const flows::ButtonFlow* flow = nullptr;
    std::vector<targets::Target> targets;  // in list order
    int selected = -1;                     // -1: none selected
    bool lan = true;                       // the page's interface
    protocol::DisplayValues values;           // the page's values at the start
    // Levels the operator sets while the flow runs; none: the values above throughout.
    std::shared_ptr<const LevelFeed> levels;
    protocol::Frame frame;                 // the page's frame buffer at the start
    // dravikctl: a LAN send reads the display's acknowledge as an RS-232 send does.
    bool awaitLanAcknowledge = false;
    // A fixed-frame flow sends this frame instead of the button's (dravikctl's raw frames).
    std::optional<protocol::Frame> fixedFrame;
    // What the pauses between rows wait on; none: the real clock. Tests pass a virtual one.
    transport::Clock* clock = nullptr;
};

struct ControlLinks {
    transport::Link* lan = nullptr;     // opened per exchange
    transport::Link* serial = nullptr;  // the one line
};

struct ControlRun {
    std::vector<RowResult> rows;  // one per row addressed, in the order they were run
    protocol::DisplayValues values;  // as the flow left them
    protocol::Frame frame;        // the frame buffer as the flow left it
};

ControlRun RunControlFlow(const ControlRequest& request, const ControlLinks& links, ControlObserver& observer);

}  // namespace dravik::flows
