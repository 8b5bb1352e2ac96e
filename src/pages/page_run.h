// What both pages share around their flows: the columns of a target row, the run state that
// makes a press during a running flow do nothing, and the refusal of a command a model lacks.
#pragma once

#include "transport/feedback.h"
#include "transport/texts.h"

#include <QString>

namespace dravik::pages {

// Columns of a target list row.
inline constexpr int kColAddress = 0;  // IP address (LAN) or monitor ID (RS-232)
inline constexpr int kColModel = 1;
inline constexpr int kColLink = 2;
inline constexpr int kColPos = 3;
inline constexpr int kColId = 4;

// Set while a flow, a search or a check of the page runs on its worker. Handlers that would
// change the list, the interface, the port or the frame return at once while it is set.
class PageRun {
public:
    bool busy() const { return busy_; }

private:
    friend class FlowGuard;
    bool busy_ = false;
};

// Marks the page busy for its lifetime, unless it already was: a press that arrives while a
// flow runs gets a guard that does not own the run and must do nothing.
class FlowGuard {
public:
    explicit FlowGuard(PageRun& run) : run_(run), owns_(!run.busy_) {
        if (owns_) run_.busy_ = true;
    }
    ~FlowGuard() {
        if (owns_) run_.busy_ = false;
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
    const QString text = transport::texts::Refusal(model);
    page.setMessageLine(text);
    page.feedback().message(text);
}

}  // namespace dravik::pages
