// Feedback for tests: records every message, question and beep, and answers questions
// with a preset reply.
#pragma once

#include "ui/feedback.h"

#include <QStringList>

namespace dravik::testing {

class RecordingFeedback : public ui::Feedback {
public:
    void message(const QString& text) override { messages << text; }
    bool ask(const QString& text) override {
        questions << text;
        return answerYes;
    }
    void beep() override { ++beeps; }

    void clear() {
        messages.clear();
        questions.clear();
        beeps = 0;
    }

    QStringList messages;
    QStringList questions;
    int beeps = 0;
    bool answerYes = true;
};

}  // namespace dravik::testing
