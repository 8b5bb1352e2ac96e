// A Control page for tests: offscreen, in a fresh temporary current directory (the list
// files live there), with a recording Feedback, a fixed local address and an injected COM
// port lister. Controls are found by their identifier, as the operator's tools find them.
// Simulated displays, frames and waits come from tests/support.
#pragma once

#include "controls/ipv4_edit.h"
#include "pages/control/control_page.h"
#include "pages/control/level_controls.h"
#include "support/recording_feedback.h"
#include "targets/local_address.h"

#include "support/sim_displays.h"
#include "support/waits.h"
#include "support/widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravik::pages::testing {

inline QWidget* FindControl(QWidget* root, int id) { return dravik::testing::WithControlId(root, id); }

struct HarnessOptions {
    std::optional<QString> localAddress = QStringLiteral("127.0.6.1");
    QStringList ports;  // what the COM port search finds
};

class PageHarness {
public:
    explicit PageHarness(const HarnessOptions& options = {})
        : oldDir_(QDir::currentPath()), lookup_(options.localAddress) {
        EXPECT_TRUE(dir_.isValid());
        QDir::setCurrent(dir_.path());
        env_.feedback = &feedback;
        env_.localAddress = &lookup_;
        const QStringList ports = options.ports;
        env_.portLister = [ports] { return ports; };
        createPage();
    }
    ~PageHarness() {
        page.reset();
        QDir::setCurrent(oldDir_);
    }
    PageHarness(const PageHarness&) = delete;
    PageHarness& operator=(const PageHarness&) = delete;

    // A new page in the same directory (what a restart of the tool would see).
    void createPage() {
        page.reset();
        page = std::make_unique<ControlPage>(env_);
        page->resize(1130, 640);
    }

    QString dirPath() const { return dir_.path(); }

    QWidget* control(int id) const {
        QWidget* w = FindControl(page.get(), id);
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    template <typename T>
    T* as(int id) const {
        T* w = qobject_cast<T*>(control(id));
        EXPECT_NE(w, nullptr) << "control " << id << " has another class";
        return w;
    }
    QAbstractButton* button(int id) const { return as<QAbstractButton>(id); }
    QLineEdit* edit(int id) const { return as<QLineEdit>(id); }
    QComboBox* combo(int id) const { return as<QComboBox>(id); }
    QTableWidget* list() const { return as<QTableWidget>(1002); }

    // A press as the operator makes it; hidden buttons included, and disabled ones (the
    // hidden "Reset" and "Player") through their signal.
    // A press that starts a command flow returns when the flow has ended (its events shown);
    // one made while a flow runs returns at once.
    void press(int id) const {
        const bool idle = !page->flowRunning();
        QAbstractButton* b = button(id);
        if (b->isEnabled()) {
            b->click();
        } else {
            QMetaObject::invokeMethod(b, "clicked", Q_ARG(bool, false));
        }
        if (idle) waitIdle();
    }

    // Takes events until the page's flow has ended (at most two minutes).
    void waitIdle() const {
        dravik::testing::WaitUntil([this] { return !page->flowRunning(); }, std::chrono::minutes(2));
        QCoreApplication::processEvents();
    }

    void toRs232() const { press(1137); }
    void toLan() const { press(1136); }

    // Adds a row through the input controls and "Add Device". LAN: key is the IP address;
    // RS-232: the monitor ID.
    void addRow(const QString& key, const QString& model, const QString& id = QStringLiteral("1")) const {
        combo(1003)->setCurrentText(model);
        if (page->lanMode()) {
            EXPECT_TRUE(as<controls::Ipv4Edit>(1008)->setAddress(key)) << key.toStdString();
            combo(1135)->setCurrentText(id);
        } else {
            combo(1135)->setCurrentText(key);
        }
        press(1005);
    }

    void select(int row) const {
        if (row < 0) {
            list()->clearSelection();
        } else {
            list()->selectRow(row);
        }
    }

    QString cell(int row, int col) const { return page->cellText(row, col); }
    QString tx() const { return edit(1077)->text(); }
    QString messageLine() const { return edit(1124)->text(); }
    QString status() const { return as<QLabel>(1038)->text(); }

    // Opens the port named by the combo's current text ("Open").
    void openPort(const QString& path) const {
        combo(1128)->setCurrentText(path);
        press(1126);
    }

    dravik::testing::RecordingFeedback feedback;
    std::unique_ptr<ControlPage> page;

private:
    QTemporaryDir dir_;
    QString oldDir_;
    targets::FixedAddressLookup lookup_;
    PageEnvironment env_;
};

// ---------------------------------------------------------------------------------------
// Simulated displays.

// The Control page tests' name for a display's configuration.
inline sim::DisplayConfig Display(const std::string& model, int id = 1, sim::Fault fault = sim::Fault::None) {
    return dravik::testing::Config(model, id, fault);
}

using dravik::testing::Frames;
using dravik::testing::PathOf;
using dravik::testing::StartLan;
using dravik::testing::StartLine;

}  // namespace dravik::pages::testing
