// What start-up leaves for later: the "Tilvane" page (built on first use), the COM port boxes
// (filled after the first paint) and the work that waits for the first paint.
#include "app/lazy_icon.h"
#include "app/main_dialog.h"
#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "support/recording_feedback.h"
#include "targets/local_address.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dravik::app {
namespace {

QStringList Entries(QWidget* page) {
    QStringList out;
    auto* combo = page->findChild<QComboBox*>(QStringLiteral("portCombo"));
    if (combo == nullptr) return {QStringLiteral("<no portCombo>")};
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}

class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

class StartupTest : public ::testing::Test {
protected:
    StartupTest() : lookup_(QStringLiteral("127.0.84.1")) {
        env_.feedback = &feedback_;
        env_.localAddress = &lookup_;
        env_.portLister = [this] {
            ++listerCalls_;
            return QStringList();
        };
    }
    testing::RecordingFeedback feedback_;
    targets::FixedAddressLookup lookup_;
    pages::PageEnvironment env_;
    int listerCalls_ = 0;
};

TEST_F(StartupTest, WallPageIsBuiltOnFirstUseWhicheverWayItIsReached) {
    const std::vector<std::pair<std::string, std::function<void(MainDialog&)>>> ways = {
        {"tab clicked",
         [](MainDialog& d) {
             QTest::mouseClick(d.tabControl()->tabBar(), Qt::LeftButton, {}, d.tabControl()->tabBar()->tabRect(1).center());
         }},
        {"tab selected", [](MainDialog& d) { d.tabControl()->setCurrentIndex(1); }},
        {"accessor", [](MainDialog& d) { d.videoWallPage(); }},
    };
    for (const auto& [name, reach] : ways) {
        SCOPED_TRACE(name);
        MainDialog dialog(env_);
        std::vector<pages::VideoWallPage*> setUp;
        dialog.setWallPageSetUp([&](pages::VideoWallPage& page) { setUp.push_back(&page); });
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_FALSE(dialog.videoWallPageBuilt());
        EXPECT_TRUE(setUp.empty());

        reach(dialog);
        ASSERT_TRUE(dialog.videoWallPageBuilt());
        pages::VideoWallPage* wall = dialog.videoWallPage();
        ASSERT_EQ(setUp, std::vector<pages::VideoWallPage*>{wall});
        EXPECT_EQ(wall->parentWidget(), &dialog);
        EXPECT_EQ(wall->property("controlId").toInt(), 131);
        EXPECT_EQ(wall->geometry(), dialog.pageRect());
        EXPECT_EQ(wall->isVisible(), dialog.tabControl()->currentIndex() == 1);

        // Back and forth: the same page, set up once.
        dialog.tabControl()->setCurrentIndex(0);
        dialog.tabControl()->setCurrentIndex(1);
        EXPECT_EQ(dialog.videoWallPage(), wall);
        EXPECT_TRUE(wall->isVisible());
        EXPECT_FALSE(dialog.controlPage()->isVisible());
        EXPECT_EQ(setUp.size(), 1u);
    }
}

TEST_F(StartupTest, SetUpGivenAfterTheWallPageIsBuiltRunsAtOnce) {
    MainDialog dialog(env_);
    pages::VideoWallPage* wall = dialog.videoWallPage();
    int calls = 0;
    dialog.setWallPageSetUp([&](pages::VideoWallPage& page) {
        EXPECT_EQ(&page, wall);
        ++calls;
    });
    EXPECT_EQ(calls, 1);
    dialog.tabControl()->setCurrentIndex(1);
    EXPECT_EQ(calls, 1);
}

TEST_F(StartupTest, FirstPaintWorkRunsOnceAfterThePaintInOrder) {
    MainDialog dialog(env_);
    PaintCounter counter;
    dialog.installEventFilter(&counter);
    std::vector<std::pair<int, int>> ran;  // (piece, paints seen when it ran)
    dialog.whenFirstPainted([&] { ran.push_back({1, counter.paints}); });
    dialog.whenFirstPainted([&] {
        ran.push_back({2, counter.paints});
        // Work given while the work runs runs at once.
        dialog.whenFirstPainted([&] { ran.push_back({3, counter.paints}); });
    });
    QTest::qWait(20);
    EXPECT_TRUE(ran.empty()) << "ran before the window was shown";

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 3; }, 2000));
    for (const auto& [piece, paints] : ran) EXPECT_GE(paints, 1) << "piece " << piece << " ran before the first paint";
    EXPECT_EQ(ran[0].first, 1);
    EXPECT_EQ(ran[1].first, 2);
    EXPECT_EQ(ran[2].first, 3);

    dialog.repaint();
    QTest::qWait(MainDialog::kFirstPaintFallbackMs + 50);
    EXPECT_EQ(ran.size(), 3u) << "ran again";
    bool late = false;
    dialog.whenFirstPainted([&] { late = true; });
    EXPECT_TRUE(late) << "work given after the first paint waits";
}

TEST_F(StartupTest, PortBoxesFilledLaterShowTheSharedPortsOnBothPages) {
    struct Case {
        const char* name;
        bool wallBeforePorts;
        QStringList found;
        QStringList shown;
    };
    const Case cases[] = {
        {"wall built before the ports", true, {"ttyUSB1", "ttyS0"}, {"ttyS0", "ttyUSB1"}},
        {"wall built after the ports", false, {"ttyUSB1", "ttyS0"}, {"ttyS0", "ttyUSB1"}},
        {"no port found", false, {}, {"0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listerCalls_ = 0;
        pages::PageEnvironment env = env_;
        env.portsLater = true;
        MainDialog dialog(env);
        EXPECT_EQ(Entries(dialog.controlPage()), QStringList());
        if (c.wallBeforePorts) {
            EXPECT_EQ(Entries(dialog.videoWallPage()), QStringList());
        }

        dialog.showStartupPorts(c.found);
        EXPECT_EQ(Entries(dialog.controlPage()), c.shown);
        EXPECT_EQ(Entries(dialog.videoWallPage()), c.shown);
        // The pages never searched themselves: the ports came from the one search outside.
        EXPECT_EQ(listerCalls_, 0);
    }
}

TEST(LazyFileIcon, ReadsAsTheFileWouldAndIsNullOnlyForAMissingFile) {
    struct Case {
        const char* file;
        bool null;
    };
    const Case cases[] = {{":/icons/dravik.png", false}, {":/icons/no-such-icon.png", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QIcon lazy = LazyFileIcon(QString::fromLatin1(c.file));
        const QIcon eager(QString::fromLatin1(c.file));
        EXPECT_EQ(lazy.isNull(), c.null);
        // The icon is there (its resource is linked in), not an empty one.
        EXPECT_EQ(eager.pixmap(QSize(64, 64)).isNull(), c.null);
        EXPECT_EQ(lazy.availableSizes(), eager.availableSizes());
        for (const QSize size : {QSize(16, 16), QSize(64, 64), QSize(128, 128)}) {
            EXPECT_EQ(lazy.actualSize(size), eager.actualSize(size)) << size.width();
            EXPECT_EQ(lazy.pixmap(size).toImage(), eager.pixmap(size).toImage()) << size.width();
        }
        // Painted (the minimised dialog draws it so): the same pixels.
        QImage a(48, 48, QImage::Format_ARGB32_Premultiplied), b = a;
        a.fill(Qt::transparent);
        b.fill(Qt::transparent);
        QPainter pa(&a), pb(&b);
        lazy.paint(&pa, QRect(0, 0, 48, 48));
        eager.paint(&pb, QRect(0, 0, 48, 48));
        pa.end();
        pb.end();
        EXPECT_EQ(a, b);
    }
}

}  // namespace
}  // namespace dravik::app
