#include "controls/hover_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QVector>

#include "controls/colour.h"

namespace dravik::controls {

namespace {

Rgb ToRgb(const QColor& c) { return Rgb{c.red(), c.green(), c.blue()}; }
QColor ToQColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

QColor Adjusted(const QColor& c, int dL, int dS) { return ToQColor(AdjustColour(ToRgb(c), dL, dS)); }

// A dotted outline drawn by inverting every other pixel, so it shows on any face colour.
void DrawFocusRect(QPainter& painter, const QRect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    QVector<QPoint> dots;
    int n = 0;
    auto visit = [&](int x, int y) {
        if (n++ % 2 == 0) dots.push_back(QPoint(x, y));
    };
    // Clockwise, each pixel of the outline once.
    for (int x = r.left(); x <= r.right(); ++x) visit(x, r.top());
    for (int y = r.top() + 1; y <= r.bottom(); ++y) visit(r.right(), y);
    if (r.height() > 1) {
        for (int x = r.right() - 1; x >= r.left(); --x) visit(x, r.bottom());
    }
    if (r.width() > 1) {
        for (int y = r.bottom() - 1; y > r.top(); --y) visit(r.left(), y);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPoints(dots.constData(), static_cast<int>(dots.size()));
    painter.restore();
}

}  // namespace

HoverFaceColours ChooseHoverFaceColours(const QPalette& palette, const HoverFaceState& state) {
    // System colours do not depend on the window's activity, so read them from one group.
    const auto sys = [&](QPalette::ColorRole role) { return palette.color(QPalette::Active, role); };
    HoverFaceColours colours;
    if (!state.enabled || (!state.hovering && !state.pressed)) {
        colours.pen = sys(QPalette::Dark);   // button shadow
        colours.brush = Adjusted(sys(QPalette::Button), -10, 0);
    } else {
        colours.pen = sys(QPalette::Highlight);
        colours.brush = state.pressed ? Adjusted(sys(QPalette::Highlight), 50, -50)
                                      : Adjusted(sys(QPalette::Highlight), 80, -66);
    }
    if (!state.enabled) {
        colours.text = palette.color(QPalette::Disabled, QPalette::ButtonText);   // grey text
    } else if (state.pressed) {
        colours.text = QColor(240, 240, 240);
    } else if (state.hovering) {
        colours.text = QColor(Qt::black);
    } else {
        colours.text = sys(QPalette::ButtonText);
    }
    return colours;
}

void PaintHoverFace(QPainter& painter, const QRect& outer, const QString& caption,
                    const QPalette& palette, const HoverFaceState& state) {
    QRect r = outer;
    if (state.focused) r.adjust(1, 1, -1, -1);
    if (r.width() <= 0 || r.height() <= 0) return;

    const HoverFaceColours colours = ChooseHoverFaceColours(palette, state);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(colours.pen, 1, Qt::SolidLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(colours.brush);
    // A QRect outline covers width + 1 pixels; this one covers exactly r.
    painter.drawRect(r.adjusted(0, 0, -1, -1));

    painter.setPen(colours.text);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption);

    if (state.focused) DrawFocusRect(painter, r.adjusted(3, 3, -3, -3));
    painter.restore();
}

HoverButton::HoverButton(QWidget* parent) : QPushButton(parent) {
    // Without tracking, moves arrive only while a mouse button is held.
    setMouseTracking(true);
}

HoverButton::HoverButton(const QString& text, QWidget* parent) : HoverButton(parent) {
    setText(text);
}

HoverFaceState HoverButton::faceState() const {
    return HoverFaceState{isEnabled(), isDown(), hovering_, hasFocus()};
}

void HoverButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    PaintHoverFace(painter, rect(), text(), palette(), faceState());
}

void HoverButton::startHovering() {
    if (hovering_) return;
    hovering_ = true;
    update();
}

void HoverButton::enterEvent(QEnterEvent* event) {
    startHovering();
    QPushButton::enterEvent(event);
}

void HoverButton::mouseMoveEvent(QMouseEvent* event) {
    startHovering();
    QPushButton::mouseMoveEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    if (hovering_) {
        hovering_ = false;
        update();
    }
    QPushButton::leaveEvent(event);
}

}  // namespace dravik::controls
