// The yardstick of the start-up bench: a bare Qt window, shown at the size given as
// "WIDTHxHEIGHT" (the bench passes the tool's own), 1175x754 without one.
//
// Built three times: bare (the yardstick itself), and two references that show what the
// tool cannot avoid and a bare window does not pay: with DRAVIK_BARE_TEXT one line of text
// (the font system is set up for it), with DRAVIK_BARE_TOOL_MODULES also linked against the
// Qt modules the tool needs beyond Widgets (Network, SerialPort, and what they load).
#include <QApplication>
#include <QWidget>

#include <cstdio>

#ifdef DRAVIK_BARE_TEXT
#include <QLabel>
#endif
#ifdef DRAVIK_BARE_TOOL_MODULES
#include <QHostAddress>
#include <QSerialPortInfo>
#endif

int main(int argc, char** argv) {
#ifdef DRAVIK_BARE_TOOL_MODULES
    // Keeps both libraries needed by the program without running any of their code.
    volatile bool never = false;
    if (never) {
        (void)QHostAddress(QHostAddress::LocalHost).toString();
        (void)QSerialPortInfo::availablePorts();
    }
#endif
    QApplication app(argc, argv);
    int width = 1175, height = 754;
    if (argc > 1) std::sscanf(argv[1], "%dx%d", &width, &height);
    QWidget window;
#ifdef DRAVIK_BARE_TEXT
    QLabel label(QStringLiteral("Dravik Command Tool Version 1.3.33"), &window);
    label.move(13, 706);
#endif
    window.resize(width, height);
    window.show();
    return app.exec();
}
