// What a page does with the operator's presses while one of its commands runs: the command
// waits its turn instead of being dropped, and what cannot wait (the list, the interface, the
// port) is visibly disabled until the run ends.
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

class QLabel;
class QObject;
class QWidget;

namespace dravik::ui { class Feedback; }

namespace dravik::pages {

// Commands pressed while another runs, in press order. Each starts when the one before it has
// ended, with the page's values and selection as they are then: the queue holds the press,
// not a request built at press time. "Stop" empties it.
class CommandQueue {
public:
    static constexpr std::size_t kLimit = 8;

    // `busy`: a run of the page is going on. `line`: where the waiting commands are named.
    CommandQueue(QObject& context, std::function<bool()> busy, QLabel* line, ui::Feedback& feedback);

    // A press of the command `label`: false when nothing runs and nothing waits (the caller
    // starts it now), else true: it was queued, or refused with a beep because the queue is
    // full. A command started from the queue is never deferred again.
    bool defer(const QString& label, std::function<void()> start);

    // A run of the page ended: the next command waiting starts once the window is back in its
    // event loop.
    void runEnded();
    // "Stop": nothing that waits will start.
    void clear();

    std::size_t size() const { return waiting_.size(); }
    QStringList labels() const;

private:
    struct Entry {
        QString label;
        std::function<void()> start;
    };
    void startNext();
    void show(const QString& note = QString());

    QObject& context_;
    std::function<bool()> busy_;
    QLabel* line_;
    ui::Feedback& feedback_;
    std::deque<Entry> waiting_;
    bool starting_ = false;
    bool scheduled_ = false;
};

// The controls whose action would change a running command's targets or line: disabled with
// a tooltip that says why while a run goes on, enabled again after it (the page then applies
// the states that depend on the interface and the port).
class RunLock {
public:
    explicit RunLock(std::vector<QWidget*> widgets);
    void lock();
    void unlock();
    bool locked() const { return locked_; }

private:
    std::vector<QWidget*> widgets_;
    std::vector<QString> tips_;
    bool locked_ = false;
};

// A run of the page started or ended: the controls wait for it, then `applyStates` gives them
// the states the interface and the port call for and the next command waiting starts.
void RunChanged(bool running, RunLock& lock, CommandQueue& queue, const std::function<void()>& applyStates);

// The tooltip of a control that waits for the running command.
QString WaitsForRunTip();

// The name a command button is queued under: its caption, with the title of its group box in
// front where the caption alone says too little ("Set", "Update"), or always with `withGroup`.
QString CommandLabel(const QWidget& button, bool withGroup = false);

}  // namespace dravik::pages
