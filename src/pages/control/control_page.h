// The "Control" tab: target list, interface choice, COM port and the command buttons.
#pragma once

#include "pages/page_environment.h"

#include <QWidget>
#include <memory>

namespace Ui { class ControlPage; }

namespace dravik::pages {

class ControlPage : public QWidget {
    Q_OBJECT
public:
    explicit ControlPage(const PageEnvironment& env, QWidget* parent = nullptr);
    ~ControlPage() override;

protected:
    // Enter and Esc never close anything from inside a page.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::ControlPage> ui_;
    PageEnvironment env_;
};

}  // namespace dravik::pages
