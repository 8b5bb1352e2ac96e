// Feedback on real message boxes and the system beep.
#pragma once

#include "ui/feedback.h"

class QWidget;

namespace dravik::app {

class MessageFeedback : public ui::Feedback {
public:
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    void message(const QString& text) override;
    bool ask(const QString& text) override;
    void beep() override;

private:
    QWidget* parent_ = nullptr;
};

}  // namespace dravik::app
