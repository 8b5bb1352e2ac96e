// A push button that paints its own face and lights up while the pointer is over it; the
// wall page's position grid is made of these.
#pragma once

#include <QColor>
#include <QPushButton>

class QPainter;
class QPalette;

namespace dravik::controls {

struct HoverFaceState {
    bool enabled = true;
    bool pressed = false;
    bool hovering = false;
    bool focused = false;
};

struct HoverFaceColours {
    QColor pen;     // 1-pixel outline
    QColor brush;   // face fill
    QColor text;    // caption
};

// The colours of a face in the given state, derived from the palette's system colours.
HoverFaceColours ChooseHoverFaceColours(const QPalette& palette, const HoverFaceState& state);

// Paints a whole button face into `outer` (the button's rectangle): outline and fill, the
// caption centred on one line, and for a focused button a focus rectangle 4 pixels inside
// the outer edge.
void PaintHoverFace(QPainter& painter, const QRect& outer, const QString& caption,
                    const QPalette& palette, const HoverFaceState& state);

class HoverButton : public QPushButton {
    Q_OBJECT
public:
    explicit HoverButton(QWidget* parent = nullptr);
    explicit HoverButton(const QString& text, QWidget* parent = nullptr);

    bool isHovering() const { return hovering_; }
    HoverFaceState faceState() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void startHovering();

    bool hovering_ = false;
};

}  // namespace dravik::controls
