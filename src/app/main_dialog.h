// The main window: a tab control with the "Control" and "Tilvane" pages, the version
// label and "Exit".
#pragma once

#include "pages/page_environment.h"

#include <QDialog>
#include <QIcon>
#include <QTabWidget>
#include <memory>

namespace Ui { class MainDialog; }

namespace dravik::pages {
class ControlPage;
class VideoWallPage;
}

namespace dravik::app {

class MainDialog : public QDialog {
    Q_OBJECT
public:
    explicit MainDialog(const pages::PageEnvironment& env, QWidget* parent = nullptr);
    ~MainDialog() override;

    pages::ControlPage* controlPage() const { return controlPage_; }
    pages::VideoWallPage* videoWallPage() const { return wallPage_; }
    QTabWidget* tabControl() const;
    // The rectangle both pages occupy, in the dialog's coordinates.
    QRect pageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void selectPage(int index);
    void placePages();

    std::unique_ptr<Ui::MainDialog> ui_;
    QIcon icon_;
    pages::ControlPage* controlPage_ = nullptr;
    pages::VideoWallPage* wallPage_ = nullptr;
};

}  // namespace dravik::app
