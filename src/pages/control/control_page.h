// The "Control" tab: target list, interface choice, COM port, the command buttons, the level
// controls, the locks and the raw frame composer.
#pragma once

#include "pages/page_environment.h"
#include "protocol/frame.h"
#include "protocol/selectors.h"
#include "protocol/values.h"
#include "targets/local_address.h"
#include "transport/com_port.h"
#include "transport/exchange_context.h"
#include "transport/send_flow.h"
#include "transport/serial_port.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace Ui { class ControlPage; }

class QAbstractButton;
class QLineEdit;

namespace dravik::pages {

class LevelScrollBar;
enum class ScrollKind;

class ControlPage : public QWidget, public transport::ExchangeContext {
    Q_OBJECT
public:
    explicit ControlPage(const PageEnvironment& env, QWidget* parent = nullptr);
    ~ControlPage() override;

    // Data exchange. readControls() moves every bound control into its member, in a fixed
    // order; an integer edit that holds no integer shows "Please enter an integer.", gets
    // the focus and ends the read there (false). writeControls() moves every member back.
    bool readControls();
    void writeControls() override;

    // The target list and its files ("MO_IP.log" / "MO_ID.log" in the current directory).
    void AddDevice();
    void RemoveDevice();
    void SaveList();
    void LoadList();

    // The "LAN" / "RS-232" radios; nothing happens when the choice does not change.
    void SwitchInterface(bool lan);

    // The stored values (levels, locks, readings, video parameters).
    const protocol::PageValues& values() const { return values_; }

    // transport::ExchangeContext
    bool lanMode() const override { return lan_; }
    int rowCount() const override;
    int selectedRow() const override;
    QString cellText(int row, int col) const override;
    void setCellText(int row, int col, const QString& text) override;
    void setStatus(const QString& text) override;
    void setTxText(const QString& text) override;
    QString txText() const override;
    void setRxText(const QString& text) override;
    bool showFlag() const override { return show_ != 0; }
    void focusTargetList() override;
    void setMessageLine(const QString& text) override;
    transport::Feedback& feedback() override;
    protocol::Frame& frameBuffer() override { return frame_; }
    transport::ReplyBuffer& replyBuffer() override { return reply_; }
    transport::SerialPort& serialPort() override { return port_; }
    bool decodeReply(const QString& model) override;

protected:
    // Enter and Esc never close anything from inside a page.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PortView;
    class NoFeedback;

    // One bound control: how it is read into its member and written back.
    struct Binding {
        std::function<bool()> read;
        std::function<void()> write;
    };

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

    // Builds the command's frame for the model into the frame buffer. A refused model gets
    // the refusal message, a silent one nothing; both return false. `readFirst`: the
    // command's builder reads the controls before it fills in the values.
    bool selectInto(protocol::Command command, const QString& model, bool readFirst = true);
    transport::RowSelector selector(protocol::Command command, bool readFirst = true);

    // Send flows of the command buttons.
    void sendFixedFrame(const protocol::Frame& frame);
    void sendInput(protocol::Command command);
    void powerOff();
    void setBacklight();
    void setBrightness();
    void setVolume();
    void setKeyLock();
    void setIrLock();
    void sendCms();
    void sendCustom();

    // Status queries and service buttons.
    void updateTemperature();
    void readOperatingHours();
    void readBacklightOrVideo();
    void runStatusQuery(int kind);
    void resetDisplays();
    void selectMediaPlayer();
    void selectMediaPlayerByModel();
    void selectOps();
    void sendInfoKey();
    // The rows a service button walks: the selected one, or all in order. An empty list
    // beeps. `fn(row, allRows)`.
    void forEachAddressedRow(const std::function<void(int row, bool allRows)>& fn);

    // Level controls and composer.
    void onLevelScrolled(LevelScrollBar* bar, int& level, ScrollKind kind, int thumb);
    void computeChecksum();

    // Hooks of the discovery work (LAN scan, serial monitor check, monitor ID search).
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
    protocol::PageValues values_;  // levels, locks, readings
    int comPortNumber_ = 0;
    int broadcast_ = 0;
    int lockModel_ = 0;
    // Composer: frame bytes 0..14, then the checksum.
    std::array<QString, 16> composer_;
    std::vector<Binding> bindings_;

    bool lan_ = true;  // the interface flag
    protocol::Frame frame_;
    transport::ReplyBuffer reply_;
    transport::SerialPort port_;
    std::unique_ptr<PortView> portView_;
    std::unique_ptr<transport::ComPortController> comPort_;

    // The list file's header values, carried through load and save.
    int headerA_ = 1;
    int headerB_ = 1;
    bool headerC_ = false;
};

}  // namespace dravik::pages
