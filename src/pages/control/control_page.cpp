// ControlPage: construction, initialisation, the interface switch, the data exchange and
// the page context that the exchanges work on. The command buttons are in
// control_page_commands.cpp, the target list files in control_page_targets.cpp, the level
// controls and the composer in control_page_levels.cpp.
#include "pages/control/control_page.h"
#include "pages/page_keys.h"
#include "pages/status_line.h"

#include "pages/page_scan.h"
#include "pages/control/control_discovery_view.h"
#include "pages/control/control_flow_view.h"
#include "pages/serial_discovery_view.h"
#include "pages/control/control_texts.h"
#include "pages/control/level_controls.h"
#include "protocol/decode.h"
#include "protocol/models.h"
#include "ui/model_lists.h"
#include "ui_control_page.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableWidget>

#include <limits>

namespace dravik::pages {

// An integer edit's text as the data exchange takes it: blanks around, an optional sign,
// at least one digit and nothing else; it must fit an int.
bool ParseInteger(const QString& text, int& value) {
    const QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) ++i;
    if (i == t.size()) return false;
    for (int k = i; k < t.size(); ++k) {
        if (t[k] < QLatin1Char('0') || t[k] > QLatin1Char('9')) return false;
    }
    bool ok = false;
    const long long v = t.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}


namespace {

constexpr int kMonitorIds = 25;

// Composer boxes at start: the power-off frame for monitor ID 01 without its checksum.
constexpr const char* kComposerStart[16] = {"A6", "01", "00", "00", "00", "04", "01", "18",
                                            "01", "00", "00", "00", "00", "00", "00", "00"};

}  // namespace

// The page's own side of the "COM Port Settings" box, for the port controller.
class ControlPage::PortView final : public ui::ComPortView {
public:
    explicit PortView(ControlPage& page) : page_(page), ui_(*page.ui_) {}

    void setPortEntries(const QStringList& entries) override {
        ui_.portCombo->clear();
        ui_.portCombo->addItems(entries);
        ui_.portCombo->setCurrentIndex(0);
    }
    QString portText() const override { return ui_.portCombo->currentText(); }
    void setPortNumber(int number) override { page_.comPortNumber_ = number; }
    void setOpenEnabled(bool enabled) override { ui_.openButton->setEnabled(enabled); }
    void setCloseEnabled(bool enabled) override { ui_.closeButton->setEnabled(enabled); }
    void setSearchEnabled(bool enabled) override { ui_.portSearchButton->setEnabled(enabled); }
    void setCheckMonitorEnabled(bool enabled) override { ui_.checkMonitorButton->setEnabled(enabled); }
    void setIdSearchEnabled(bool enabled) override { ui_.idSearchButton->setEnabled(enabled); }
    void readControls() override { page_.readControls(); }
    void writeControls() override { page_.writeControls(); }

private:
    ControlPage& page_;
    Ui::ControlPage& ui_;
};

// Stands in when the page was given no Feedback: nothing is shown.
class ControlPage::NoFeedback final : public ui::Feedback {
public:
    void message(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void beep() override {}
};

ControlPage::ControlPage(const PageEnvironment& env, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ControlPage>()), env_(env),
      noFeedback_(std::make_unique<NoFeedback>()) {
    ui_->setupUi(this);
    portView_ = std::make_unique<PortView>(*this);
    comPort_ = std::make_unique<ui::ComPortController>(
        port_, *portView_, feedback(),
        env_.portLister ? ui::ComPortController::PortLister(env_.portLister)
                        : ui::ComPortController::PortLister(&transport::SerialPort::SystemPortNames));
    bindControls();
    connectButtons();
    setUpDiscovery();

    // The page always opens in LAN mode.
    lan_ = interfaceRadio_ == 0;
    setUpTargetList();
    applyInterfaceState();
    setUpLevelControls();
    setStatus(QString());

    for (std::size_t i = 0; i < composer_.size(); ++i) composer_[i] = QString::fromLatin1(kComposerStart[i]);
    writeControls();

    fillModelCombo(true);
    for (int id = 1; id <= kMonitorIds; ++id) ui_->monitorIdCombo->addItem(QString::number(id));
    ui_->monitorIdCombo->setCurrentIndex(0);
    targets::LocalAddressLookup& lookup = env_.localAddress ? *env_.localAddress : systemAddress_;
    ui_->ipAddressEdit->setAddress(targets::LookUpLocalAddress(lookup).shown);

    headerA_ = 1;
    headerB_ = 1;
    headerC_ = false;
    LoadList();
    if (env_.portsLater) {
        // Filled by the application after the first paint.
    } else if (env_.startupPorts) {
        comPort_->ShowPorts(*env_.startupPorts);
    } else {
        comPort_->SearchPorts();
    }

    // The temperature box reads the temperature only; the hours field stays hidden.
    ui_->temperatureGroup->show();
    ui_->celsiusLabel->show();
    ui_->updateButton->show();
    ui_->temperatureEdit->show();
    ui_->hoursEdit->hide();
    ui_->hoursLabel->hide();
    ui_->temperatureGroup->setTitle(control_texts::kTemperatureTitle);

    // During a walk the levels and locks reach the rows still to come as they change.
    for (QLineEdit* edit : {ui_->backlightEdit, ui_->brightnessEdit, ui_->volumeEdit}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { postLevels(); });
    }
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(ui_->keyLockCheck), static_cast<QAbstractButton*>(ui_->irLockCheck)}) {
        connect(box, &QAbstractButton::toggled, this, [this] { postLevels(); });
    }

    queue_ = std::make_unique<CommandQueue>(*this, [this] { return busy(); }, ui_->queueLine, feedback());
    runLock_ = std::make_unique<RunLock>(std::vector<QWidget*>{
        ui_->addDeviceButton, ui_->removeDeviceButton, ui_->loadListButton, ui_->saveListButton, ui_->lanRadio,
        ui_->rs232Radio, ui_->portSearchButton, ui_->openButton, ui_->closeButton, ui_->portCombo});
    onRunChanged = [this](bool running) { runChanged(running); };
}



// The worker goes first: a running flow is asked to stop and joined while everything it
// reports to is still there.
ControlPage::~ControlPage() {
    onRunChanged = nullptr;
    worker_.reset();
}

// ---------------------------------------------------------------------------------------
// Initialisation

void ControlPage::bindControls() {
    Ui::ControlPage& ui = *ui_;
    addBinding(
        [this, &ui] {
            interfaceRadio_ = ui.rs232Radio->isChecked() ? 1 : 0;
            return true;
        },
        [this, &ui] {
            const QSignalBlocker a(ui.lanRadio), b(ui.rs232Radio);
            (interfaceRadio_ == 0 ? ui.lanRadio : ui.rs232Radio)->setChecked(true);
        },
        [this] { return QString::number(interfaceRadio_); });
    bindCheck(ui.showCheck, show_);
    // The level part in the order the tool has always read it: composer bytes 0..12 and the
    // checksum, the three levels, the two locks, composer bytes 13 and 14.
    QLineEdit* const composerFirst[] = {
        ui.composerByte0Edit, ui.composerByte1Edit, ui.composerByte2Edit,  ui.composerByte3Edit,
        ui.composerByte4Edit, ui.composerByte5Edit, ui.composerByte6Edit,  ui.composerByte7Edit,
        ui.composerByte8Edit, ui.composerByte9Edit, ui.composerByte10Edit, ui.composerByte11Edit,
        ui.composerByte12Edit};
    for (std::size_t i = 0; i < std::size(composerFirst); ++i) bindText(composerFirst[i], composer_[i]);
    bindText(ui.checksumEdit, composer_[15]);
    bindInteger(ui.backlightEdit, values_.backlight);
    bindInteger(ui.brightnessEdit, values_.brightness);
    bindInteger(ui.volumeEdit, values_.volume);
    bindCheck(ui.keyLockCheck, values_.keyLock);
    bindCheck(ui.irLockCheck, values_.irLock);
    bindText(ui.composerByte13Edit, composer_[13]);
    bindText(ui.composerByte14Edit, composer_[14]);
    bindInteger(ui.portNumberEdit, comPortNumber_);
    bindCheck(ui.broadcastCheck, broadcast_);
    bindInteger(ui.temperatureEdit, values_.temperature);
    bindInteger(ui.hoursEdit, values_.hours);
    bindCheck(ui.lockModelCheck, lockModel_);
}

void ControlPage::addBinding(std::function<bool()> read, std::function<void()> write,
                             std::function<QString()> value) {
    bindings_.push_back({std::move(read), std::move(write), std::move(value), QString(), true});
}

void ControlPage::bindInteger(QLineEdit* edit, int& member) {
    addBinding(
        [this, edit, &member] {
            int value = 0;
            if (ParseInteger(edit->text(), value)) {
                member = value;
                return true;
            }
            feedback().message(control_texts::kEnterInteger);
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
            return false;
        },
        [edit, &member] { edit->setText(QString::number(member)); }, [&member] { return QString::number(member); });
}

void ControlPage::bindText(QLineEdit* edit, QString& member) {
    addBinding(
        [edit, &member] {
            member = edit->text();
            return true;
        },
        [edit, &member] { edit->setText(member); }, [&member] { return member; });
}

void ControlPage::bindCheck(QAbstractButton* box, int& member) {
    addBinding(
        [box, &member] {
            member = box->isChecked() ? 1 : 0;
            return true;
        },
        [box, &member] { box->setChecked(member != 0); }, [&member] { return QString::number(member != 0 ? 1 : 0); });
}

void ControlPage::bindCheck(QAbstractButton* box, bool& member) {
    addBinding(
        [box, &member] {
            member = box->isChecked();
            return true;
        },
        [box, &member] { box->setChecked(member); }, [&member] { return QString::number(member ? 1 : 0); });
}

void ControlPage::setUpTargetList() {
    QTableWidget* list = ui_->targetList;
    rows_ = std::make_unique<TargetRows>(*list);
    list->setColumnCount(5);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setCornerButtonEnabled(false);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setStretchLastSection(false);
    // The selected row stays visible while the list does not have the focus.
    QPalette palette = list->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list->setPalette(palette);
    // A click below the last row clears the selection, so that commands go to every row.
    list->viewport()->installEventFilter(this);
    setUpColumns();
}

void ControlPage::setUpColumns() {
    QTableWidget* list = ui_->targetList;
    const QStringList headings{lan_ ? QStringLiteral("IP Address") : QStringLiteral("ID "), QStringLiteral("Model"),
                               QStringLiteral("LINK"), QStringLiteral("Pos"), QStringLiteral("ID")};
    list->setHorizontalHeaderLabels(headings);
    const int widths[] = {lan_ ? 115 : 100, 85, 45, 42, 40};
    for (int col = 0; col < 5; ++col) list->setColumnWidth(col, widths[col]);
}

void ControlPage::fillModelCombo(bool atStart) {
    protocol::ModelList models = atStart ? protocol::ModelList(ui::model_combos::kControlStart)
                                         : lan_ ? protocol::ModelList(ui::model_combos::kControlLan)
                                                : protocol::ModelList(ui::model_combos::kControlSerial);
    QStringList names;
    for (std::string_view name : models) names << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    ui_->modelCombo->clear();
    ui_->modelCombo->addItems(names);
    ui_->modelCombo->setCurrentIndex(0);
}

// Enabled states that follow the interface (and, in RS-232 mode, the port).
void ControlPage::applyInterfaceState() {
    Ui::ControlPage& ui = *ui_;
    ui.ipAddressEdit->setEnabled(lan_);
    ui.ipScanButton->setEnabled(lan_);
    ui.lockModelCheck->setEnabled(lan_);
    for (QWidget* w : std::initializer_list<QWidget*>{ui.broadcastCheck, ui.portSearchButton, ui.openButton,
                                                      ui.closeButton, ui.portCombo, ui.portNumberEdit,
                                                      ui.comPortGroup}) {
        w->setEnabled(!lan_);
    }
    if (lan_) {
        ui.checkMonitorButton->setEnabled(false);
        ui.idSearchButton->setEnabled(false);
    } else {
        comPort_->ApplyPortState();
    }
}

void ControlPage::SwitchInterface(bool lan) {
    if (lan == lan_) return;
    if (busy()) {
        // A flow is still walking the rows of this interface: the switch would replace them.
        writeControls();
        return;
    }
    interfaceRadio_ = lan ? 0 : 1;
    lan_ = lan;
    // A scan still running would fill the RS-232 list with LAN rows.
    if (!lan) scan_->Cancel();
    fillModelCombo(false);
    applyInterfaceState();
    setUpColumns();
    LoadList();
    writeControls();
}

bool ControlPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->targetList->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!ui_->targetList->indexAt(mouse->position().toPoint()).isValid()) {
            ui_->targetList->clearSelection();
            ui_->targetList->setCurrentIndex(QModelIndex());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ControlPage::keyPressEvent(QKeyEvent* event) {
    if (!SwallowDialogKeys(event)) QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------
// Data exchange

bool ControlPage::readControls() {
    for (auto it = bindings_.begin(); it != bindings_.end(); ++it) {
        if (!it->read()) {
            // The field that held no integer and those after it were not taken: the next show
            // puts back what the page holds for them, so the operator sees what went out.
            for (; it != bindings_.end(); ++it) it->stale = true;
            return false;
        }
        it->shown = it->value();
        it->stale = false;
    }
    return true;
}

void ControlPage::writeControls() {
    for (Binding& b : bindings_) {
        b.write();
        b.shown = b.value();
        b.stale = false;
    }
}

void ControlPage::writeChanged() {
    for (Binding& b : bindings_) {
        const QString value = b.value();
        if (!b.stale && value == b.shown) continue;
        b.write();
        b.shown = value;
        b.stale = false;
    }
}

// ---------------------------------------------------------------------------------------
// The page context of the exchanges

int ControlPage::rowCount() const { return rows_->size(); }

int ControlPage::selectedRow() const {
    const QModelIndexList rows = ui_->targetList->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

QString ControlPage::cellText(int row, int col) const { return rows_->cell(row, col); }

void ControlPage::setCellText(int row, int col, const QString& text) { rows_->setCell(row, col, text); }

void ControlPage::setStatus(const QString& text) {
    ShowStatusText(*ui_->statusLine, text);
    ui_->statusLine->repaint();
}

void ControlPage::setTxText(const QString& text) { ui_->txEdit->setText(text); }

QString ControlPage::txText() const { return ui_->txEdit->text(); }

void ControlPage::setRxText(const QString& text) { ui_->receiveEdit->setText(text); }

void ControlPage::focusTargetList() { rows_->takeFocus(); }

void ControlPage::setMessageLine(const QString& text) {
    ui_->messageEdit->setText(text);
    ui_->messageEdit->repaint();
}

ui::Feedback& ControlPage::feedback() {
    return env_.feedback ? *env_.feedback : *noFeedback_;
}

bool ControlPage::decodeReply(const QString& model) {
    const protocol::DecodeResult result = protocol::DecodeReply(reply_.received(), model.toStdString(), values_);
    if (!result.messageLine.empty()) setMessageLine(QString::fromStdString(result.messageLine));
    if (result.refresh) writeControls();
    return result.result;
}

}  // namespace dravik::pages
