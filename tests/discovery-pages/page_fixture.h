// A page on an offscreen screen, in a fresh current directory, with recorded feedback, a
// local address the test sets, and a fake subnet behind "IP Scan".
#pragma once

#include "discovery_support.h"
#include "pages/page_environment.h"
#include "support/widgets.h"
#include "targets/local_address.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include <optional>

namespace dravik::discovery_pages {

class SettableLookup final : public targets::LocalAddressLookup {
public:
    std::optional<QString> firstIPv4() override { return address; }
    std::optional<QString> address = QStringLiteral("127.0.10.7");
};

inline constexpr int kSerialRadio = 1137;
inline constexpr int kOpen = 1126;

template <typename Page>
class PageFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        scan = std::make_shared<ScanNet>();
    }
    void TearDown() override {
        page_.reset();
        QDir::setCurrent(previous_);
    }

    // `withBackends` false: the page gets no way to scan, as a page built outside the app.
    Page& MakePage(bool withBackends = true, QStringList ports = {}) {
        page_.reset();
        env_.feedback = &feedback;
        env_.localAddress = &lookup;
        env_.portLister = [ports] { return ports; };
        env_.scanOptions = QuickScan();
        env_.scanBackends = nullptr;
        if (withBackends) {
            env_.scanBackends = [this] {
                ++backendRequests;
                return discovery::ScanBackends{scan, scan};
            };
        }
        page_ = std::make_unique<Page>(env_);
        page_->resize(1130, 640);
        page_->show();
        return *page_;
    }
    Page& page() { return *page_; }
    void DestroyPage() { page_.reset(); }

    QAbstractButton* Button(int controlId) {
        for (auto* b : page_->template findChildren<QAbstractButton*>()) {
            if (b->property("controlId").toInt() == controlId) return b;
        }
        ADD_FAILURE() << "no control " << controlId;
        return nullptr;
    }
    // A press that starts a flow on the page's worker ("Search", "Check Monitor") returns when
    // the flow has ended and its events are shown; one made while a flow runs returns at once.
    void Click(int controlId) {
        const bool idle = !page_->flowRunning();
        QTest::mouseClick(Button(controlId), Qt::LeftButton);
        if (idle && page_->flowRunning()) WaitIdle();
    }
    void WaitIdle() {
        EXPECT_TRUE(WaitUntil([this] { return !page_->flowRunning(); }, 120s));
        QCoreApplication::processEvents();
    }
    // RS-232 mode with `device` opened through the port box; what that said is cleared.
    void OpenLine(const std::string& device) {
        Click(kSerialRadio);
        Child<QComboBox>("portCombo")->setCurrentText(QString::fromStdString(device));
        Click(kOpen);
        ASSERT_TRUE(page_->serialPort().isOpen()) << feedback.messages.join('|').toStdString();
        feedback.clear();
        feedback.events.clear();
    }
    template <typename T = QWidget>
    T* Child(const char* name) {
        return dravik::testing::Named<T>(page_.get(), name);
    }
    // Every row as "c0|c1|c2|c3|c4", sorted: scan results arrive in any order.
    QStringList SortedRows() {
        QStringList out;
        for (int r = 0; r < page_->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 5; ++c) cells << page_->cellText(r, c);
            out << cells.join('|');
        }
        out.sort();
        return out;
    }
    QStringList Column(int col) {
        QStringList out;
        for (int r = 0; r < page_->rowCount(); ++r) out << page_->cellText(r, col);
        return out;
    }

    EventFeedback feedback;
    SettableLookup lookup;
    std::shared_ptr<ScanNet> scan;
    std::atomic<int> backendRequests{0};

private:
    QTemporaryDir dir_;
    QString previous_;
    pages::PageEnvironment env_;
    std::unique_ptr<Page> page_;
};

}  // namespace dravik::discovery_pages
