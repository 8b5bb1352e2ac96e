// The "Tilvane" tab: the video wall's target list, matrix, position grid and colour gains.
// The page is the exchange context of its own sends (target rows, status line, TX box, frame
// and reply buffers, COM port) and the view of its own "COM Port Settings" box.
#pragma once

#include "flows/feed.h"
#include "pages/command_queue.h"
#include "pages/page_environment.h"
#include "protocol/frame.h"
#include "ui/com_port.h"
#include "pages/page_run.h"
#include "pages/target_rows.h"
#include "transport/frame_buffers.h"
#include "transport/link.h"
#include "transport/serial_port.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAbstractButton;
class QTableWidget;

namespace Ui { class VideoWallPage; }
namespace dravik::controls { class HoverButton; }
namespace dravik::targets { class LocalAddressLookup; }
namespace dravik::flows { class FlowWorker; struct WallFields; enum class WallCommand; }

namespace dravik::pages {

class PageScan;

class SpinEdit;
class WallDiscoveryView;
template <typename Page>
class SerialDiscoveryView;

class VideoWallPage : public QWidget,
                      public PageRun,
                      public ui::ComPortView {
    Q_OBJECT
public:
    // The grid's top left corner in page coordinates and the side it may take at most.
    static constexpr int kGridLeft = 720;
    static constexpr int kGridTop = 106;
    static constexpr int kGridSide = 400;
    // Matrix sizes the page accepts; the grid never has more than 5 x 5 cells.
    static constexpr int kMatrixMin = 1;
    static constexpr int kMatrixMax = 5;
    // Grid buttons carry the identifiers 10001, 10002, ...
    static constexpr int kFirstGridId = 10001;

    explicit VideoWallPage(const PageEnvironment& env, QWidget* parent = nullptr);
    ~VideoWallPage() override;

    // --- Position grid and tiling file -------------------------------------------------
    // Lays the grid out again from the matrix fields (read from the page first). Also the
    // LAN scan calls it when a scan starts.
    void RebuildGrid();
    // Writes each row's column 0 text on the button its "Pos" names.
    void LabelGrid();
    // Loads the tiling file of the current interface (or "MO_IP.log"), then rebuilds and
    // labels the grid.
    void LoadList();
    void SaveList();
    int gridColumns() const { return gridColumns_; }
    int gridRows() const { return gridRows_; }
    // The buttons of the current grid, position 1 first.
    std::vector<controls::HoverButton*> gridButtons() const;

    // --- What discovery (LAN scan, serial ID search, monitor check) uses -----------------
    // Appends a row of five cells: column 0, model, LINK, Pos, ID.
    void appendRow(const QString& key, const QString& model, const QString& link, const QString& pos,
                   const QString& id);
    void removeAllRows();
    bool lockModelTicked() const;
    // The model combo's text (the selected entry, or what the operator typed there).
    QString modelComboText() const;
    QString ipAddressText() const;
    void setIpAddressText(const QString& address);
    void setIpScanEnabled(bool enabled);
    targets::LocalAddressLookup& localAddressLookup();
    ui::ComPortController& comPort() { return com_; }

    // The discovery buttons (video_wall_discovery.cpp), run when their signals below fire.
    // "IP Scan": the local address lookup, then a scan of its subnet ("LAN ERROR !!" when
    // the lookup fails or gives the loopback address).
    void ScanLan();
    // The monitor ID "Search": IDs 1..25, a row for each one that names the selected model.
    void SearchMonitorIds();
    // "Check Monitor": LINK "Y"/"N" for the selected row or every row.
    void CheckMonitors();
    // True while a scan of this page still has threads running.
    bool scanRunning() const;
    // True while a wall command runs on the page's worker thread.
    bool flowRunning() const;
    // Commands pressed during a run that wait their turn.
    int commandsWaiting() const { return queue_ ? static_cast<int>(queue_->size()) : 0; }

    // --- Page data exchange ----------------------------------------------------------------
    // Reads the controls into the page's fields in binding order. Stops at the first field
    // that holds no acceptable integer, with its message and the focus on it; the fields read
    // so far keep their new values, the rest their old ones. True when every field was read.
    bool readPage();

    // Page fields (read by readPage, shown by writeControls).
    int matrixColumns() const { return fields_.columns; }
    int matrixRows() const { return fields_.rows; }
    int redGain() const { return fields_.red; }
    int greenGain() const { return fields_.green; }
    int blueGain() const { return fields_.blue; }
    bool frameCompensation() const { return fields_.frameComp; }

    // The page's targets; the list on screen shows them.
    TargetRows& targetRows() { return *rows_; }
    const TargetRows& targetRows() const { return *rows_; }

    // --- what the flows and their views see of the page -------------------------------
    bool lanMode() const { return lan_; }
    int rowCount() const;
    int selectedRow() const;
    QString cellText(int row, int col) const;
    void setCellText(int row, int col, const QString& text);
    void setStatus(const QString& text);
    void setTxText(const QString& text);
    QString txText() const;
    void setRxText(const QString&) {}  // this page has no receive box
    bool showFlag() const { return true; }  // this page always echoes
    void writeControls();
    // writeControls() already leaves an edit alone unless its field changed since shown.
    void writeChanged() { writeControls(); }
    void focusTargetList();
    void setMessageLine(const QString&) {}  // nor a message line
    ui::Feedback& feedback() { return *feedback_; }
    protocol::Frame& frameBuffer() { return frame_; }
    transport::ReplyBuffer& replyBuffer() { return reply_; }
    transport::SerialPort& serialPort() { return port_; }
    // The page's one decoder: a gain reply sets the three gains.
    bool decodeReply(const QString& model);

    // --- ui::ComPortView ------------------------------------------------------------
    void setPortEntries(const QStringList& entries) override;
    QString portText() const override;
    void setPortNumber(int number) override;
    void setOpenEnabled(bool enabled) override;
    void setCloseEnabled(bool enabled) override;
    void setSearchEnabled(bool enabled) override;
    void setCheckMonitorEnabled(bool enabled) override;
    void setIdSearchEnabled(bool enabled) override;
    void readControls() override { readPage(); }

signals:
    // Hooks for discovery, which does the work behind these buttons and connects here.
    void ipScanRequested();         // "IP Scan" (1155)
    void checkMonitorRequested();   // "Check Monitor" (1186)
    void idSearchRequested();       // the monitor ID "Search" (1188)

protected:
    // Enter and Esc never close anything from inside a page.
    void keyPressEvent(QKeyEvent* event) override;
    // Left-button presses on the grid buttons place rows or run the location test.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fields bound to the edits and check boxes.
    struct Fields {
        int columns = 1;
        int rows = 1;
        bool wallEnable = true;
        bool frameComp = true;
        bool locationTest = false;
        bool inSequence = true;
        bool lockModel = false;
        int red = 128;
        int green = 128;
        int blue = 128;
    };
    // An integer edit, its field, its accepted range and what it showed last.
    struct IntBinding {
        SpinEdit* edit;
        int Fields::*field;
        int minimum;
        int maximum;
        int shown;
        bool stale;  // the edit must be rewritten at the next show
    };

    void SetUpControls();
    void SetUpList();
    void ConnectButtons();
    void SetUpDiscovery();
    // The monitor ID "Search" and "Check Monitor" run on the worker like the commands.
    friend class SerialDiscoveryView<VideoWallPage>;
    bool ReadInt(IntBinding& binding);
    // The binding's edit as an integer within its range; none otherwise (`integer` then says
    // whether it held an integer at all).
    static std::optional<int> FieldValue(const IntBinding& binding, bool* integer = nullptr);
    // A field the operator changed while the settings walk runs, to the running flow.
    void postFields();

    // Commands (video_wall_commands.cpp), run on the worker thread.
    class FlowView;
    void runWall(flows::WallCommand command, int row);
    // A press of a command: false when it may start now, true when it waits its turn (or the
    // queue is full). `again` is the press itself, made again when its turn comes.
    bool deferCommand(QAbstractButton* button, std::function<void()> again);
    // A run started or ended: the list, interface and port controls wait for it, then the
    // next command waiting starts.
    void runChanged(bool running);
    void ApplyInterfaceState();
    void markRowInFlight(int row);
    void rowDone(int rows);
    flows::WallFields wallFields() const;
    void SendPower(bool on);
    void SendWallMode(bool on);
    void SendWallSettings();

    // Rows and interface (video_wall_page.cpp).
    void AddDevice();
    void RemoveDevice();
    void SwitchToLan();
    void SwitchToSerial();
    void KeepInterfaceWhileBusy();
    void SetFirstColumn(const QString& heading, int width);
    int FindRowByKey(const QString& key) const;

    // Grid and tiling files (video_wall_tiling.cpp).
    void ClearGrid();
    void SetAllPositionsZero();
    void GridPressed(int index);
    void PlaceRowLan(int row, int index, const QString& caption);
    void PlaceRowSerial(int row, int index, const QString& caption, int considered);
    void LocationTestLan(const QString& caption);
    void LocationTestSerial(const QString& caption);
    bool LoadFile(const QString& name, bool withPositions);
    controls::HoverButton* gridButton(int index) const;

    // Colour gains (video_wall_gains.cpp).
    void GetGains();
    void UpdateGains();
    // A gain reply read by "Get data": the gains it carried (if any) into the fields.
    void takeGainReply(const protocol::Bytes& reply, const std::optional<std::array<int, 3>>& gains);

    std::unique_ptr<Ui::VideoWallPage> ui_;
    PageEnvironment env_;
    std::unique_ptr<ui::Feedback> ownFeedback_;
    std::unique_ptr<targets::LocalAddressLookup> ownLookup_;
    ui::Feedback* feedback_ = nullptr;
    QTableWidget* list_ = nullptr;
    std::unique_ptr<TargetRows> rows_;

    bool lan_ = true;
    Fields fields_;
    std::vector<IntBinding> intBindings_;
    int portNumber_ = 0;

    transport::SerialPort port_;
    ui::ComPortController com_;
    protocol::Frame frame_;
    transport::ReplyBuffer reply_;

    std::vector<controls::HoverButton*> grid_;
    int gridColumns_ = 0;
    int gridRows_ = 0;
    bool inGridPress_ = false;

    // The run state of the commands: the guard is held while one runs.
    std::optional<FlowGuard> flowGuard_;
    std::shared_ptr<flows::Feed<flows::WallFields>> fieldsFeed_;  // while a settings walk runs
    int flowRows_ = 0;
    int flowRowsDone_ = 0;
    std::unique_ptr<FlowView> flowView_;
    std::unique_ptr<CommandQueue> queue_;
    std::unique_ptr<RunLock> runLock_;
    std::unique_ptr<SerialDiscoveryView<VideoWallPage>> serialView_;
    std::unique_ptr<flows::FlowWorker> worker_;

    // Last: the scan goes first when the page is destroyed (its threads are joined then).
    std::unique_ptr<WallDiscoveryView> discoveryView_;
    std::unique_ptr<PageScan> scan_;
};

}  // namespace dravik::pages
