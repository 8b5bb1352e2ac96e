// Soak of the long-lived process: the Control page offscreen, driven by its buttons (found
// by controlId, as a user's clicks reach them) against simulated displays that fault at
// random with a fixed seed, on the LAN and on an RS-232 line. The simulator runs as its own
// process so that only the tool's resources are counted. Every 50 flows the page is closed
// and built again. Prints open file descriptors, threads and resident memory after the
// warm-up (flow 100) and at the end, per transport, and fails when they grew past the bounds.
// Every 250 flows (from flow 120) an "IP Scan" of the two LAN displays, or an ID "Search" on the
// line, runs to its end; ten flows later another one is started and the window closed under it.
//
//   bench_soak --sim PATH [--flows N] [--seed S] [--transport lan|serial|both] [--rows 1|2]
// --rows 1 lists one display per transport: an RS-232 flow then takes about one second
// instead of two, so 5,000 of them fit in an afternoon.
#include "app/limited_scan.h"
#include "discovery/backends.h"
#include "pages/control/control_page.h"
#include "targets/local_address.h"
#include "ui/feedback.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "controls/ipv4_edit.h"

#include <cstdio>
#include <csignal>
#include <dirent.h>
#include <sys/prctl.h>
#include <fstream>
#include <memory>
#include <string>

using namespace dravik;

namespace {

struct Figures {
    int fds = 0;
    int threads = 0;
    long rssKb = 0;
};

Figures Measure() {
    Figures f;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++f.fds;
        ::closedir(d);
        --f.fds;  // the directory stream itself
    }
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:") status >> f.threads;
        else if (key == "VmRSS:") status >> f.rssKb;
        else status.ignore(1 << 12, '\n');
    }
    return f;
}

class QuietFeedback final : public ui::Feedback {
public:
    void message(const QString&) override { ++messages; }
    bool ask(const QString&) override { return true; }
    void beep() override {}
    long messages = 0;
};

QWidget* Control(QWidget* root, int id) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QVariant v = w->property("controlId");
        if (v.isValid() && v.toInt() == id) return w;
    }
    std::fprintf(stderr, "soak: no control %d\n", id);
    std::exit(2);
}

void Press(QWidget* root, int id) {
    auto* b = qobject_cast<QAbstractButton*>(Control(root, id));
    if (b->isEnabled()) b->click();
    else QMetaObject::invokeMethod(b, "clicked", Q_ARG(bool, false));
}

// Control ids of the page.
constexpr int kAdd = 1005, kModel = 1003, kAddress = 1008, kId = 1135, kLan = 1136, kRs232 = 1137,
              kPortName = 1128, kOpen = 1126, kIpScan = 1155, kIdSearch = 1187;
// The buttons a flow presses, in turn: On, Off, VGA, HDMI 1, Menu, Input.
constexpr int kFlows[] = {1026, 1027, 1028, 1029, 1015, 1016};

struct Soak {
    pages::PageEnvironment env;
    QuietFeedback feedback;
    std::unique_ptr<targets::FixedAddressLookup> lookup;
    std::unique_ptr<pages::ControlPage> page;
    bool serial = false;
    int rows = 2;
    QString linePath;

    void build() {
        page.reset();
        page = std::make_unique<pages::ControlPage>(env);
        page->resize(1130, 640);
        page->show();
        if (serial) {
            Press(page.get(), kRs232);
            qobject_cast<QComboBox*>(Control(page.get(), kPortName))->setCurrentText(linePath);
            Press(page.get(), kOpen);
            addRow("1", "KA-55");
            if (rows > 1) addRow("2", "LM-55");
        } else {
            Press(page.get(), kLan);
            addRow("127.0.64.10", "KA-55");
            if (rows > 1) addRow("127.0.64.11", "LM-55");
        }
    }
    void addRow(const QString& key, const QString& model) {
        qobject_cast<QComboBox*>(Control(page.get(), kModel))->setCurrentText(model);
        if (serial) {
            qobject_cast<QComboBox*>(Control(page.get(), kId))->setCurrentText(key);
        } else {
            qobject_cast<controls::Ipv4Edit*>(Control(page.get(), kAddress))->setAddress(key);
            qobject_cast<QComboBox*>(Control(page.get(), kId))->setCurrentText("1");
        }
        Press(page.get(), kAdd);
    }
    bool busy() const { return page->flowRunning() || page->scanRunning(); }
    void waitIdle() {
        QElapsedTimer t;
        t.start();
        while (busy() && t.elapsed() < 60000) QTest::qWait(2);
        QCoreApplication::processEvents();
    }
    // The LAN scan or the ID search of the line. closeEarly: the window is closed while it runs.
    void discover(bool closeEarly) {
        Press(page.get(), serial ? kIdSearch : kIpScan);
        ++discoveries;
        if (closeEarly) {
            QTest::qWait(300);
            build();
            return;
        }
        waitIdle();
    }
    int discoveries = 0;
    // One flow: a button press to every row, then the events it left behind. Every 25th flow
    // the window is closed while the flow is still on its first row, and built again.
    void flow(int n) {
        if (n % 250 == 120 || n % 250 == 130) discover(n % 250 == 130);
        Press(page.get(), kFlows[n % std::size(kFlows)]);
        if (n % 25 == 24) {
            QTest::qWait(100);
            build();
            return;
        }
        waitIdle();
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int flows = 5000, rows = 2;
    QString sim, transportArg = "both", seed = "42";
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--flows") flows = args[i + 1].toInt();
        else if (args[i] == "--sim") sim = args[i + 1];
        else if (args[i] == "--seed") seed = args[i + 1];
        else if (args[i] == "--transport") transportArg = args[i + 1];
        else if (args[i] == "--rows") rows = args[i + 1].toInt();
    }
    if (sim.isEmpty() || flows < 150 || rows < 1 || rows > 2) {
        std::fprintf(stderr,
                     "usage: bench_soak --sim PATH [--flows N>=150] [--seed S] [--transport lan|serial|both] "
                     "[--rows 1|2]\n");
        return 2;
    }

    QStringList sides;
    if (transportArg == "lan" || transportArg == "both") sides << "lan";
    if (transportArg == "serial" || transportArg == "both") sides << "serial";

    // Mostly good answers; the faults that end fast dominate so that a long run stays short.
    // LAN displays only when the LAN is soaked, so that a LAN and a serial soak can run side
    // by side.
    QStringList simArgs{"--quiet", "--seed", seed, "--odds",
                        "well=160,never=2,late:300=4,wrong-header=8,short=8,nack=6,nav=6,long=4,close=2",
                        "--fault", "random"};
    if (sides.contains("lan")) simArgs << "--lan" << "127.0.64.10,KA-55,1" << "--lan" << "127.0.64.11,LM-55,1";
    simArgs << "--serial" << "KA-55:1,LM-55:2";
    QProcess simulator;
    simulator.setProgram(sim);
    simulator.setArguments(simArgs);
    // The simulator ends with the soak, even when the soak is killed (a test time-out).
    simulator.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    simulator.start();
    if (!simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "soak: the simulator did not start\n");
        return 1;
    }
    const QString first = QString::fromUtf8(simulator.readLine()).trimmed();
    if (!first.startsWith("serial: ")) {
        std::fprintf(stderr, "soak: unexpected simulator line '%s'\n", qPrintable(first));
        return 1;
    }

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Soak soak;
    soak.linePath = first.mid(8);
    soak.rows = rows;
    soak.lookup = std::make_unique<targets::FixedAddressLookup>(QStringLiteral("127.0.64.1"));
    soak.env.feedback = &soak.feedback;
    soak.env.localAddress = soak.lookup.get();
    const QString line = soak.linePath;
    soak.env.portLister = [line] { return QStringList{line}; };
    // The scan probes the two LAN displays only (127.0.64.10-11; every other host of the
    // subnet is passed over unprobed), with short waits, so a scan takes about two seconds.
    soak.env.scanBackends = [] {
        return app::LimitScan(discovery::SystemScanBackends(), app::ParseScanRange("127.0.64.10-127.0.64.11"));
    };
    soak.env.scanOptions.probeSpacing = std::chrono::milliseconds(2);
    soak.env.scanOptions.echoTimeout = std::chrono::milliseconds(1000);
    soak.env.scanOptions.connectTimeout = std::chrono::milliseconds(1000);
    soak.env.scanOptions.identityTimeout = std::chrono::milliseconds(1500);
    soak.env.scanOptions.finishDelay = std::chrono::milliseconds(1000);

    // Bounds after warm-up: one descriptor and two threads more at most, and 10 % memory
    // (at least 4 MiB, the allocator's own slack on a small heap).
    constexpr int kFdSlack = 1, kThreadSlack = 2;
    bool ok = true;
    std::printf("rows per flow: %d\n", rows);
    std::printf("%-7s %7s %6s %6s %8s   %6s %6s %8s\n", "link", "flows", "fd@100", "thr", "rssKB", "fd@end", "thr",
                "rssKB");
    std::fflush(stdout);
    for (const QString& side : sides) {
        soak.serial = side == "serial";
        soak.build();
        Figures warm, end;
        QElapsedTimer clock;
        clock.start();
        for (int n = 1; n <= flows; ++n) {
            soak.flow(n);
            if (n % 50 == 0 && n != flows) soak.build();  // close the window, open it again
            if (n == 100) warm = Measure();
            if (n % 500 == 0) {
                std::fprintf(stderr, "soak: %s flow %d, %.0f s\n", qPrintable(side), n, clock.elapsed() / 1000.0);
            }
        }
        soak.page.reset();
        QCoreApplication::processEvents();
        soak.build();
        end = Measure();
        soak.page.reset();
        const bool grew = end.fds > warm.fds + kFdSlack || end.threads > warm.threads + kThreadSlack ||
                          end.rssKb > std::max(warm.rssKb * 11 / 10, warm.rssKb + 4096);
        std::printf("%-7s %7d %6d %6d %8ld   %6d %6d %8ld   %s (%.0f s, %d %s)\n", qPrintable(side), flows,
                    warm.fds, warm.threads, warm.rssKb, end.fds, end.threads, end.rssKb, grew ? "GREW" : "ok",
                    clock.elapsed() / 1000.0, soak.discoveries, soak.serial ? "searches" : "scans");
        soak.discoveries = 0;
        std::fflush(stdout);
        ok = ok && !grew;
    }
    simulator.terminate();
    simulator.waitForFinished(3000);
    std::printf("soak: %s (bounds: +%d fd, +%d threads, +10%% resident memory after flow 100)\n",
                ok ? "passed" : "FAILED", kFdSlack, kThreadSlack);
    return ok ? 0 : 1;
}
