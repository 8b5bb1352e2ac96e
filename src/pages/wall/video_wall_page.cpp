// The page itself: start-up, the page's data exchange, the target list, adding and removing
// rows, the interface switches and the COM port box. Commands, the grid with its tiling files
// and the colour gains live in the other video_wall_*.cpp files.
#include "pages/wall/video_wall_page.h"
#include "pages/wall/wall_flow_view.h"
#include "pages/serial_discovery_view.h"
#include "pages/page_keys.h"
#include "pages/status_line.h"

#include "controls/ipv4_edit.h"
#include "pages/page_scan.h"
#include "pages/wall/wall_discovery_view.h"
#include "pages/wall/spin_edit.h"
#include "pages/wall/wall_texts.h"
#include "protocol/models.h"
#include "ui/model_lists.h"
#include "targets/local_address.h"
#include "ui_video_wall_page.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>

namespace dravik::pages {

namespace {

constexpr int kColumnCount = 5;
constexpr int kGainMin = 0;
constexpr int kGainMax = 255;

// Stands in when the page is built without a Feedback: messages go nowhere.
class SilentFeedback final : public ui::Feedback {
public:
    void message(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void beep() override {}
};

ui::Feedback* ChooseFeedback(ui::Feedback* given, std::unique_ptr<ui::Feedback>& own) {
    if (given != nullptr) return given;
    own = std::make_unique<SilentFeedback>();
    return own.get();
}

ui::ComPortController::PortLister ChooseLister(const PageEnvironment& env) {
    if (env.portLister) return env.portLister;
    return &transport::SerialPort::SystemPortNames;
}

// The typed text when it names one of the combo's entries, else the selected entry: a new
// row never gets an ID the combo does not offer.
QString EntryText(const QComboBox& combo) {
    const QString typed = combo.currentText().trimmed();
    if (combo.findText(typed, Qt::MatchExactly) >= 0) return typed;
    return combo.itemText(combo.currentIndex());
}

}  // namespace

VideoWallPage::VideoWallPage(const PageEnvironment& env, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::VideoWallPage>()),
      env_(env),
      feedback_(ChooseFeedback(env.feedback, ownFeedback_)),
      com_(port_, *this, *feedback_, ChooseLister(env)) {
    ui_->setupUi(this);
    list_ = ui_->wallTargetList;
    rows_ = std::make_unique<TargetRows>(*list_, /*fixedItems=*/true);

    // 1-2: LAN mode (the first radio), the list's columns.
    lan_ = ui_->lanRadio->isChecked();
    SetUpList();
    SetUpControls();
    ConnectButtons();
    SetUpDiscovery();

    // 3: what each interface may use.
    ApplyInterfaceState();
    queue_ = std::make_unique<CommandQueue>(*this, [this] { return busy(); }, ui_->queueLine, *feedback_);
    runLock_ = std::make_unique<RunLock>(std::vector<QWidget*>{
        ui_->addDeviceButton, ui_->removeDeviceButton, ui_->loadListButton, ui_->saveListButton, ui_->lanRadio,
        ui_->serialRadio, ui_->comSearchButton, ui_->openButton, ui_->closeButton, ui_->portCombo});
    onRunChanged = [this](bool running) { runChanged(running); };

    // 4: spins, gains, show the page, empty status line.
    fields_.red = fields_.green = fields_.blue = 128;
    for (IntBinding& b : intBindings_) b.stale = true;
    writeControls();
    setStatus(QString());

    // 5: the combos.
    for (std::string_view model : ui::model_combos::kWall) {
        ui_->modelCombo->addItem(QString::fromUtf8(model.data(), static_cast<qsizetype>(model.size())));
    }
    ui_->modelCombo->setCurrentIndex(0);
    for (int id = 1; id <= 25; ++id) ui_->monitorIdCombo->addItem(QString::number(id));
    ui_->monitorIdCombo->setCurrentIndex(0);

    // 6: the computer's own address into the IP address box; the result is not needed here.
    setIpAddressText(targets::LookUpLocalAddress(localAddressLookup()).shown);

    // 7: the tiling file, the grid and its captions.
    LoadList();

    // 8: the COM ports; the port starts closed.
    if (env_.portsLater) {
        // Filled by the application after the first paint.
    } else if (env_.startupPorts) {
        com_.ShowPorts(*env_.startupPorts);
    } else {
        com_.SearchPorts();
    }
    port_.close();
}

VideoWallPage::~VideoWallPage() {
    onRunChanged = nullptr;
    // A running command is asked to stop and joined while everything it reports to is there.
    worker_.reset();
    // A running scan is cancelled and its threads joined before anything it reports to goes.
    scan_.reset();
    // The grid buttons report to this page; they go while it is still whole.
    ClearGrid();
    port_.close();
}

void VideoWallPage::SetUpList() {
    list_->setColumnCount(kColumnCount);
    // Column 0 is "IP Address" in LAN mode; a page that starts in RS-232 mode shows "ID".
    list_->setHorizontalHeaderLabels({lan_ ? wall_texts::kIpAddressHeading : QStringLiteral("ID"),
                                      QStringLiteral("Model"), QStringLiteral("LINK"), QStringLiteral("Pos"),
                                      QStringLiteral("ID")});
    const int widths[kColumnCount] = {115, 85, 45, 45, 40};
    for (int c = 0; c < kColumnCount; ++c) list_->setColumnWidth(c, widths[c]);
    for (int c = 0; c < kColumnCount; ++c) {
        list_->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    // The selected row stays marked while another control has the focus.
    QPalette palette = list_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list_->setPalette(palette);
}

void VideoWallPage::SetUpControls() {
    ui_->columnsEdit->setRange(kMatrixMin, kMatrixMax);
    ui_->rowsEdit->setRange(kMatrixMin, kMatrixMax);
    for (SpinEdit* gain : {ui_->redEdit, ui_->greenEdit, ui_->blueEdit}) gain->setRange(kGainMin, kGainMax);

    // Binding order: the matrix, then the gains (the check boxes are read as they change).
    intBindings_ = {
        {ui_->columnsEdit, &Fields::columns, kMatrixMin, kMatrixMax, 0, true},
        {ui_->rowsEdit, &Fields::rows, kMatrixMin, kMatrixMax, 0, true},
        {ui_->redEdit, &Fields::red, kGainMin, kGainMax, 0, true},
        {ui_->greenEdit, &Fields::green, kGainMin, kGainMax, 0, true},
        {ui_->blueEdit, &Fields::blue, kGainMin, kGainMax, 0, true},
    };

    // Check boxes hold their field as they change, so showing the page never undoes a tick
    // the operator made since the last read.
    const auto bind = [this](QCheckBox* box, bool Fields::*field) {
        fields_.*field = box->isChecked();
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { fields_.*field = on; });
    };
    bind(ui_->enableWallCheck, &Fields::wallEnable);
    bind(ui_->frameCompCheck, &Fields::frameComp);
    bind(ui_->locationTestCheck, &Fields::locationTest);
    bind(ui_->inSequenceCheck, &Fields::inSequence);
    bind(ui_->lockModelCheck, &Fields::lockModel);
    // What the settings frames are built from follows the operator into a running walk.
    for (const IntBinding& b : intBindings_) {
        connect(b.edit, &SpinEdit::textChanged, this, [this] { postFields(); });
    }
    for (QCheckBox* box : {ui_->enableWallCheck, ui_->frameCompCheck}) {
        connect(box, &QCheckBox::toggled, this, [this] { postFields(); });
    }
    ui_->frameCompCheck->setVisible(false);

    ui_->ipEdit->setAccessibleName(wall_texts::kIpAddressHeading);
    ui_->txEdit->setAccessibleName(QStringLiteral("TX"));
    ui_->portCombo->setInsertPolicy(QComboBox::NoInsert);
}

void VideoWallPage::ConnectButtons() {
    const auto on = [this](QAbstractButton* button, auto handler) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    on(ui_->powerOnButton, [this] { SendPower(true); });
    on(ui_->powerOffButton, [this] { SendPower(false); });
    on(ui_->wallOnButton, [this] { SendWallMode(true); });
    on(ui_->wallOffButton, [this] { SendWallMode(false); });
    on(ui_->updateButton, [this] { SendWallSettings(); });
    on(ui_->setButton, [this] {
        RebuildGrid();
        SetAllPositionsZero();
    });
    on(ui_->addDeviceButton, [this] { AddDevice(); });
    on(ui_->removeDeviceButton, [this] { RemoveDevice(); });
    on(ui_->loadListButton, [this] { LoadList(); });
    on(ui_->saveListButton, [this] { SaveList(); });
    on(ui_->lanRadio, [this] { SwitchToLan(); });
    on(ui_->serialRadio, [this] { SwitchToSerial(); });
    on(ui_->getGainButton, [this] { GetGains(); });
    on(ui_->updateGainButton, [this] { UpdateGains(); });
    // The port belongs to the worker while a command, a search or a check runs on it.
    on(ui_->comSearchButton, [this] {
        if (!busy()) com_.SearchPorts();
    });
    on(ui_->openButton, [this] {
        if (!busy()) com_.OpenPort();
    });
    on(ui_->closeButton, [this] {
        if (!busy()) com_.ClosePort();
    });
    on(ui_->ipScanButton, [this] { emit ipScanRequested(); });
    on(ui_->checkMonitorButton, [this] { emit checkMonitorRequested(); });
    on(ui_->idSearchButton, [this] { emit idSearchRequested(); });
}

void VideoWallPage::keyPressEvent(QKeyEvent* event) {
    if (!SwallowDialogKeys(event)) QWidget::keyPressEvent(event);
}

// --- Data exchange ---------------------------------------------------------------------

std::optional<int> VideoWallPage::FieldValue(const IntBinding& binding, bool* integer) {
    bool ok = false;
    const int value = binding.edit->text().trimmed().toInt(&ok, 10);
    if (integer) *integer = ok;
    if (!ok || value < binding.minimum || value > binding.maximum) return std::nullopt;
    return value;
}

bool VideoWallPage::ReadInt(IntBinding& binding) {
    bool integer = false;
    const std::optional<int> value = FieldValue(binding, &integer);
    if (!value) {
        feedback_->message(integer ? wall_texts::EnterIntegerBetween(binding.minimum, binding.maximum)
                                   : wall_texts::kEnterInteger);
        // The next show puts the field's value back into the edit.
        binding.stale = true;
        binding.edit->setFocus();
        binding.edit->selectAll();
        return false;
    }
    fields_.*binding.field = *value;
    binding.shown = *value;
    return true;
}

bool VideoWallPage::readPage() {
    for (IntBinding& binding : intBindings_) {
        if (!ReadInt(binding)) return false;
    }
    return true;
}

void VideoWallPage::writeControls() {
    // An edit is rewritten only when its field changed since it was last shown or read, so
    // showing the page (every send does) never throws away what the operator is typing.
    for (IntBinding& b : intBindings_) {
        const int value = fields_.*b.field;
        if (b.stale || value != b.shown) {
            b.edit->setText(QString::number(value));
            b.shown = value;
            b.stale = false;
        }
    }
    const auto show = [](QCheckBox* box, bool value) {
        if (box->isChecked() != value) box->setChecked(value);
    };
    show(ui_->enableWallCheck, fields_.wallEnable);
    show(ui_->frameCompCheck, fields_.frameComp);
    show(ui_->locationTestCheck, fields_.locationTest);
    show(ui_->inSequenceCheck, fields_.inSequence);
    show(ui_->lockModelCheck, fields_.lockModel);
    ui_->portNumberEdit->setText(QString::number(portNumber_));
}

// --- Target list -------------------------------------------------------------------------

int VideoWallPage::rowCount() const { return rows_->size(); }

int VideoWallPage::selectedRow() const {
    int first = -1;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

QString VideoWallPage::cellText(int row, int col) const { return rows_->cell(row, col); }

void VideoWallPage::setCellText(int row, int col, const QString& text) { rows_->setCell(row, col, text); }

void VideoWallPage::appendRow(const QString& key, const QString& model, const QString& link, const QString& pos,
                              const QString& id) {
    rows_->append(RowOf(lan_ ? targets::Interface::Lan : targets::Interface::Serial, {key, model, link, pos, id}));
}

void VideoWallPage::removeAllRows() { rows_->clear(); }

int VideoWallPage::FindRowByKey(const QString& key) const { return rows_->find(key); }

void VideoWallPage::setStatus(const QString& text) { ShowStatusText(*ui_->statusLabel, text); }

void VideoWallPage::setTxText(const QString& text) { ui_->txEdit->setText(text); }

QString VideoWallPage::txText() const { return ui_->txEdit->text(); }

void VideoWallPage::focusTargetList() { rows_->takeFocus(); }

bool VideoWallPage::lockModelTicked() const { return fields_.lockModel; }

QString VideoWallPage::modelComboText() const { return ui_->modelCombo->currentText(); }

QString VideoWallPage::ipAddressText() const { return ui_->ipEdit->text(); }

void VideoWallPage::setIpAddressText(const QString& address) {
    ui_->ipEdit->clear();
    ui_->ipEdit->setAddress(address);
}

void VideoWallPage::setIpScanEnabled(bool enabled) { ui_->ipScanButton->setEnabled(enabled); }

targets::LocalAddressLookup& VideoWallPage::localAddressLookup() {
    if (env_.localAddress != nullptr) return *env_.localAddress;
    if (!ownLookup_) ownLookup_ = std::make_unique<targets::SystemAddressLookup>();
    return *ownLookup_;
}

void VideoWallPage::AddDevice() {
    if (busy()) return;
    readPage();
    QString key;
    if (lan_) {
        if (ui_->ipEdit->isBlank()) {
            feedback_->message(wall_texts::kInputIpAddress);
            return;
        }
        key = ui_->ipEdit->text();
    } else {
        key = EntryText(*ui_->monitorIdCombo);
    }
    if (FindRowByKey(key) >= 0) {
        feedback_->message(lan_ ? wall_texts::IpExists(key) : wall_texts::IdExists(key));
        return;
    }
    // A typed model name is taken as typed: the wall accepts models the combo does not list.
    QString model = ui_->modelCombo->currentText().trimmed();
    if (model.isEmpty()) model = ui_->modelCombo->itemText(ui_->modelCombo->currentIndex());
    const QString id = EntryText(*ui_->monitorIdCombo);
    if (lan_) {
        appendRow(key, model, QStringLiteral("0"), QString(), id);
    } else {
        appendRow(key, model, QString(), fields_.inSequence ? key : QStringLiteral("0"), id);
    }
}

void VideoWallPage::RemoveDevice() {
    // A running command marks its rows by their place in the list: none may move meanwhile.
    if (busy()) return;
    if (rowCount() == 0) {
        feedback_->message(wall_texts::kLoadOrInputData);
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        feedback_->message(wall_texts::kSelectDeleteItem);
        return;
    }
    rows_->remove(row);
}

// --- Interface ---------------------------------------------------------------------------

void VideoWallPage::SetFirstColumn(const QString& heading, int width) {
    list_->horizontalHeaderItem(kColAddress)->setText(heading);
    list_->setColumnWidth(kColAddress, width);
}

void VideoWallPage::KeepInterfaceWhileBusy() {
    // The radio has already moved; the rows of the running command stay, and so does it.
    (lan_ ? ui_->lanRadio : ui_->serialRadio)->setChecked(true);
}

// What each interface may use; over RS-232, Open, Close, the port Search, Check Monitor and
// the ID Search follow the port.
void VideoWallPage::ApplyInterfaceState() {
    ui_->ipEdit->setEnabled(lan_);
    ui_->ipScanButton->setEnabled(lan_);
    ui_->lockModelCheck->setEnabled(lan_);
    for (QWidget* w : {static_cast<QWidget*>(ui_->comSearchButton), static_cast<QWidget*>(ui_->openButton),
                       static_cast<QWidget*>(ui_->closeButton), static_cast<QWidget*>(ui_->portCombo),
                       static_cast<QWidget*>(ui_->portNumberEdit), static_cast<QWidget*>(ui_->inSequenceCheck),
                       static_cast<QWidget*>(ui_->checkMonitorButton), static_cast<QWidget*>(ui_->idSearchButton)}) {
        w->setEnabled(!lan_);
    }
    if (!lan_) com_.ApplyPortState();
}

void VideoWallPage::SwitchToLan() {
    if (lan_) return;
    if (busy()) return KeepInterfaceWhileBusy();
    lan_ = true;
    ApplyInterfaceState();
    SetFirstColumn(wall_texts::kIpAddressHeading, 115);
    writeControls();
    LoadList();
}

void VideoWallPage::SwitchToSerial() {
    if (!lan_) return;
    if (busy()) return KeepInterfaceWhileBusy();
    lan_ = false;
    // A scan still running would fill the RS-232 list with LAN rows.
    scan_->Cancel();
    ApplyInterfaceState();
    SetFirstColumn(wall_texts::kIdHeading, 100);
    writeControls();
    LoadList();
}

// --- COM port box ------------------------------------------------------------------------

void VideoWallPage::setPortEntries(const QStringList& entries) {
    ui_->portCombo->clear();
    ui_->portCombo->addItems(entries);
    ui_->portCombo->setCurrentIndex(0);
}

QString VideoWallPage::portText() const { return ui_->portCombo->currentText(); }

void VideoWallPage::setPortNumber(int number) { portNumber_ = number; }

void VideoWallPage::setOpenEnabled(bool enabled) { ui_->openButton->setEnabled(enabled); }

void VideoWallPage::setCloseEnabled(bool enabled) { ui_->closeButton->setEnabled(enabled); }

void VideoWallPage::setSearchEnabled(bool enabled) { ui_->comSearchButton->setEnabled(enabled); }

void VideoWallPage::setCheckMonitorEnabled(bool enabled) { ui_->checkMonitorButton->setEnabled(enabled); }

void VideoWallPage::setIdSearchEnabled(bool enabled) { ui_->idSearchButton->setEnabled(enabled); }

}  // namespace dravik::pages
