// Enter and Esc never close anything from inside a page: the pages used to be dialogs whose
// default OK and Cancel actions were emptied, and operators rely on that.
#pragma once

#include <QKeyEvent>

namespace dravik::pages {

// True (and the event accepted) for the keys a page swallows.
inline bool SwallowDialogKeys(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return true;
        default:
            return false;
    }
}

}  // namespace dravik::pages
