#include "pages/control/control_page.h"

#include <QKeyEvent>

#include "ui_control_page.h"

namespace dravik::pages {

ControlPage::ControlPage(const PageEnvironment& env, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ControlPage>()), env_(env) {
    ui_->setupUi(this);
}

ControlPage::~ControlPage() = default;

void ControlPage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace dravik::pages
