#include "controls/hover_button.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

namespace dravik::controls {
namespace {

// Distinct system colours, so that every pixel tells where it came from.
QPalette TestPalette() {
    QPalette p;
    p.setColor(QPalette::Dark, QColor(100, 100, 100));          // button shadow
    p.setColor(QPalette::Button, QColor(240, 240, 240));        // button face
    p.setColor(QPalette::Highlight, QColor(0, 120, 215));
    p.setColor(QPalette::ButtonText, QColor(10, 10, 10));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(109, 109, 109));   // grey text
    return p;
}

const QColor kShadow(100, 100, 100);
const QColor kIdleFace(216, 216, 216);       // face -10 % lightness
const QColor kHighlight(0, 120, 215);
const QColor kPressedFace(144, 185, 217);    // highlight +50 % lightness, -50 % saturation
const QColor kHoverFace(214, 226, 235);      // highlight +80 %, -66 %
const QColor kBackground(255, 0, 255);

QColor Rgb(const QImage& image, int x, int y) { return QColor(image.pixel(x, y) | 0xFF000000u); }
QColor Inverted(const QColor& c) { return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()); }

// Paints a face at (10, 10) size 60 x 30 on a background that the face must not touch.
QImage Paint(const HoverFaceState& state, const QString& caption = QString()) {
    QImage image(80, 50, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    PaintHoverFace(painter, QRect(10, 10, 60, 30), caption, TestPalette(), state);
    return image;
}

TEST(HoverButtonTest, ColoursPerState) {
    struct Case {
        const char* name;
        HoverFaceState state;
        QColor pen, brush, text;
    };
    const QColor grey(109, 109, 109), black(0, 0, 0), pressedText(240, 240, 240), buttonText(10, 10, 10);
    const Case cases[] = {
        {"idle", {true, false, false, false}, kShadow, kIdleFace, buttonText},
        {"hovering", {true, false, true, false}, kHighlight, kHoverFace, black},
        {"pressed", {true, true, false, false}, kHighlight, kPressedFace, pressedText},
        {"pressed and hovering", {true, true, true, false}, kHighlight, kPressedFace, pressedText},
        {"disabled", {false, false, false, false}, kShadow, kIdleFace, grey},
        {"disabled under the pointer", {false, false, true, false}, kShadow, kIdleFace, grey},
        {"disabled and pressed", {false, true, true, true}, kShadow, kIdleFace, grey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HoverFaceColours colours = ChooseHoverFaceColours(TestPalette(), c.state);
        EXPECT_EQ(colours.pen, c.pen);
        EXPECT_EQ(colours.brush, c.brush);
        EXPECT_EQ(colours.text, c.text);

        const QImage image = Paint(c.state);
        const int in = c.state.focused ? 1 : 0;
        EXPECT_EQ(Rgb(image, 10 + in, 10 + in), c.pen);
        EXPECT_EQ(Rgb(image, 69 - in, 39 - in), c.pen);
        EXPECT_EQ(Rgb(image, 12 + in, 30), c.brush);
        EXPECT_EQ(Rgb(image, 9, 20), kBackground);
        EXPECT_EQ(Rgb(image, 70, 20), kBackground);
    }
}

TEST(HoverButtonTest, FocusShrinksTheFaceAndDrawsTheFocusRectangleFourPixelsIn) {
    const QImage image = Paint({true, false, false, true});
    EXPECT_EQ(Rgb(image, 10, 10), kBackground);   // one pixel smaller on every side
    EXPECT_EQ(Rgb(image, 69, 39), kBackground);
    EXPECT_EQ(Rgb(image, 11, 11), kShadow);
    EXPECT_EQ(Rgb(image, 68, 38), kShadow);
    EXPECT_EQ(Rgb(image, 13, 13), kIdleFace);

    // The focus rectangle runs from (14, 14) to (65, 35): dotted, every other pixel inverted.
    EXPECT_EQ(Rgb(image, 14, 14), Inverted(kIdleFace));
    EXPECT_EQ(Rgb(image, 15, 14), kIdleFace);
    EXPECT_EQ(Rgb(image, 16, 14), Inverted(kIdleFace));
    int onRight = 0, onBottom = 0, onLeft = 0;
    for (int y = 14; y <= 35; ++y) onRight += Rgb(image, 65, y) == Inverted(kIdleFace);
    for (int x = 14; x <= 65; ++x) onBottom += Rgb(image, x, 35) == Inverted(kIdleFace);
    for (int y = 14; y <= 35; ++y) onLeft += Rgb(image, 14, y) == Inverted(kIdleFace);
    EXPECT_GE(onRight, 10);
    EXPECT_GE(onBottom, 25);
    EXPECT_GE(onLeft, 10);
    for (int x = 12; x <= 67; ++x) {   // nothing just outside or just inside it
        EXPECT_EQ(Rgb(image, x, 13), kIdleFace) << x;
        EXPECT_EQ(Rgb(image, x, 36), kIdleFace) << x;
    }
    for (int x = 15; x <= 64; ++x) EXPECT_EQ(Rgb(image, x, 15), kIdleFace) << x;
}

TEST(HoverButtonTest, HoverIsSetByEnterOrMoveAndClearedByLeave) {
    HoverButton button(QStringLiteral("1"));
    button.resize(40, 40);
    EXPECT_FALSE(button.isHovering());

    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &move);
    EXPECT_TRUE(button.isHovering());
    QCoreApplication::sendEvent(&button, &move);   // further moves change nothing
    EXPECT_TRUE(button.isHovering());

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovering());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovering());
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovering());
}

TEST(HoverButtonTest, WidgetPaintsItsStates) {
    HoverButton button;
    button.setPalette(TestPalette());
    button.resize(40, 30);

    QImage image = button.grab().toImage();
    EXPECT_EQ(Rgb(image, 0, 0), kShadow);
    EXPECT_EQ(Rgb(image, 2, 2), kIdleFace);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    image = button.grab().toImage();
    EXPECT_EQ(Rgb(image, 0, 0), kHighlight);
    EXPECT_EQ(Rgb(image, 2, 2), kHoverFace);

    // A disabled button under the pointer keeps the idle look.
    button.setEnabled(false);
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.faceState().enabled, false);
    image = button.grab().toImage();
    EXPECT_EQ(Rgb(image, 0, 0), kShadow);
    EXPECT_EQ(Rgb(image, 2, 2), kIdleFace);
}

}  // namespace
}  // namespace dravik::controls
