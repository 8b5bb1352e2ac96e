// What both pages share around their flows: the columns of a target row, the run state that
// tells a page when one of its runs starts and ends, and the refusal of a command a model lacks.
#pragma once

#include "ui/feedback.h"
#include "ui/texts.h"

#include <QString>

#include <functional>

namespace dravik::pages {

// Columns of a target list row.
inline constexpr int kColAddress = 0;  // IP address (LAN) or monitor ID (RS-232)
inline constexpr int kColModel = 1;
inline constexpr int kColLink = 2;
inline constexpr int kColPos = 3;
inline constexpr int kColId = 4;

// Set while a flow, a search or a check of the page runs on its worker. The controls that
// would change the list, the interface or the port are disabled meanwhile, and a command
// pressed then waits its turn (command_queue.h).
class PageRun {
public:
    bool busy() const { return busy_; }

protected:
    // Told when a run starts (true) and ends (false), on the window thread. A page clears it
    // before it goes away.
    std::function<void(bool)> onRunChanged;

private:
    friend class FlowGuard;
    bool busy_ = false;
};

// Marks the page busy for its lifetime, unless it already was: a press that arrives while a
// flow runs gets a guard that does not own the run and must do nothing.
class FlowGuard {
public:
    explicit FlowGuard(PageRun& run) : run_(run), owns_(!run.busy_) {
        if (!owns_) return;
        run_.busy_ = true;
        if (run_.onRunChanged) run_.onRunChanged(true);
    }
    ~FlowGuard() {
        if (!owns_) return;
        run_.busy_ = false;
        if (run_.onRunChanged) run_.onRunChanged(false);
    }
    FlowGuard(const FlowGuard&) = delete;
    FlowGuard& operator=(const FlowGuard&) = delete;

    bool owns() const { return owns_; }
    explicit operator bool() const { return owns_; }

private:
    PageRun& run_;
    bool owns_;
};

// Model + " No This Function or unsupported !\r\n" into the message line and a message box.
template <typename Page>
void RefuseCommand(Page& page, const QString& model) {
    const QString text = ui::texts::Refusal(model);
    page.setMessageLine(text);
    page.feedback().message(text);
}

}  // namespace dravik::pages
