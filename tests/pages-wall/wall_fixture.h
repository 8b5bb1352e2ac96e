// The "Tilvane" page on an offscreen screen, in a fresh current directory, with recorded
// feedback, a fixed local address and simulated displays on 127.0.7.x / pseudo-terminals.
#pragma once

#include "controls/hover_button.h"
#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"
#include "pages/wall/spin_edit.h"
#include "pages/wall/video_wall_page.h"
#include "support/recording_feedback.h"
#include "support/waits.h"
#include "support/widgets.h"
#include "targets/local_address.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>

namespace dravik::pages::testing {

using namespace std::chrono_literals;

inline std::unique_ptr<sim::LanDisplay> StartDisplay(const std::string& address, const std::string& model = "KA-55",
                                                     sim::Fault fault = sim::Fault::None) {
    sim::DisplayConfig config;
    config.model = model;
    config.fault = fault;
    auto display = std::make_unique<sim::LanDisplay>(address, config);
    std::string error;
    EXPECT_TRUE(display->start(&error)) << address << ": " << error;
    return display;
}

inline std::unique_ptr<sim::SerialLine> StartLine(std::vector<int> ids, sim::Fault fault = sim::Fault::None) {
    std::vector<sim::DisplayConfig> configs;
    for (int id : ids) {
        sim::DisplayConfig c;
        c.model = "KA-55";
        c.monitorId = id;
        c.fault = fault;
        configs.push_back(c);
    }
    auto line = std::make_unique<sim::SerialLine>(configs);
    std::string error;
    EXPECT_TRUE(line->start(&error)) << error;
    return line;
}

// The frames a display or line logged, as "%02X " text without the trailing blank.
template <typename Source>
std::vector<std::string> Frames(const Source& source) {
    std::vector<std::string> out;
    for (const auto& e : source.log()) out.push_back(e.hex.substr(0, e.hex.find_last_not_of(' ') + 1));
    return out;
}

class WallPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }
    void TearDown() override {
        page_.reset();
        QDir::setCurrent(previous_);
    }

    VideoWallPage& MakePage(QStringList ports = {}) {
        page_.reset();
        env_.feedback = &feedback_;
        env_.localAddress = &lookup_;
        env_.portLister = [ports] { return ports; };
        page_ = std::make_unique<VideoWallPage>(env_);
        page_->resize(1130, 640);
        page_->show();
        return *page_;
    }
    VideoWallPage& page() { return *page_; }

    QAbstractButton* Button(int controlId) {
        for (auto* b : page_->findChildren<QAbstractButton*>()) {
            if (b->property("controlId").toInt() == controlId) return b;
        }
        ADD_FAILURE() << "no control " << controlId;
        return nullptr;
    }
    // A click that starts a wall command returns when the command has ended (its events
    // shown); one made while a command runs returns at once.
    void Click(int controlId) { Settled([&] { QTest::mouseClick(Button(controlId), Qt::LeftButton); }); }
    void ClickCell(int position) {
        Settled([&] { QTest::mouseClick(page_->gridButtons().at(position - 1), Qt::LeftButton); });
    }
    template <typename Fn>
    void Settled(Fn click) {
        const bool idle = !page_->flowRunning();
        click();
        if (!idle) return;
        dravik::testing::WaitUntil([this] { return !page_->flowRunning(); }, std::chrono::minutes(2));
        QCoreApplication::processEvents();
    }
    // Until the running command and every command waiting after it have ended.
    void Drain() {
        QDeadlineTimer deadline(60000);
        while ((page_->busy() || page_->commandsWaiting() > 0) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        QCoreApplication::processEvents();
    }
    template <typename T = QWidget>
    T* Child(const char* name) {
        return dravik::testing::Named<T>(page_.get(), name);
    }
    QTableWidget* List() { return Child<QTableWidget>("wallTargetList"); }
    void Select(int row) {
        if (row < 0) {
            List()->clearSelection();
        } else {
            List()->selectRow(row);
        }
    }
    void SetMatrix(int columns, int rows) {
        Child<SpinEdit>("columnsEdit")->setText(QString::number(columns));
        Child<SpinEdit>("rowsEdit")->setText(QString::number(rows));
    }
    QString Cell(int row, int col) { return page_->cellText(row, col); }
    QStringList Column(int col) {
        QStringList out;
        for (int r = 0; r < page_->rowCount(); ++r) out << Cell(r, col);
        return out;
    }
    QStringList Captions() {
        QStringList out;
        for (auto* b : page_->gridButtons()) out << b->text();
        return out;
    }
    // RS-232 mode with the line's device open.
    void OpenSerial(const sim::SerialLine& line) {
        Click(1137);
        page_->findChild<QComboBox*>("portCombo")->setCurrentText(QString::fromStdString(line.devicePath()));
        Click(1126);
        ASSERT_TRUE(page_->serialPort().isOpen()) << feedback_.messages.join('|').toStdString();
    }

    dravik::testing::RecordingFeedback feedback_;
    targets::FixedAddressLookup lookup_{QStringLiteral("192.0.2.10")};

private:
    QTemporaryDir dir_;
    QString previous_;
    PageEnvironment env_;
    std::unique_ptr<VideoWallPage> page_;
};

}  // namespace dravik::pages::testing
