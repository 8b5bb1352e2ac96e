#include "app/main_dialog.h"
#include "app/lazy_icon.h"

#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "ui_main_dialog.h"

#include "dravik_version.h"

#include <QPainter>
#include <QStyle>
#include <QTabBar>
#include <QTimer>

// The resources live in a static library: nothing would pull their object file into the
// program without this reference, and the icon would be silently missing.
static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace dravik::app {

MainDialog::MainDialog(const pages::PageEnvironment& env, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::MainDialog>()),
      env_(env),
      icon_((InitResources(), LazyFileIcon(QStringLiteral(":/icons/dravik.png")))) {
    ui_->setupUi(this);
    setSizeGripEnabled(true);
    setWindowIcon(icon_);
    ui_->versionLabel->setText(QStringLiteral("Dravik Command Tool Version " DRAVIK_VERSION));
    connect(ui_->exitButton, &QPushButton::clicked, this, &QDialog::reject);

    // The pages are children of the dialog, not of the tab control: they are laid over
    // the tab control's client area and switched by hand, as the tool always did. The
    // wall page follows on first use (videoWallPage()).
    controlPage_ = new pages::ControlPage(env_, this);
    controlPage_->setProperty("controlId", 130);
    controlPage_->hide();
    placePages();

    connect(ui_->tabControl, &QTabWidget::currentChanged, this, &MainDialog::selectPage);
    ui_->tabControl->setCurrentIndex(0);
    selectPage(0);
}

MainDialog::~MainDialog() {
    // Tearing the tab control down must not select (and so build) a page.
    disconnect(ui_->tabControl, nullptr, this, nullptr);
}

pages::VideoWallPage* MainDialog::videoWallPage() {
    if (wallPage_ == nullptr) {
        wallPage_ = new pages::VideoWallPage(env_, this);
        wallPage_->setProperty("controlId", 131);
        wallPage_->hide();
        wallPage_->setGeometry(pageRect());
        wallPage_->raise();
        if (wallSetUp_) wallSetUp_(*wallPage_);
    }
    return wallPage_;
}

void MainDialog::setWallPageSetUp(std::function<void(pages::VideoWallPage&)> setUp) {
    wallSetUp_ = std::move(setUp);
    if (wallPage_ != nullptr && wallSetUp_) wallSetUp_(*wallPage_);
}

void MainDialog::showStartupPorts(const QStringList& ports) {
    env_.portsLater = false;
    env_.startupPorts = ports;
    controlPage_->comPort().ShowPorts(ports);
    if (wallPage_ != nullptr) wallPage_->comPort().ShowPorts(ports);
}

void MainDialog::whenFirstPainted(std::function<void()> work) {
    if (firstPaintPassed_) {
        work();
        return;
    }
    firstPaintWork_.push_back(std::move(work));
}

void MainDialog::runFirstPaintWork() {
    if (firstPaintPassed_) return;
    firstPaintPassed_ = true;
    // Each piece runs once, in order; work given meanwhile runs at once.
    const std::vector<std::function<void()>> work = std::move(firstPaintWork_);
    firstPaintWork_.clear();
    for (const auto& piece : work) piece();
}

QTabWidget* MainDialog::tabControl() const { return ui_->tabControl; }

QRect MainDialog::pageRect() const {
    QRect r = ui_->tabControl->geometry();
    r.setTop(r.top() + ui_->tabControl->tabBar()->sizeHint().height() + 2);
    return r.adjusted(2, 2, -2, -2);
}

void MainDialog::placePages() {
    const QRect r = pageRect();
    controlPage_->setGeometry(r);
    controlPage_->raise();
    if (wallPage_ != nullptr) {
        wallPage_->setGeometry(r);
        wallPage_->raise();
    }
}

void MainDialog::selectPage(int index) {
    controlPage_->hide();
    if (wallPage_ != nullptr) wallPage_->hide();
    QWidget* page = index == 1 ? static_cast<QWidget*>(videoWallPage()) : controlPage_;
    page->show();
    page->setFocus();
}

void MainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The tab bar's real height is known once the style has polished it.
    placePages();
    if (!firstPaintPassed_ && !firstPaintQueued_)
        QTimer::singleShot(kFirstPaintFallbackMs, this, &MainDialog::runFirstPaintWork);
}

void MainDialog::paintEvent(QPaintEvent* event) {
    if (!firstPaintQueued_) {
        // Queued: it runs once this paint (and the rest of the frame) is done.
        firstPaintQueued_ = true;
        QMetaObject::invokeMethod(this, &MainDialog::runFirstPaintWork, Qt::QueuedConnection);
    }
    if (isMinimized()) {
        QPainter p(this);
        const int side = style()->pixelMetric(QStyle::PM_LargeIconSize);
        const int x = (width() - side + 1) / 2;
        const int y = (height() - side + 1) / 2;
        p.fillRect(rect(), palette().window());
        icon_.paint(&p, QRect(x, y, side, side));
        return;
    }
    QDialog::paintEvent(event);
}

}  // namespace dravik::app
