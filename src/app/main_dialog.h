// The main window: a tab control with the "Control" and "Tilvane" pages, the version
// label and "Exit".
#pragma once

#include "pages/page_environment.h"

#include <QDialog>
#include <QIcon>
#include <QTabWidget>

#include <functional>
#include <memory>
#include <vector>

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
    // The "Tilvane" page. It is built when its tab is first selected (or by this call), so
    // that start-up pays only for the page on screen; built, it lives as long as the dialog.
    pages::VideoWallPage* videoWallPage();
    bool videoWallPageBuilt() const { return wallPage_ != nullptr; }
    // Runs `setUp` on the "Tilvane" page right after it is built (at once if it is).
    void setWallPageSetUp(std::function<void(pages::VideoWallPage&)> setUp);

    // Runs `work` once, right after the window's first paint (or kFirstPaintFallbackMs after
    // it is shown when no paint comes, e.g. a window started minimised); at once when that
    // moment has passed. For start-up work whose result is not needed for the first frame.
    void whenFirstPainted(std::function<void()> work);
    static constexpr int kFirstPaintFallbackMs = 500;

    // Fills both pages' COM port boxes with ports found elsewhere (a page built later shows
    // them too). For an environment whose portsLater is set.
    void showStartupPorts(const QStringList& ports);

    QTabWidget* tabControl() const;
    // The rectangle both pages occupy, in the dialog's coordinates.
    QRect pageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void selectPage(int index);
    void placePages();
    void runFirstPaintWork();

    std::unique_ptr<Ui::MainDialog> ui_;
    pages::PageEnvironment env_;
    QIcon icon_;
    pages::ControlPage* controlPage_ = nullptr;
    pages::VideoWallPage* wallPage_ = nullptr;
    std::function<void(pages::VideoWallPage&)> wallSetUp_;
    bool firstPaintPassed_ = false;
    bool firstPaintQueued_ = false;
    std::vector<std::function<void()>> firstPaintWork_;
};

}  // namespace dravik::app
