#include "app/tool_app.h"
#include "ui/com_port.h"

#include "app/command_line.h"
#include "app/limited_scan.h"
#include "app/main_dialog.h"
#include "app/message_feedback.h"
#include "app/settings.h"
#include "discovery/backends.h"
#include "dravik_version.h"
#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"
#include "targets/local_address.h"
#include "transport/serial_port.h"
#include "transport/trace.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QRadioButton>

#include <cstdio>

namespace dravik::app {

namespace {

const QStringList kListFileNames = {QStringLiteral("MO_IP.log"), QStringLiteral("MO_ID.log"),
                                    QStringLiteral("MO_Tiling.log"), QStringLiteral("MO_TilingR.log")};

bool HoldsListFiles(const QDir& dir) {
    for (const QString& name : kListFileNames)
        if (dir.exists(name)) return true;
    return false;
}

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

// The folder the pages read and save their files in: --list, else the remembered one when
// the current directory holds none of them. Empty string and `error` set on a bad --list.
bool ChooseFolder(const CommandLine& cl, const ToolSettings& saved, QString& error) {
    if (!cl.list.isEmpty()) {
        const QFileInfo info(cl.list);
        if (!info.exists()) {
            error = QStringLiteral("no such list file or folder: %1").arg(cl.list);
            return false;
        }
        if (!info.isDir() && !kListFileNames.contains(info.fileName())) {
            error = QStringLiteral("%1: list files are named %2").arg(cl.list, kListFileNames.join(QStringLiteral(", ")));
            return false;
        }
        const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
        if (!QDir::setCurrent(folder)) {
            error = QStringLiteral("cannot work in %1").arg(folder);
            return false;
        }
        return true;
    }
    if (!saved.folder.isEmpty() && !HoldsListFiles(QDir::current()) && QDir(saved.folder).exists())
        QDir::setCurrent(saved.folder);
    return true;
}

void SelectPort(QComboBox* combo, const QString& port, bool typeIfMissing) {
    if (combo == nullptr || port.isEmpty()) return;
    const int index = combo->findText(port);
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else if (typeIfMissing && combo->isEditable()) {
        combo->setEditText(port);
    }
}

void ClickRadio(QWidget* page, const char* name) {
    if (auto* radio = page->findChild<QRadioButton*>(QLatin1String(name)); radio && !radio->isChecked()) radio->click();
}

}  // namespace

int ToolApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("dravik"));
    QApplication::setApplicationName(QStringLiteral("dravik-command-tool"));
    QApplication::setApplicationDisplayName(QStringLiteral("Dravik Command Tool"));
    QApplication::setApplicationVersion(QStringLiteral(DRAVIK_VERSION));
    transport::StartTraceClock();
    // Linux needs no socket start-up, so there is no "Windows sockets initialization
    // failed." path here.

    const ParseOutcome parsed = ParseCommandLine(QCoreApplication::arguments());
    if (parsed.exitCode) {
        Print(stdout, parsed.out);
        Print(stderr, parsed.err);
        return *parsed.exitCode;
    }
    const CommandLine& cl = parsed.options;
    if (!cl.trace.isEmpty() && !transport::InstallTraceFile(cl.trace)) {
        Print(stderr, QStringLiteral("dravik-command-tool: cannot write the trace file %1\n").arg(cl.trace));
        return 2;
    }

    std::unique_ptr<QSettings> settings = OpenToolSettings(cl.demo);
    QStringList problems;
    const ToolSettings saved = LoadToolSettings(*settings, problems);
    for (const QString& p : problems) transport::TraceWarning(transport::TraceChannel::Flow, p);

    QString error;
    if (!ChooseFolder(cl, saved, error)) {
        Print(stderr, QStringLiteral("dravik-command-tool: %1\n").arg(error));
        return 2;
    }

    MessageFeedback feedback;
    targets::SystemAddressLookup systemAddress;
    FixedAddressLookup rangeAddress(cl.scanRange ? cl.scanRange->FirstText() : QStringLiteral("127.0.0.1"));
    pages::PageEnvironment env;
    env.feedback = &feedback;
    env.localAddress = cl.scanRange ? static_cast<targets::LocalAddressLookup*>(&rangeAddress) : &systemAddress;
    // Probes go out only when the operator presses "IP Scan", and in the demo (or with
    // --scan-range) only to the given addresses.
    if (cl.demo || cl.scanRange) {
        const std::optional<ScanRange> range = cl.scanRange;
        env.scanBackends = [range] { return LimitScan(discovery::SystemScanBackends(), range); };
        if (!range)
            transport::TraceWarning(transport::TraceChannel::Scan,
                                    QStringLiteral("demo without --scan-range: \"IP Scan\" probes no address"));
    } else {
        env.scanBackends = &discovery::SystemScanBackends;
    }
    const QString port = !cl.port.isEmpty() ? cl.port : saved.port;
    if (!port.isEmpty()) {
        // The port "Search" at start-up tries this device too, so a pseudo-terminal that the
        // system does not list still shows.
        env.portLister = [port] {
            QStringList names = transport::SerialPort::SystemPortNames();
            if (!names.contains(port)) names.prepend(port);
            return names;
        };
    }

    // One search of the serial ports for both pages, right after the window's first paint:
    // enumerating and trying the serial devices takes longer than building the window.
    env.portsLater = true;
    const ui::ComPortController::PortLister lister =
        env.portLister ? ui::ComPortController::PortLister(env.portLister)
                       : ui::ComPortController::PortLister(&transport::SerialPort::SystemPortNames);

    MainDialog dialog(env);
    feedback.setParentWidget(&dialog);
    if (!saved.geometry.isEmpty()) dialog.restoreGeometry(saved.geometry);

    const bool serial = cl.interface == StartInterface::Serial ||
                        (cl.interface == StartInterface::Remembered && saved.lan && !*saved.lan);
    bool portsShown = false;
    auto selectStartPort = [&](QWidget* page) {
        SelectPort(page->findChild<QComboBox*>(QStringLiteral("portCombo")), port, !cl.port.isEmpty());
    };
    if (serial) ClickRadio(dialog.controlPage(), "rs232Radio");
    // The "Tilvane" page is built when its tab is first shown; it starts as it always did.
    dialog.setWallPageSetUp([&](pages::VideoWallPage& wall) {
        if (serial) ClickRadio(&wall, "serialRadio");
        if (portsShown) selectStartPort(&wall);
    });
    dialog.whenFirstPainted([&] {
        dialog.showStartupPorts(ui::ComPortController::FindPorts(lister));
        portsShown = true;
        selectStartPort(dialog.controlPage());
        if (dialog.videoWallPageBuilt()) selectStartPort(dialog.videoWallPage());
    });

    dialog.exec();

    ToolSettings now;
    if (auto* lan = dialog.controlPage()->findChild<QRadioButton*>(QStringLiteral("lanRadio"))) now.lan = lan->isChecked();
    if (auto* combo = dialog.controlPage()->findChild<QComboBox*>(QStringLiteral("portCombo"));
        combo && portsShown && combo->currentText() != QLatin1String("0"))
        now.port = combo->currentText();
    else if (!portsShown)
        now.port = port;  // closed before the ports were shown: keep what it started with
    now.folder = QDir::currentPath();
    now.geometry = dialog.saveGeometry();
    SaveToolSettings(*settings, now);
    transport::RemoveTraceFile();
    return 0;
}

}  // namespace dravik::app
