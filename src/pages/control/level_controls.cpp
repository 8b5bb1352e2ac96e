#include "pages/control/level_controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace dravik::pages {

namespace {

// The number an up/down pair takes from its edit: the whole text must be a decimal
// integer (leading blanks and a sign allowed); an empty text counts as 0.
bool ParseBuddyText(const QString& text, int& value) {
    QString t = text;
    while (!t.isEmpty() && t.front().isSpace()) t.remove(0, 1);
    if (t.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    const long long v = t.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------

LevelScrollBar::LevelScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    // A drag only moves the thumb; the committed position changes when the owner says so.
    setTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    // The context menu's "Scroll here" would move the bar behind its owner's back.
    setContextMenuPolicy(Qt::NoContextMenu);
    setSingleStep(1);
    setPageStep(10);
    connect(this, &QAbstractSlider::actionTriggered, this, &LevelScrollBar::onAction);
    connect(this, &QAbstractSlider::sliderMoved, this,
            [this](int thumb) { emit scrolled(ScrollKind::ThumbTrack, thumb); });
    connect(this, &QAbstractSlider::sliderReleased, this, &LevelScrollBar::onReleased);
}

void LevelScrollBar::setPosition(int position) {
    committed_ = std::clamp(position, minimum(), maximum());
    setValue(committed_);
    setSliderPosition(committed_);
}

void LevelScrollBar::onAction(int action) {
    ScrollKind kind = ScrollKind::Other;
    switch (action) {
        case SliderSingleStepSub: kind = ScrollKind::LineLeft; break;
        case SliderSingleStepAdd: kind = ScrollKind::LineRight; break;
        case SliderPageStepSub: kind = ScrollKind::PageLeft; break;
        case SliderPageStepAdd: kind = ScrollKind::PageRight; break;
        default: break;
    }
    // Undo the move Qt has already made; the owner moves the bar if it wants to.
    setSliderPosition(committed_);
    emit scrolled(kind, committed_);
}

void LevelScrollBar::onReleased() {
    emit scrolled(ScrollKind::ThumbPosition, sliderPosition());
}

void LevelScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    QScrollBar::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
        emit scrolled(ScrollKind::EndScroll, committed_);
    }
}

void LevelScrollBar::keyReleaseEvent(QKeyEvent* event) {
    QScrollBar::keyReleaseEvent(event);
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!event->isAutoRepeat()) emit scrolled(ScrollKind::EndScroll, committed_);
            break;
        default: break;
    }
}

// ---------------------------------------------------------------------------------------

SpinButtons::SpinButtons(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(18);
        layout->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    nameArrows(QStringLiteral("Spin"));
}

void SpinButtons::setBuddy(QLineEdit* edit) {
    if (buddy_) buddy_->removeEventFilter(this);
    buddy_ = edit;
    if (buddy_) buddy_->installEventFilter(this);
}

void SpinButtons::setRange(int minimum, int maximum) {
    min_ = std::min(minimum, maximum);
    max_ = std::max(minimum, maximum);
    pos_ = std::clamp(pos_, min_, max_);
}

void SpinButtons::step(int delta) {
    // The edit's number is taken when it is one the range allows; otherwise the buttons
    // go on from their own last position.
    int typed = 0;
    if (buddy_ && ParseBuddyText(buddy_->text(), typed) && typed >= min_ && typed <= max_) pos_ = typed;
    const long long wanted = static_cast<long long>(pos_) + delta;
    const int next = static_cast<int>(std::clamp<long long>(wanted, min_, max_));
    if (next == pos_) return;  // no wrap at the ends
    pos_ = next;
    if (buddy_) buddy_->setText(QString::number(pos_));
}

void SpinButtons::nameArrows(const QString& name) {
    up_->setAccessibleName(name + QStringLiteral(" up"));
    down_->setAccessibleName(name + QStringLiteral(" down"));
}

bool SpinButtons::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            step(key->key() == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace dravik::pages
