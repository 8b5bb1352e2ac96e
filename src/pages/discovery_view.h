// What the discovery operations touch of a page: the interface choice, the status line,
// message boxes, the "Model" combo, "Lock Model", whole rows of the target list and the two
// discovery buttons.
#pragma once

#include <QString>

#include <array>

namespace dravik::pages {

// The five cells of a new row: column 0 (IP address or monitor ID), model, LINK, Pos, ID.
using RowCells = std::array<QString, 5>;

class DiscoveryView {
public:
    virtual ~DiscoveryView() = default;
    // True while the page is in LAN mode.
    virtual bool lanMode() const = 0;
    virtual void setStatus(const QString& text) = 0;
    // A modal message box.
    virtual void message(const QString& text) = 0;
    // The text of the "Model" combo box as it is now.
    virtual QString selectedModel() const = 0;
    virtual bool lockModelTicked() const = 0;
    virtual void removeAllRows() = 0;
    // Appends a row at the end of the list; columns the list does not have are dropped.
    virtual void appendRow(const RowCells& cells) = 0;
    virtual void setIpScanEnabled(bool enabled) = 0;  // "IP Scan"
    virtual void setIdSearchEnabled(bool enabled) = 0;  // the monitor ID "Search"

    // Progress of the running scan or search: `done` of `total` hosts or monitor IDs.
    virtual void showProgress(int done, int total) {
        (void)done;
        (void)total;
    }
    // The stop control: enabled while a scan or search can be stopped.
    virtual void setStopEnabled(bool enabled) { (void)enabled; }

    // The operator pressed stop. The page clears it when a scan or search starts.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    void clearStopRequest() { stopRequested_ = false; }

private:
    bool stopRequested_ = false;
};

}  // namespace dravik::pages
