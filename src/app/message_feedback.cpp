#include "app/message_feedback.h"

#include <QApplication>
#include <QMessageBox>

namespace dravik::app {

void MessageFeedback::message(const QString& text) {
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

bool MessageFeedback::ask(const QString& text) {
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageFeedback::beep() {
    // Qt has no way to choose the tone; the platform bell stands in for 2000 Hz / 350 ms.
    QApplication::beep();
}

}  // namespace dravik::app
