// What the operator sees besides the window's own controls: modal messages, a Yes/No
// question and the beep. Pages and exchanges talk to this interface only, so tests can
// record what was shown and answer questions.
#pragma once

#include <QString>

namespace dravik::ui {

class Feedback {
public:
    virtual ~Feedback() = default;
    // A modal message box with an OK button.
    virtual void message(const QString& text) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool ask(const QString& text) = 0;
    // The empty-list beep (2000 Hz, 350 ms).
    virtual void beep() = 0;
};

}  // namespace dravik::ui
