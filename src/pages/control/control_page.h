// The "Control" tab: target list, interface choice, COM port, the command buttons, the level
// controls, the locks and the raw frame composer.
#pragma once

#include "pages/command_queue.h"
#include "pages/page_environment.h"
#include "protocol/frame.h"
#include "protocol/selectors.h"
#include "protocol/values.h"
#include "targets/local_address.h"
#include "ui/com_port.h"
#include "pages/page_run.h"
#include "pages/target_rows.h"
#include "transport/frame_buffers.h"
#include "transport/link.h"
#include "flows/button_table.h"
#include "flows/feed.h"
#include "transport/serial_port.h"

#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace Ui { class ControlPage; }
namespace dravik::flows { class FlowWorker; }

class QAbstractButton;
class QLineEdit;

namespace dravik::pages {

class PageScan;

// An integer edit's text as the page takes it: blanks around, an optional sign, at least one
// digit and nothing else; it must fit an int.
bool ParseInteger(const QString& text, int& value);

template <typename Page>
class SerialDiscoveryView;
class LevelScrollBar;
enum class ScrollKind;

class ControlPage : public QWidget, public PageRun {
    Q_OBJECT
public:
    explicit ControlPage(const PageEnvironment& env, QWidget* parent = nullptr);
    ~ControlPage() override;

    // Data exchange. readControls() moves every bound control into its member, in a fixed
    // order; an integer edit that holds no integer shows "Please enter an integer.", gets
    // the focus and ends the read there (false). writeControls() moves every member back;
    // writeChanged() only those whose value changed since they were last shown or read, so
    // that what a running command reports never overwrites what the operator typed or ticked
    // meanwhile.
    bool readControls();
    void writeControls();
    void writeChanged();

    // The target list and its files ("MO_IP.log" / "MO_ID.log" in the current directory).
    void AddDevice();
    void RemoveDevice();
    void SaveList();
    void LoadList();

    // The "LAN" / "RS-232" radios; nothing happens when the choice does not change.
    void SwitchInterface(bool lan);

    // True while a LAN scan of this page still has threads running.
    bool scanRunning() const;

    // True while a command flow runs on the page's worker thread.
    bool flowRunning() const;
    // The row whose exchange runs now; -1 when none.
    int rowInFlight() const;
    // Commands pressed during a run that wait their turn.
    int commandsWaiting() const { return queue_ ? static_cast<int>(queue_->size()) : 0; }

    // The "COM Port Settings" box.
    ui::ComPortController& comPort() { return *comPort_; }

    // The stored values (levels, locks, readings, video parameters).
    const protocol::DisplayValues& values() const { return values_; }

    // The page's targets; the list on screen shows them.
    TargetRows& targetRows() { return *rows_; }
    const TargetRows& targetRows() const { return *rows_; }

    // What the flows and their views see of the page.
    bool lanMode() const { return lan_; }
    int rowCount() const;
    int selectedRow() const;
    QString cellText(int row, int col) const;
    void setCellText(int row, int col, const QString& text);
    void setStatus(const QString& text);
    void setTxText(const QString& text);
    QString txText() const;
    void setRxText(const QString& text);
    bool showFlag() const { return show_ != 0; }
    void focusTargetList();
    void setMessageLine(const QString& text);
    ui::Feedback& feedback();
    protocol::Frame& frameBuffer() { return frame_; }
    transport::ReplyBuffer& replyBuffer() { return reply_; }
    transport::SerialPort& serialPort() { return port_; }
    bool decodeReply(const QString& model);

protected:
    // Enter and Esc never close anything from inside a page.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PortView;
    class NoFeedback;

    // One bound control: how it is read into its member and written back, the member as the
    // control shows it, and what the control showed when it was last written or read (stale:
    // not known, the next write puts the member back).
    struct Binding {
        std::function<bool()> read;
        std::function<void()> write;
        std::function<QString()> value;
        QString shown;
        bool stale = true;
    };
    void addBinding(std::function<bool()> read, std::function<void()> write, std::function<QString()> value);

    void bindControls();
    void bindInteger(QLineEdit* edit, int& member);
    void bindText(QLineEdit* edit, QString& member);
    void bindCheck(QAbstractButton* box, int& member);
    void bindCheck(QAbstractButton* box, bool& member);
    void setUpTargetList();
    void setUpColumns();
    void setUpLevelControls();
    void connectButtons();
    void fillModelCombo(bool atStart);
    void applyInterfaceState();

    // Runs the button's flow from the shared table on the worker thread, reading the controls
    // where it needs them; the page shows its events as they come (control_page_flow.cpp).
    class FlowView;
    void runButton(flows::ButtonFlowId id);
    void postLevels();
    // A run started or ended: the list, interface and port controls wait for it, then the
    // next command waiting starts.
    void runChanged(bool running);
    void markRowInFlight(int row);
    void rowDone();
    void showFlowProgress();

    // Level controls and composer.
    void onLevelScrolled(LevelScrollBar* bar, int& level, ScrollKind kind, int thumb);
    void computeChecksum();

    // Discovery (control_page_discovery.cpp): "IP Scan", "Check Monitor" and the monitor
    // ID "Search"; the last two run on the worker like the commands.
    class DiscoveryAdapter;
    friend class SerialDiscoveryView<ControlPage>;
    void setUpDiscovery();
    void scanLan();
    void checkMonitors();
    void searchMonitorIds();

    std::unique_ptr<Ui::ControlPage> ui_;
    PageEnvironment env_;
    std::unique_ptr<NoFeedback> noFeedback_;
    targets::SystemAddressLookup systemAddress_;

    // Bound members.
    int interfaceRadio_ = 0;  // 0 LAN, 1 RS-232
    int show_ = 1;
    protocol::DisplayValues values_;  // levels, locks, readings
    int comPortNumber_ = 0;
    int broadcast_ = 0;
    int lockModel_ = 0;
    // Composer: frame bytes 0..14, then the checksum.
    std::array<QString, 16> composer_;
    std::vector<Binding> bindings_;

    bool lan_ = true;  // the interface flag
    std::unique_ptr<TargetRows> rows_;
    protocol::Frame frame_;
    transport::ReplyBuffer reply_;
    transport::SerialPort port_;
    std::unique_ptr<PortView> portView_;
    std::unique_ptr<ui::ComPortController> comPort_;

    // The list file's header values, carried through load and save.
    int headerA_ = 1;
    int headerB_ = 1;
    bool headerC_ = false;

    // The run state of the command flows: the guard is held while one runs.
    std::optional<FlowGuard> flowGuard_;
    int flowRows_ = 0;
    int flowRowsDone_ = 0;
    std::unique_ptr<FlowView> flowView_;
    std::shared_ptr<flows::Feed<protocol::DisplayValues>> levelFeed_;  // while a command runs
    std::unique_ptr<CommandQueue> queue_;
    std::unique_ptr<RunLock> runLock_;
    std::map<flows::ButtonFlowId, QString> commandLabels_;
    std::unique_ptr<SerialDiscoveryView<ControlPage>> serialView_;
    std::unique_ptr<flows::FlowWorker> worker_;

    // Last: the scan goes first when the page is destroyed (its threads are joined then).
    std::unique_ptr<DiscoveryAdapter> discoveryView_;
    std::unique_ptr<PageScan> scan_;
};

}  // namespace dravik::pages
