// The Control page without displays: its controls, the interface switch, the data exchange,
// the level controls and the composer, and the empty-list and selection rules.
#include "page_harness.h"

#include "protocol/frame.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace dravik::pages::testing {
namespace {

enum Start { Shown = 0, Hidden = 1, Disabled = 2 };

struct ControlCase {
    int id;
    const char* className;  // a class the control is (or inherits)
    const char* caption;    // text or title; nullptr: not checked
    int start;              // Shown, Hidden | Disabled, ...
};

// Every control of the page, its caption and its state when the page opens (LAN mode).
const ControlCase kControls[] = {
    {1136, "QRadioButton", "LAN", Shown},
    {1137, "QRadioButton", "RS-232", Shown},
    {1008, "dravik::controls::Ipv4Edit", nullptr, Shown},
    {1003, "QComboBox", nullptr, Shown},
    {1135, "QComboBox", nullptr, Shown},
    {1174, "QCheckBox", "Lock Model", Shown},
    {1005, "QPushButton", "Add Device", Shown},
    {1007, "QPushButton", "Remove Device", Shown},
    {1006, "QPushButton", "Load List", Shown},
    {1009, "QPushButton", "Save List", Shown},
    {1155, "QPushButton", "IP Scan", Shown},
    {1002, "QTableWidget", nullptr, Shown},
    {1038, "QLabel", "", Shown},
    {1014, "QPushButton", "Power", Shown},
    {1015, "QPushButton", "Menu", Shown},
    {1016, "QPushButton", "Input", Shown},
    {1017, "QPushButton", "Vol +", Shown},
    {1018, "QPushButton", "Vol -", Shown},
    {1019, "QPushButton", "Mute", Shown},
    {1020, "QPushButton", "Up", Shown},
    {1021, "QPushButton", "Down", Shown},
    {1022, "QPushButton", "Left", Shown},
    {1023, "QPushButton", "Right", Shown},
    {1024, "QPushButton", "OK", Shown},
    {1025, "QPushButton", "Return", Shown},
    {1191, "QPushButton", "INFO", Hidden},
    {1026, "QPushButton", "On", Shown},
    {1027, "QPushButton", "Off", Shown},
    {1029, "QPushButton", "HDMI 1", Shown},
    {1030, "QPushButton", "HDMI 2", Shown},
    {1031, "QPushButton", "DisplayPort", Shown},
    {1033, "QPushButton", "DVI", Shown},
    {1028, "QPushButton", "VGA", Shown},
    {1032, "QPushButton", "USB", Hidden},
    {1039, "QPushButton", "CMS", Shown},
    {1040, "QPushButton", "Custom", Shown},
    {1034, "QScrollBar", nullptr, Shown},
    {1036, "dravik::pages::SpinButtons", nullptr, Shown},
    {1037, "QLineEdit", "50", Shown},
    {1109, "QPushButton", "Set", Shown},
    {1107, "QScrollBar", nullptr, Shown},
    {1108, "dravik::pages::SpinButtons", nullptr, Shown},
    {1110, "QLineEdit", "50", Shown},
    {1035, "QPushButton", "Set", Shown},
    {1115, "QScrollBar", nullptr, Shown},
    {1117, "dravik::pages::SpinButtons", nullptr, Shown},
    {1116, "QLineEdit", "30", Shown},
    {1118, "QPushButton", "Set", Shown},
    {1119, "QCheckBox", "Key Lock", Shown},
    {1121, "QPushButton", "Set", Shown},
    {1120, "QCheckBox", "IR Lock", Shown},
    {1122, "QPushButton", "Set", Shown},
    {1153, "QGroupBox", "Temperature ", Shown},
    {1154, "QLabel", "°C", Shown},
    {1151, "QPushButton", "Update", Shown},
    {1152, "QLineEdit", "0", Shown},
    {1157, "QLineEdit", "0", Hidden},
    {1162, "QLabel", "Hours", Hidden},
    {1138, "QPushButton", "Reset", Hidden | Disabled},
    {1158, "QPushButton", "Op Hrs", Hidden},
    {1159, "QPushButton", "BR/BKL", Hidden},
    {1160, "QPushButton", "Player", Hidden | Disabled},
    {1161, "QPushButton", "OPS", Hidden},
    {1190, "QPushButton", "M.Player", Hidden},
    {1063, "QLineEdit", "A6", Shown},
    {1064, "QLineEdit", "01", Shown},
    {1065, "QLineEdit", "00", Shown},
    {1066, "QLineEdit", "00", Shown},
    {1067, "QLineEdit", "00", Shown},
    {1068, "QLineEdit", "04", Shown},
    {1069, "QLineEdit", "01", Shown},
    {1070, "QLineEdit", "18", Shown},
    {1071, "QLineEdit", "01", Shown},
    {1072, "QLineEdit", "00", Shown},
    {1073, "QLineEdit", "00", Shown},
    {1074, "QLineEdit", "00", Shown},
    {1075, "QLineEdit", "00", Shown},
    {1079, "QLineEdit", "00", Shown},
    {1080, "QLineEdit", "00", Shown},
    {1076, "QLineEdit", "00", Shown},
    {1062, "QPushButton", "Checksum", Shown},
    {1077, "QLineEdit", "", Shown},
    {1078, "QLineEdit", "", Hidden},
    {1124, "QLineEdit", "", Hidden | Disabled},
    {1123, "QCheckBox", "Show", Hidden},
    {1141, "QGroupBox", "COM Port Settings", Disabled},
    {1139, "QCheckBox", "Broadcast", Hidden | Disabled},
    {1125, "QPushButton", "Search", Disabled},
    {1126, "QPushButton", "Open", Disabled},
    {1127, "QPushButton", "Close", Disabled},
    {1128, "QComboBox", nullptr, Disabled},
    {1129, "QLineEdit", "0", Disabled},
    {1185, "QPushButton", "Check Monitor", Disabled},
    {1187, "QPushButton", "Search", Disabled},
};

QString CaptionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return {};
}

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : w->accessibleName();
}

TEST(ControlPageLayout, EveryControlHasItsIdCaptionStartStateAndName) {
    PageHarness h;
    std::set<int> seen;
    for (const ControlCase& c : kControls) {
        SCOPED_TRACE(c.id);
        QWidget* w = h.control(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(seen.insert(c.id).second) << "listed twice";
        EXPECT_TRUE(w->inherits(c.className)) << w->metaObject()->className();
        if (c.caption) {
            EXPECT_EQ(CaptionOf(w), QString::fromUtf8(c.caption));
        }
        EXPECT_EQ(w->isHidden(), (c.start & Hidden) != 0);
        EXPECT_EQ(w->isEnabled(), (c.start & Disabled) == 0);
        if (qobject_cast<QComboBox*>(w)) {
            // Screen readers name a combo after the label that has it as buddy.
            bool labelled = false;
            for (QLabel* label : h.page->findChildren<QLabel*>()) labelled |= label->buddy() == w;
            EXPECT_TRUE(labelled);
        } else if (!qobject_cast<QLabel*>(w)) {
            EXPECT_FALSE(AccessibleName(w).isEmpty());
        }
    }
    // Nothing on the page carries an identifier that the table does not know.
    int ids = 0;
    for (QWidget* w : h.page->findChildren<QWidget*>()) {
        if (!w->property("controlId").isValid()) continue;
        ++ids;
        EXPECT_TRUE(seen.count(w->property("controlId").toInt())) << w->property("controlId").toInt();
    }
    EXPECT_EQ(ids, static_cast<int>(seen.size()));

    // Buttons are named by their captions, the TX box "TX", the list "Target list".
    EXPECT_EQ(AccessibleName(h.control(1026)), "On");
    EXPECT_EQ(AccessibleName(h.control(1077)), "TX");
    EXPECT_EQ(AccessibleName(h.control(1002)), "Target list");
    const QStringList groups{"Comms Interface", "IR Remote", "Power State", "Input Source", "Backlight",
                             "Brightness",      "Volume",    "Lock OSD",    "Temperature ", "Command and Checksum Data",
                             "COM Port Settings"};
    QStringList titles;
    for (QGroupBox* g : h.page->findChildren<QGroupBox*>()) titles << g->title();
    for (const QString& g : groups) EXPECT_TRUE(titles.contains(g)) << g.toStdString();
}

TEST(ControlPageLayout, TargetListColumnsFollowTheInterface) {
    PageHarness h;
    QTableWidget* list = h.list();
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    // The selected row looks the same with and without the focus.
    EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
              list->palette().color(QPalette::Active, QPalette::Highlight));

    struct Column {
        QString heading;
        int width;
    };
    const auto expect = [&](const std::vector<Column>& columns) {
        ASSERT_EQ(list->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(list->horizontalHeaderItem(c)->text(), columns[c].heading);
            EXPECT_EQ(list->columnWidth(c), columns[c].width);
        }
    };
    expect({{"IP Address", 115}, {"Model", 85}, {"LINK", 45}, {"Pos", 42}, {"ID", 40}});
    h.toRs232();
    expect({{"ID ", 100}, {"Model", 85}, {"LINK", 45}, {"Pos", 42}, {"ID", 40}});
    h.toLan();
    expect({{"IP Address", 115}, {"Model", 85}, {"LINK", 45}, {"Pos", 42}, {"ID", 40}});
}

TEST(ControlPageLayout, ModelAndMonitorIdCombosPerMode) {
    PageHarness h;
    QComboBox* models = h.combo(1003);
    QComboBox* ids = h.combo(1135);
    EXPECT_EQ(models->count(), 61);
    EXPECT_EQ(models->currentText(), "KA-42");
    EXPECT_EQ(models->findText("KC-55D3"), 17);
    ASSERT_EQ(ids->count(), 25);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(ids->itemText(i), QString::number(i + 1));
    EXPECT_EQ(ids->currentText(), "1");

    h.toRs232();
    EXPECT_EQ(models->count(), 60);
    EXPECT_EQ(models->itemText(59), "ZRF-3201");
    EXPECT_EQ(models->findText("KC-55D3"), -1);
    EXPECT_EQ(models->currentIndex(), 0);
    h.toLan();
    EXPECT_EQ(models->count(), 49);
    EXPECT_EQ(models->itemText(48), "KA-65Q");
    EXPECT_EQ(models->currentText(), "KA-42");
}

TEST(ControlPageStart, LocalAddressAndPortSearch) {
    struct Case {
        std::optional<QString> lookup;
        QString shown;
    };
    for (const Case& c : {Case{QStringLiteral("127.0.6.2"), "127.0.6.2"}, Case{std::nullopt, "0.0.0.0"},
                          Case{QStringLiteral("127.0.0.1"), "127.0.0.1"}, Case{QStringLiteral("not an address"), "0.0.0.0"}}) {
        SCOPED_TRACE(c.shown.toStdString());
        HarnessOptions options;
        options.localAddress = c.lookup;
        PageHarness h(options);
        EXPECT_EQ(h.as<controls::Ipv4Edit>(1008)->text(), c.shown);
        // No port found: the combo holds "0" and "Open" refuses it.
        EXPECT_EQ(h.combo(1128)->count(), 1);
        EXPECT_EQ(h.combo(1128)->currentText(), "0");
        EXPECT_EQ(h.page->rowCount(), 0);
    }
    PageHarness h;
    h.toRs232();
    h.press(1126);
    EXPECT_EQ(h.feedback.messages, QStringList{" OPEN COM ERROR !"});
    EXPECT_FALSE(h.page->serialPort().isOpen());
}

// ---------------------------------------------------------------------------------------
// The interface switch and the enabled states that follow it.

struct EnabledCase {
    const char* name;
    std::vector<int> enabled;
    std::vector<int> disabled;
};

void ExpectEnabled(const PageHarness& h, const EnabledCase& c) {
    SCOPED_TRACE(c.name);
    for (int id : c.enabled) EXPECT_TRUE(h.control(id)->isEnabled()) << id;
    for (int id : c.disabled) EXPECT_FALSE(h.control(id)->isEnabled()) << id;
}

TEST(ControlPageInterface, SwitchEnablesTheControlsOfTheInterfaceAndFollowsThePort) {
    auto line = StartLine({Display("KA-55", 1)});
    HarnessOptions options;
    options.ports = {PathOf(*line)};
    PageHarness h(options);
    EXPECT_TRUE(h.page->lanMode());

    const EnabledCase lan{"LAN", {1008, 1155, 1174}, {1139, 1125, 1126, 1127, 1128, 1129, 1141, 1185, 1187}};
    const EnabledCase serialClosed{"RS-232, port closed", {1125, 1126, 1128, 1129, 1141}, {1008, 1155, 1174, 1127, 1185, 1187}};
    const EnabledCase serialOpen{"RS-232, port open", {1127, 1185, 1187, 1128, 1129}, {1008, 1155, 1174, 1125, 1126}};

    ExpectEnabled(h, lan);
    EXPECT_EQ(h.combo(1128)->currentText(), PathOf(*line));
    h.toRs232();
    EXPECT_FALSE(h.page->lanMode());
    EXPECT_TRUE(h.button(1137)->isChecked());
    ExpectEnabled(h, serialClosed);
    h.press(1126);
    ASSERT_TRUE(h.page->serialPort().isOpen()) << h.feedback.messages.join("|").toStdString();
    ExpectEnabled(h, serialOpen);
    EXPECT_EQ(h.edit(1129)->text(), QString::number(transport::SerialPort::PortNumberOf(PathOf(*line))));
    // The port stays open across switches, and the states come back with RS-232.
    h.toLan();
    ExpectEnabled(h, lan);
    EXPECT_TRUE(h.page->serialPort().isOpen());
    h.toRs232();
    ExpectEnabled(h, serialOpen);
    h.press(1127);
    EXPECT_FALSE(h.page->serialPort().isOpen());
    ExpectEnabled(h, serialClosed);
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

TEST(ControlPageInterface, ClickOnTheRadioInForceDoesNothing) {
    PageHarness h;
    h.addRow("127.0.6.3", "LM-55", "3");
    ASSERT_EQ(h.page->rowCount(), 1);
    h.combo(1003)->setCurrentIndex(5);
    h.toLan();  // already LAN: no reload, no refill
    EXPECT_EQ(h.page->rowCount(), 1);
    EXPECT_EQ(h.combo(1003)->currentIndex(), 5);
    EXPECT_EQ(h.combo(1003)->count(), 61);
}

TEST(ControlPageInterface, EnterAndEscapeLeaveThePageOpen) {
    PageHarness h;
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    h.page->setParent(&dialog);
    layout->addWidget(h.page.get());
    dialog.show();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        for (QWidget* target : {static_cast<QWidget*>(h.page.get()), h.control(1116), h.control(1077)}) {
            QTest::keyClick(target, static_cast<Qt::Key>(key));
            EXPECT_TRUE(dialog.isVisible()) << key;
        }
    }
    h.page->setParent(nullptr);
}

// ---------------------------------------------------------------------------------------
// Data exchange

// Read order: radio, Show, composer 1063..1075 and 1076, backlight 1037, brightness 1110,
// volume 1116, Key Lock, IR Lock, composer 1079, 1080, port number 1129, Broadcast,
// temperature 1152, hours 1157, Lock Model.
TEST(ControlPageDataExchange, NonIntegerStopsTheReadAtThatEdit) {
    struct Field {
        int id;
        QString typed;  // what the operator types (a check box: "1" ticks it)
        QString stored;  // what the page held before
    };
    const std::vector<Field> order{
        {1063, "B1", "A6"}, {1075, "07", "00"}, {1076, "5C", "00"}, {1037, "77", "50"}, {1110, "66", "50"},
        {1116, "44", "30"}, {1119, "1", "0"},   {1120, "1", "0"},   {1079, "09", "00"}, {1080, "0A", "00"},
        {1129, "3", "0"},   {1152, "-4", "0"},  {1157, "12", "0"},  {1174, "1", "0"},
    };
    const auto type = [](PageHarness& h, const Field& f) {
        if (auto* box = qobject_cast<QAbstractButton*>(h.control(f.id))) {
            box->setChecked(f.typed == "1");
        } else {
            h.edit(f.id)->setText(f.typed);
        }
    };
    const auto shown = [](PageHarness& h, int id) {
        if (auto* box = qobject_cast<QAbstractButton*>(h.control(id))) return QString(box->isChecked() ? "1" : "0");
        return h.edit(id)->text();
    };

    const int integerEdits[] = {1037, 1110, 1116, 1129, 1152, 1157};
    for (int bad : integerEdits) {
        for (const QString& badText : {QString("x"), QString(""), QString("4 2"), QString("99999999999")}) {
            SCOPED_TRACE(bad);
            SCOPED_TRACE(badText.toStdString());
            PageHarness h;
            h.page->show();
            for (const Field& f : order) type(h, f);
            h.edit(bad)->setText(badText);
            EXPECT_FALSE(h.page->readControls());
            EXPECT_EQ(h.feedback.messages, QStringList{"Please enter an integer."});
            // The focus goes into the edit (one that can take it: 1129 is disabled in LAN
            // mode and 1157 hidden).
            if (h.control(bad)->isEnabled() && h.control(bad)->isVisible()) {
                EXPECT_EQ(h.page->focusWidget(), h.control(bad));
            }
            // Members read before the bad edit took the typed values; it and the ones after
            // kept theirs, which the write-back shows.
            h.page->writeControls();
            bool before = true;
            for (const Field& f : order) {
                if (f.id == bad) before = false;
                EXPECT_EQ(shown(h, f.id), before ? f.typed : f.stored) << f.id;
            }
        }
    }

    PageHarness h;
    for (const QString& good : {QString(" 42 "), QString("+7"), QString("-3"), QString("0300")}) {
        h.edit(1116)->setText(good);
        EXPECT_TRUE(h.page->readControls()) << good.toStdString();
        EXPECT_EQ(h.page->values().volume, good.trimmed().toInt());
    }
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

// ---------------------------------------------------------------------------------------
// Level controls

LevelScrollBar* Bar(const PageHarness& h, int id) { return h.as<LevelScrollBar>(id); }

QPoint SubControlCentre(QScrollBar* bar, QStyle::SubControl sc) {
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    if (bar->orientation() == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, bar).center();
}

TEST(ControlPageLevels, ScrollBarsStepClampAndIgnoreTheTrough) {
    PageHarness h;
    h.page->show();
    struct Case {
        int bar, edit;
        int start;
        QAbstractSlider::SliderAction action;
        int bar_after;
    };
    const Case cases[] = {
        {1034, 1037, 50, QAbstractSlider::SliderSingleStepAdd, 51},
        {1034, 1037, 50, QAbstractSlider::SliderSingleStepSub, 49},
        {1107, 1110, 100, QAbstractSlider::SliderSingleStepAdd, 100},
        {1107, 1110, 0, QAbstractSlider::SliderSingleStepSub, 0},
        {1115, 1116, 30, QAbstractSlider::SliderPageStepAdd, 30},
        {1115, 1116, 30, QAbstractSlider::SliderPageStepSub, 30},
        {1115, 1116, 100, QAbstractSlider::SliderSingleStepAdd, 100},  // volume bar runs to 100
        {1034, 1037, 7, QAbstractSlider::SliderToMaximum, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bar);
        SCOPED_TRACE(c.action);
        LevelScrollBar* bar = Bar(h, c.bar);
        bar->setPosition(c.start);
        h.edit(c.edit)->setText("typed");
        h.edit(1152)->setText("typed too");
        bar->triggerAction(c.action);
        EXPECT_EQ(bar->value(), c.bar_after);
        EXPECT_EQ(bar->sliderPosition(), c.bar_after);
        // The position is stored and every stored value written back over what was typed.
        EXPECT_EQ(h.edit(c.edit)->text(), QString::number(c.bar_after));
        EXPECT_EQ(h.edit(1152)->text(), "0");
    }

    // The same through the mouse: the arrows step, a click in the trough does not move.
    LevelScrollBar* bar = Bar(h, 1034);
    bar->setPosition(100);
    QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(bar->value(), 100);
    QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarSubLine));
    EXPECT_EQ(bar->value(), 99);
    EXPECT_EQ(h.edit(1037)->text(), "99");
    bar->setPosition(50);
    QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarAddPage));
    EXPECT_EQ(bar->value(), 50);
    EXPECT_EQ(h.page->values().backlight, 50);
}

TEST(ControlPageLevels, ThumbReleaseMovesTheBarAndTheEndOfScrollStoresIt) {
    PageHarness h;
    h.page->show();
    LevelScrollBar* bar = Bar(h, 1107);
    std::vector<std::pair<ScrollKind, int>> seen;
    QObject::connect(bar, &LevelScrollBar::scrolled, [&](ScrollKind k, int) { seen.emplace_back(k, h.page->values().brightness); });

    bar->setSliderDown(true);
    bar->setSliderPosition(80);  // dragging: the bar's position stays
    EXPECT_EQ(bar->value(), 50);
    EXPECT_EQ(h.edit(1110)->text(), "50");
    bar->setSliderDown(false);  // release: the bar goes there, the old position is stored
    EXPECT_EQ(bar->value(), 80);
    EXPECT_EQ(h.page->values().brightness, 50);
    // The mouse release that ends the drag brings the end of scroll, which stores 80.
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(h.page->values().brightness, 80);
    EXPECT_EQ(h.edit(1110)->text(), "80");
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, ScrollKind::ThumbTrack);
    EXPECT_EQ(seen[1].first, ScrollKind::ThumbPosition);
    EXPECT_EQ(seen.back().first, ScrollKind::EndScroll);
}

TEST(ControlPageLevels, SpinButtonsWriteTheEditWithinTheirRangeAndLeaveTheBar) {
    PageHarness h;
    h.page->show();
    struct Case {
        int spin, edit, bar;
        QString typed;
        int delta;
        QString after;
    };
    const Case cases[] = {
        {1108, 1110, 1107, "50", +1, "51"},   {1108, 1110, 1107, "100", +1, "100"},
        {1108, 1110, 1107, "0", -1, "0"},     {1117, 1116, 1115, "60", +1, "60"},  // volume spin: 0..60
        {1117, 1116, 1115, "59", +1, "60"},   {1036, 1037, 1034, "12", -1, "11"},
        // A number outside the range (or no number) is not taken: the spin goes on from
        // its own last position.
        {1117, 1116, 1115, "80", -1, "59"},   {1036, 1037, 1034, "abc", +1, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        auto* spin = h.as<SpinButtons>(c.spin);
        h.edit(c.edit)->setText(c.typed);
        const int barBefore = Bar(h, c.bar)->value();
        c.delta > 0 ? spin->upButton()->click() : spin->downButton()->click();
        EXPECT_EQ(h.edit(c.edit)->text(), c.after);
        EXPECT_EQ(Bar(h, c.bar)->value(), barBefore);
    }
    // The arrow keys inside the edit step as well.
    h.edit(1110)->setText("20");
    QTest::keyClick(h.edit(1110), Qt::Key_Up);
    EXPECT_EQ(h.edit(1110)->text(), "21");
    QTest::keyClick(h.edit(1110), Qt::Key_Down);
    QTest::keyClick(h.edit(1110), Qt::Key_Down);
    EXPECT_EQ(h.edit(1110)->text(), "19");
    EXPECT_EQ(h.page->values().brightness, 50);  // stored only by the next read
}

// ---------------------------------------------------------------------------------------
// Composer

TEST(ControlPageComposer, ChecksumShowsTheFrameAndNeverSends) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, QString>> boxes;
        QString tx;        // "" with a message
        QString checksum;  // box 1076 afterwards
        QStringList messages;
    };
    const std::vector<Case> cases{
        {"start contents", {}, "A6 01 00 00 00 04 01 18 01 BB ", "BB", {}},
        {"length 0A uses all boxes",
         {{1068, "0A"}, {1071, "02"}, {1079, "11"}, {1080, "22"}},
         "A6 01 00 00 00 0A 01 18 02 00 00 00 00 11 22 " +
             QString("%1 ").arg(0xA6 ^ 0x01 ^ 0x0A ^ 0x01 ^ 0x18 ^ 0x02 ^ 0x11 ^ 0x22, 2, 16, QChar('0')).toUpper(),
         QString("%1").arg(0xA6 ^ 0x01 ^ 0x0A ^ 0x01 ^ 0x18 ^ 0x02 ^ 0x11 ^ 0x22, 2, 16, QChar('0')).toUpper(),
         {}},
        {"length 0B refused", {{1068, "0B"}}, "", "00", {" Command Lenght over 10 char"}},
        {"100 is 00: bytes 0..4", {{1068, "100"}}, "A6 01 00 00 00 A7 ", "A7", {}},
        {"1G, empty and -1", {{1064, "1G"}, {1065, ""}, {1066, "-1"}}, "A6 01 00 FF 00 04 01 18 01 44 ", "44", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        h.edit(1077)->setText("old");
        const protocol::Frame before = h.page->frameBuffer();
        for (const auto& [id, text] : c.boxes) h.edit(id)->setText(text);
        h.press(1062);
        EXPECT_EQ(h.tx(), c.tx);
        EXPECT_EQ(h.edit(1076)->text(), c.checksum);
        EXPECT_EQ(h.feedback.messages, c.messages);
        EXPECT_EQ(h.page->frameBuffer(), before);
        EXPECT_EQ(h.feedback.beeps, 0);
    }
}

// ---------------------------------------------------------------------------------------
// Commands that need no display: the empty list, and "Update" without a selection.

TEST(ControlPageFlows, EmptyListOnlyBeeps) {
    PageHarness h;
    const int buttons[] = {1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1191,
                           1026, 1027, 1029, 1030, 1031, 1033, 1028, 1032, 1109, 1035, 1118, 1121, 1122,
                           1151, 1158, 1159, 1138, 1160, 1161, 1190};
    for (bool lan : {true, false}) {
        if (!lan) h.toRs232();
        for (int id : buttons) {
            SCOPED_TRACE(id);
            h.feedback.clear();
            h.edit(1077)->setText("before");
            h.press(id);
            EXPECT_EQ(h.feedback.beeps, 1);
            EXPECT_TRUE(h.feedback.messages.isEmpty());
            // Flows and "Update" clear the TX box first; "CMS", "Custom", "Reset", "Player",
            // "Op Hrs" and "BR/BKL" leave it.
            const bool keepsTx = id == 1138 || id == 1160 || id == 1158 || id == 1159;
            EXPECT_EQ(h.tx(), keepsTx ? "before" : "") << id;
        }
        for (int id : {1039, 1040}) {
            h.feedback.clear();
            h.edit(1077)->setText("before");
            h.press(id);
            EXPECT_EQ(h.feedback.beeps, 1);
            EXPECT_EQ(h.tx(), "before");
        }
    }
}

TEST(ControlPageFlows, StatusQueriesNeedOneSelectedRow) {
    PageHarness h;
    h.addRow("127.0.6.4", "KA-55", "1");
    h.addRow("127.0.6.5", "KA-55", "2");
    for (int id : {1151, 1158, 1159}) {
        h.feedback.clear();
        h.press(id);
        EXPECT_EQ(h.feedback.messages, QStringList{"Please Select One Monitor"}) << id;
    }
    EXPECT_EQ(h.cell(0, 2), "0");
    EXPECT_EQ(h.cell(1, 2), "0");
    // A refused model sends nothing either.
    h.addRow("127.0.6.6", "NFB-6502", "3");
    h.select(2);
    h.feedback.clear();
    h.press(1151);
    EXPECT_EQ(h.feedback.messages, QStringList{"NFB-6502 No This Function or unsupported !\r\n"});
    EXPECT_EQ(h.messageLine(), "NFB-6502 No This Function or unsupported !\r\n");
    EXPECT_EQ(h.cell(2, 2), "0");
}

TEST(ControlPageFlows, AClickBelowTheRowsClearsTheSelection) {
    PageHarness h;
    h.page->show();
    h.addRow("127.0.6.7", "KA-55", "1");
    h.select(0);
    EXPECT_EQ(h.page->selectedRow(), 0);
    QWidget* viewport = h.list()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 3));
    EXPECT_EQ(h.page->selectedRow(), -1);
}

}  // namespace
}  // namespace dravik::pages::testing
