// The two small controls of the "Backlight", "Brightness" and "Volume" boxes.
//
// LevelScrollBar is a horizontal scroll bar that, like the scroll bars the tool has always
// had, does not move by itself: it reports what the operator did (one step, a page, a
// drag, the release of the thumb, the end of the scroll) and its owner decides where the
// bar goes with setPosition().
//
// SpinButtons is an up/down pair attached to an edit box: a step takes the edit's number
// (when it is an integer inside the range), moves it by one without wrapping and writes it
// back into the edit. It answers the Up and Down keys inside the edit as well.
#pragma once

#include <QScrollBar>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace dravik::pages {

enum class ScrollKind {
    LineLeft,
    LineRight,
    PageLeft,
    PageRight,
    ThumbTrack,     // the thumb is being dragged
    ThumbPosition,  // the thumb was released at a position
    EndScroll,      // the mouse button or key that scrolled was released
    Other,          // to the start or end, the wheel
};

class LevelScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit LevelScrollBar(QWidget* parent = nullptr);

    // The committed position: the one the owner set last.
    int position() const { return committed_; }
    void setPosition(int position);

signals:
    // `thumb` is where the thumb is (for ThumbTrack and ThumbPosition); for every other
    // kind it is the committed position.
    void scrolled(dravik::pages::ScrollKind kind, int thumb);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void onAction(int action);
    void onReleased();

    int committed_ = 0;
};

class SpinButtons : public QWidget {
    Q_OBJECT
public:
    explicit SpinButtons(QWidget* parent = nullptr);

    // The edit box the buttons write into; its Up and Down keys step as well.
    void setBuddy(QLineEdit* edit);
    QLineEdit* buddy() const { return buddy_; }
    void setRange(int minimum, int maximum);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int position() const { return pos_; }

    // One step up (+1) or down (-1), as a click on the arrows does.
    void step(int delta);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Names the arrows after the box: "<name> up", "<name> down".
    void nameArrows(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* buddy_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int pos_ = 0;
};

}  // namespace dravik::pages
