// The main window under the offscreen platform: title, tabs, page switching.
#include "app/main_dialog.h"
#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "support/recording_feedback.h"
#include "targets/local_address.h"

#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace dravik::app {
namespace {

QWidget* findById(QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) return w;
    }
    return nullptr;
}

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() : lookup_(QStringLiteral("127.0.9.1")) {
        env_.feedback = &feedback_;
        env_.localAddress = &lookup_;
    }
    testing::RecordingFeedback feedback_;
    targets::FixedAddressLookup lookup_;
    pages::PageEnvironment env_;
};

TEST_F(MainDialogTest, TitleTabsAndStaticTexts) {
    MainDialog dialog(env_);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Orvante  Dravik COMMAND & CTRL"));
    ASSERT_EQ(dialog.tabControl()->count(), 2);
    EXPECT_EQ(dialog.tabControl()->tabText(0), QStringLiteral("  Control    "));
    EXPECT_EQ(dialog.tabControl()->tabText(1), QStringLiteral("  Tilvane     "));
    EXPECT_EQ(dialog.tabControl()->property("controlId").toInt(), 1000);

    auto* ok = qobject_cast<QPushButton*>(findById(&dialog, 1));
    auto* exit = qobject_cast<QPushButton*>(findById(&dialog, 2));
    ASSERT_TRUE(ok && exit);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(exit->text(), QStringLiteral("Exit"));

    dialog.show();
    EXPECT_FALSE(ok->isVisible());
    EXPECT_TRUE(exit->isVisible());
    QStringList visibleTexts;
    QStringList hiddenTexts;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->parentWidget() != &dialog) continue;
        (label->isVisible() ? visibleTexts : hiddenTexts) << label->text();
    }
    EXPECT_TRUE(visibleTexts.contains(QStringLiteral("Dravik Command Tool Version 1.3.33")));
    EXPECT_TRUE(hiddenTexts.contains(QStringLiteral("GBW Command Tool Version 0.1.2")));
    EXPECT_TRUE(hiddenTexts.contains(QStringLiteral("2022/08/01")));
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST_F(MainDialogTest, ControlPageFirstThenSwitching) {
    MainDialog dialog(env_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.tabControl()->currentIndex(), 0);
    EXPECT_TRUE(dialog.controlPage()->isVisible());
    EXPECT_FALSE(dialog.videoWallPage()->isVisible());
    // Pages are children of the dialog and share one rectangle inside the tab control.
    EXPECT_EQ(dialog.controlPage()->parentWidget(), &dialog);
    EXPECT_EQ(dialog.controlPage()->geometry(), dialog.pageRect());
    EXPECT_EQ(dialog.videoWallPage()->geometry(), dialog.pageRect());
    EXPECT_TRUE(dialog.tabControl()->geometry().contains(dialog.pageRect()));

    QTest::mouseClick(dialog.tabControl()->tabBar(), Qt::LeftButton, {},
                      dialog.tabControl()->tabBar()->tabRect(1).center());
    EXPECT_EQ(dialog.tabControl()->currentIndex(), 1);
    EXPECT_FALSE(dialog.controlPage()->isVisible());
    EXPECT_TRUE(dialog.videoWallPage()->isVisible());

    dialog.tabControl()->setCurrentIndex(0);
    EXPECT_TRUE(dialog.controlPage()->isVisible());
    EXPECT_FALSE(dialog.videoWallPage()->isVisible());
}

TEST_F(MainDialogTest, ExitClosesAndEnterDoesNot) {
    MainDialog dialog(env_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.controlPage()->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(dialog.controlPage(), key);
        EXPECT_TRUE(dialog.isVisible()) << key;
    }
    dialog.tabControl()->setCurrentIndex(1);
    QTest::keyClick(dialog.videoWallPage(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(qobject_cast<QPushButton*>(findById(&dialog, 2)), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace dravik::app
