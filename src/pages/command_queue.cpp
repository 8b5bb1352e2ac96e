#include "pages/command_queue.h"

#include "ui/feedback.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QToolTip>

namespace dravik::pages {

CommandQueue::CommandQueue(QObject& context, std::function<bool()> busy, QLabel* line,
                           ui::Feedback& feedback)
    : context_(context), busy_(std::move(busy)), line_(line), feedback_(feedback) {
    show();
}

bool CommandQueue::defer(const QString& label, std::function<void()> start) {
    if (starting_) return false;
    if (!busy_() && waiting_.empty()) return false;
    if (waiting_.size() >= kLimit) {
        feedback_.beep();
        show(QStringLiteral("%1 not queued: %2 commands wait already").arg(label).arg(kLimit));
        return true;
    }
    waiting_.push_back({label, std::move(start)});
    show();
    // Nothing runs (the last run ended a moment ago): the queue must not wait for an end that
    // never comes.
    if (!busy_()) runEnded();
    return true;
}

void CommandQueue::runEnded() {
    if (scheduled_ || waiting_.empty()) return;
    scheduled_ = true;
    QTimer::singleShot(0, &context_, [this] {
        scheduled_ = false;
        startNext();
    });
}

void CommandQueue::startNext() {
    if (busy_() || waiting_.empty()) return;
    Entry next = std::move(waiting_.front());
    waiting_.pop_front();
    show();
    starting_ = true;
    next.start();
    starting_ = false;
    // A command that ended without a run (a refusal, a box answered No) hands on at once.
    if (!busy_()) runEnded();
}

void CommandQueue::clear() {
    waiting_.clear();
    show();
}

QStringList CommandQueue::labels() const {
    QStringList names;
    for (const Entry& e : waiting_) names << e.label;
    return names;
}

void CommandQueue::show(const QString& note) {
    if (!line_) return;
    QString text;
    if (!waiting_.empty()) text = QStringLiteral("Next: ") + labels().join(QStringLiteral(", "));
    if (!note.isEmpty()) text = text.isEmpty() ? note : text + QStringLiteral(" (") + note + QLatin1Char(')');
    line_->setText(text);
    // A screen reader hears what waits as it changes.
    line_->setAccessibleDescription(text);
}

RunLock::RunLock(std::vector<QWidget*> widgets) : widgets_(std::move(widgets)) {}

void RunLock::lock() {
    if (locked_) return;
    locked_ = true;
    tips_.clear();
    for (QWidget* w : widgets_) {
        tips_.push_back(w->toolTip());
        w->setToolTip(WaitsForRunTip());
        w->setEnabled(false);
    }
}

void RunLock::unlock() {
    if (!locked_) return;
    locked_ = false;
    // A tooltip still up from the run would say the control waits when it no longer does.
    if (QToolTip::isVisible() && QToolTip::text() == WaitsForRunTip()) QToolTip::hideText();
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        widgets_[i]->setToolTip(tips_[i]);
        widgets_[i]->setEnabled(true);
    }
}

void RunChanged(bool running, RunLock& lock, CommandQueue& queue, const std::function<void()>& applyStates) {
    if (running) {
        lock.lock();
        return;
    }
    lock.unlock();
    applyStates();
    queue.runEnded();
}

QString WaitsForRunTip() { return QStringLiteral("Waits for the running command to end"); }

QString CommandLabel(const QWidget& button, bool withGroup) {
    QString caption;
    if (const auto* b = qobject_cast<const QAbstractButton*>(&button)) caption = b->text();
    caption.remove(QLatin1Char('&'));
    caption = caption.simplified();
    if (caption.isEmpty()) caption = button.accessibleName();
    static const QStringList kVague{QStringLiteral("Set"), QStringLiteral("Update"), QStringLiteral("Search"),
                                    QStringLiteral("Get data")};
    if (!withGroup && !kVague.contains(caption)) return caption;
    for (const QWidget* p = button.parentWidget(); p; p = p->parentWidget()) {
        if (const auto* group = qobject_cast<const QGroupBox*>(p)) {
            const QString title = group->title().remove(QLatin1Char('&')).simplified();
            if (!title.isEmpty()) return title + QLatin1Char(' ') + caption;
            break;
        }
    }
    return caption;
}

}  // namespace dravik::pages
