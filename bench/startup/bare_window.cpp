// The yardstick of the start-up bench: a bare Qt window of the tool's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1130, 640);
    window.show();
    return app.exec();
}
