// The wall page's commands on Links: power (the selected row or every row), wall on and off
// and the wall settings (always every row), the location test of one row, and the colour
// gains of the selected row (read back, or set). Each row's
// frame is addressed with the wall's monitor ID rule (outside 1..25 -> 1). Over LAN a row gets
// the frame, 100 ms and one bounded read (not decoded); over RS-232 one write, no drain and no
// read, and 300 ms before the next row.
#pragma once

#include "flows/control_flow.h"

#include <array>
#include <memory>
#include <optional>
#include <span>

namespace dravik::flows {

// The wall fields the frames are built from.
struct WallFields {
    int columns = 1;
    int rows = 1;
    bool wallEnable = true;
    bool frameComp = true;
};

class WallObserver : public ControlObserver {
public:
    // The settings frame of a row was built (before it is addressed): the TX box shows it.
    virtual void frameBuilt(const protocol::Frame& /*frame*/) {}
    // A gain reply was read and looked at; `gains` is set when it carried the three gains.
    virtual void gainReplyTaken(std::span<const protocol::Byte> /*reply*/,
                                const std::optional<std::array<int, 3>>& /*gains*/) {}
    // The gain-set frame is on its way over the LAN ("Sending... Please wait").
    virtual void sendingGains() {}
};

enum class WallCommand { PowerOn, PowerOff, WallOn, WallOff, Settings, LocationTest, GetGains, SetGains };

struct WallRequest {
    WallCommand command = WallCommand::PowerOn;
    std::vector<targets::Target> targets;  // the wall's rows in list order
    int selected = -1;                     // power: the selected row; location test: its row
    bool lan = true;
    WallFields fields;  // the page's fields at the start
    // The fields the operator sets while the settings walk runs (each row's frame is built from
    // the latest); none: the fields above throughout.
    std::shared_ptr<const Feed<WallFields>> fieldsFeed;
    std::array<int, 3> gains{128, 128, 128};  // SetGains: red, green, blue
    protocol::Frame frame;  // the page's frame buffer at the start
    transport::Clock* clock = nullptr;  // the pauses between rows; none: the real clock
};

struct WallRun {
    std::vector<RowResult> rows;
    protocol::Frame frame;
};

WallRun RunWallFlow(const WallRequest& request, const ControlLinks& links, WallObserver& observer);

}  // namespace dravik::flows
