#include "app/main_dialog.h"

#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "ui_main_dialog.h"

#include "dravik_version.h"

#include <QPainter>
#include <QStyle>
#include <QTabBar>

namespace dravik::app {

MainDialog::MainDialog(const pages::PageEnvironment& env, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::MainDialog>()),
      icon_(QStringLiteral(":/icons/dravik.png")) {
    ui_->setupUi(this);
    setSizeGripEnabled(true);
    setWindowIcon(icon_);
    ui_->versionLabel->setText(QStringLiteral("Dravik Command Tool Version " DRAVIK_VERSION));
    connect(ui_->exitButton, &QPushButton::clicked, this, &QDialog::reject);

    // The pages are children of the dialog, not of the tab control: they are laid over
    // the tab control's client area and switched by hand, as the tool always did.
    controlPage_ = new pages::ControlPage(env, this);
    controlPage_->setProperty("controlId", 130);
    controlPage_->hide();
    wallPage_ = new pages::VideoWallPage(env, this);
    wallPage_->setProperty("controlId", 131);
    wallPage_->hide();
    placePages();

    connect(ui_->tabControl, &QTabWidget::currentChanged, this, &MainDialog::selectPage);
    ui_->tabControl->setCurrentIndex(0);
    selectPage(0);
}

MainDialog::~MainDialog() = default;

QTabWidget* MainDialog::tabControl() const { return ui_->tabControl; }

QRect MainDialog::pageRect() const {
    QRect r = ui_->tabControl->geometry();
    r.setTop(r.top() + ui_->tabControl->tabBar()->sizeHint().height() + 2);
    return r.adjusted(2, 2, -2, -2);
}

void MainDialog::placePages() {
    const QRect r = pageRect();
    controlPage_->setGeometry(r);
    wallPage_->setGeometry(r);
    controlPage_->raise();
    wallPage_->raise();
}

void MainDialog::selectPage(int index) {
    controlPage_->hide();
    wallPage_->hide();
    QWidget* page = index == 1 ? static_cast<QWidget*>(wallPage_) : controlPage_;
    page->show();
    page->setFocus();
}

void MainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The tab bar's real height is known once the style has polished it.
    placePages();
}

void MainDialog::paintEvent(QPaintEvent* event) {
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
