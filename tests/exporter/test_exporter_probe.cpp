// dravik-exporter's /probe through the built binary against simulated displays on
// 127.0.92.x: every fault mode, a hanging connect, a held serial line, and the requests it
// refuses. The exporters listen on 127.0.92.200 and up.
#include "exporter_helpers.h"

#include <gtest/gtest.h>

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"
#include "transport/serial_port.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <functional>

#include <crypt.h>

#include <fstream>
#include <future>

namespace dravik::exporter::testing {
namespace {

constexpr std::uint16_t kPort = 9734;

const char* kConfig = R"(modules:
  temp:
    reads: [temperature]
    timeout: 8s
allowed_targets:
  - 127.0.92.0/24
  - /dev/pts/*
)";

// CTest runs every test in its own process, in parallel: each test gets its own exporter,
// on an address of its own (127.0.92.200 + the test's place in kTests).
class ExporterProbe : public ::testing::Test {
protected:
    void SetUp() override {
        static const std::vector<std::string> kTests{
            "EveryFaultModeEndsInItsOutcomeSeries", "AHangingConnectEndsAtTheDeadlineAndDelaysNoOtherDisplay",
            "ALineHeldByAnotherProgramIsPortBusy", "BadRequestsAnswer400OrAreRefusedAndProbeNothing",
            "ProbeAndMetricsTextPassPromtool", "ProbesOfOneDisplayTakeTurns"};
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const auto at = std::find(kTests.begin(), kTests.end(), name);
        ASSERT_NE(at, kTests.end()) << name << " needs an address in kTests";
        const std::string address = "127.0.92." + std::to_string(200 + (at - kTests.begin()));
        const std::string path = dir_.filePath("exporter.yml").toStdString();
        std::ofstream(path) << kConfig;
        exporter_ = std::make_unique<ExporterProcess>(address, kPort, QStringList{QString::fromStdString("--config.file=" + path)});
        ASSERT_TRUE(exporter_->up()) << exporter_->process().readAll().toStdString();
    }

    HttpReply Probe(const std::string& query, const std::string& scrapeTimeout = "3") const {
        return exporter_->get("/probe?" + query, {{"X-Prometheus-Scrape-Timeout-Seconds", scrapeTimeout}});
    }

    QTemporaryDir dir_;
    std::unique_ptr<ExporterProcess> exporter_;
};

// A listener that never accepts, with its queue full: the next connect to it hangs.
class HangingListener {
public:
    explicit HangingListener(const std::string& address) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(5000);
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        const int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        ok_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && ::listen(listener_, 0) == 0;
        for (int i = 0; i < 3 && ok_; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
            fillers_.push_back(c);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~HangingListener() {
        for (int c : fillers_) ::close(c);
        ::close(listener_);
    }
    bool ok() const { return ok_; }

private:
    int listener_ = -1;
    bool ok_ = false;
    std::vector<int> fillers_;
};

struct FaultCase {
    const char* name;
    sim::Fault fault;
    int lateMs;
    const char* outcome;  // the temperature read's outcome series; nullptr: it succeeded
};

// Long enough for the LAN reply wait to end in "no reply" before the deadline.
constexpr const char* kFaultScrapeTimeout = "6";

TEST_F(ExporterProbe, EveryFaultModeEndsInItsOutcomeSeries) {
    const FaultCase cases[] = {
        {"none", sim::Fault::None, 0, nullptr},
        {"late", sim::Fault::AnswerLate, 200, nullptr},
        {"never", sim::Fault::NeverAnswer, 0, "no-reply"},
        {"wrong-header", sim::Fault::WrongHeader, 0, "wrong-header"},
        {"short", sim::Fault::ShortReply, 0, "short-reply"},
        {"nack", sim::Fault::Nack, 0, "nack"},
        {"nav", sim::Fault::Nav, 0, "nav"},
        // Cut at the LAN link's 32 bytes: what is kept is not a whole reply.
        {"long", sim::Fault::LongReply, 0, "short-reply"},
        {"close", sim::Fault::CloseAtOnce, 0, "peer-closed"},
    };
    int host = 10;
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    std::vector<std::future<HttpReply>> replies;
    // All at once: each display has its own queue.
    for (const FaultCase& c : cases) {
        sim::DisplayConfig config;
        config.model = "LM-55";
        config.fault = c.fault;
        config.lateMs = c.lateMs;
        const std::string address = "127.0.92." + std::to_string(host++);
        displays.push_back(std::make_unique<sim::LanDisplay>(address, config));
        ASSERT_TRUE(displays.back()->start());
        replies.push_back(std::async(std::launch::async, [this, address] {
            return Probe("target=" + address + "&module=temp&model=LM-55", kFaultScrapeTimeout);
        }));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const FaultCase& c = cases[i];
        const HttpReply r = replies[i].get();
        SCOPED_TRACE(c.name);
        ASSERT_EQ(r.status, 200) << r.body;
        EXPECT_EQ(Sample(r.body, "dravik_probe_success"), c.outcome ? 0.0 : 1.0) << r.body;
        if (c.outcome) {
            EXPECT_EQ(Sample(r.body, std::string("dravik_read_outcome{outcome=\"") + c.outcome + "\",read=\"temperature\"}"), 1.0)
                << r.body;
        } else {
            EXPECT_EQ(Sample(r.body, "dravik_display_temperature_celsius"), 32.0) << r.body;
        }
        // Within the scrape's timeout by the exporter's own clock.
        EXPECT_LT(Sample(r.body, "dravik_probe_duration_seconds").value_or(99), std::stod(kFaultScrapeTimeout));
    }
}

TEST_F(ExporterProbe, AHangingConnectEndsAtTheDeadlineAndDelaysNoOtherDisplay) {
    HangingListener hanging("127.0.92.40");
    ASSERT_TRUE(hanging.ok());
    sim::DisplayConfig config;
    config.model = "LM-55";
    config.fault = sim::Fault::AnswerLate;
    config.lateMs = 300;
    sim::LanDisplay other("127.0.92.41", config);
    ASSERT_TRUE(other.start());

    std::atomic<int> order{0};
    int hangingDone = 0, otherDone = 0;
    auto slow = std::async(std::launch::async, [&] {
        const HttpReply r = Probe("target=127.0.92.40&module=temp&model=LM-55", "2");
        hangingDone = ++order;
        return r;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const HttpReply fast = Probe("target=127.0.92.41&module=temp&model=LM-55", "2");
    otherDone = ++order;
    const HttpReply r = slow.get();
    // The second display's probe came later and answered first.
    EXPECT_EQ(otherDone, 1) << r.body;
    EXPECT_EQ(hangingDone, 2);
    EXPECT_EQ(Sample(fast.body, "dravik_probe_success"), 1.0) << fast.body;
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(Sample(r.body, "dravik_probe_success"), 0.0) << r.body;
    EXPECT_EQ(Sample(r.body, "dravik_read_success{read=\"temperature\"}"), 0.0) << r.body;
    EXPECT_LT(Sample(r.body, "dravik_probe_duration_seconds").value_or(99), 2.0);
}

TEST_F(ExporterProbe, ProbesOfOneDisplayTakeTurns) {
    sim::DisplayConfig config;
    config.model = "LM-55";
    config.fault = sim::Fault::AnswerLate;
    config.lateMs = 300;
    sim::LanDisplay display("127.0.92.50", config);
    ASSERT_TRUE(display.start());
    std::vector<std::future<HttpReply>> replies;
    for (int i = 0; i < 4; ++i)
        replies.push_back(std::async(std::launch::async, [this] { return Probe("target=127.0.92.50&module=temp&model=LM-55", "8"); }));
    for (auto& r : replies) EXPECT_EQ(Sample(r.get().body, "dravik_probe_success"), 1.0);
    // Each frame came only after the answer to the one before it: never two at once.
    const auto log = display.log();
    ASSERT_EQ(log.size(), 4u);
    for (std::size_t i = 1; i < log.size(); ++i)
        EXPECT_GE(log[i].time - log[i - 1].time, std::chrono::milliseconds(290)) << i;
}

TEST_F(ExporterProbe, ALineHeldByAnotherProgramIsPortBusy) {
    sim::DisplayConfig config;
    config.model = "LM-55";
    config.monitorId = 3;
    sim::SerialLine line({config});
    ASSERT_TRUE(line.start());
    const std::string target = "target=" + line.devicePath() + "@3&module=temp&model=LM-55";
    {
        transport::SerialPort held;  // this test is the other program
        ASSERT_EQ(held.open(QString::fromStdString(line.devicePath())), transport::OpenResult::Opened);
        const HttpReply r = Probe(target);
        EXPECT_EQ(Sample(r.body, "dravik_read_outcome{outcome=\"port-busy\",read=\"temperature\"}"), 1.0) << r.body;
    }
    const HttpReply r = Probe(target);
    EXPECT_EQ(Sample(r.body, "dravik_display_temperature_celsius"), 32.0) << r.body;
}

TEST_F(ExporterProbe, BadRequestsAnswer400OrAreRefusedAndProbeNothing) {
    const struct {
        const char* query;
        int status;
    } cases[] = {
        {"", 400},
        {"module=temp", 400},
        {"target=", 400},
        {"target=127.0.92.60:0", 400},
        {"target=127.0.92.60:99999", 400},
        {"target=127.0.92.60@0", 400},
        {"target=%zz", 400},
        {"target=a%20b", 400},
        {"target=/etc/passwd@1", 400},
        {"target=/dev/../etc/passwd", 400},
        {"target=127.0.92.60&module=nope", 400},
        {"target=127.0.92.60&target=127.0.92.61", 400},
        {"target=127.0.92.60&model=", 400},
        {"target=10.1.2.3", 403},
        {"target=/dev/ttyS0@1", 403},
    };
    sim::LanDisplay display("127.0.92.60", {});
    ASSERT_TRUE(display.start());
    for (const auto& c : cases) {
        const HttpReply r = Probe(c.query);
        EXPECT_EQ(r.status, c.status) << c.query << ": " << r.body;
        // One line with the reason.
        EXPECT_EQ(std::count(r.body.begin(), r.body.end(), '\n'), 1) << c.query << ": " << r.body;
    }
    EXPECT_TRUE(display.log().empty());
}

}  // namespace
}  // namespace dravik::exporter::testing

namespace dravik::exporter::testing {
namespace {

// What comes out passes promtool's own check and lint (where promtool is installed).
TEST_F(ExporterProbe, ProbeAndMetricsTextPassPromtool) {
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty()) GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    sim::DisplayConfig config;
    config.model = "LM-55";
    sim::LanDisplay display("127.0.92.70", config);
    ASSERT_TRUE(display.start());
    for (const std::string path : {"/probe?target=127.0.92.70", "/probe?target=127.0.92.71&module=temp&model=LM-55", "/metrics"}) {
        const HttpReply r = exporter_->get(path);
        ASSERT_EQ(r.status, 200) << path;
        QProcess check;
        check.start(promtool, {"check", "metrics"});
        check.write(QByteArray::fromStdString(r.body));
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(20000));
        const std::string said = check.readAll().toStdString();
        EXPECT_EQ(check.exitCode(), 0) << path << ": " << said;
        EXPECT_EQ(said, "") << path;
    }
}

bool Eventually(const std::function<bool()>& holds) {
    for (int i = 0; i < 200; ++i) {
        if (holds()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(ExporterStart, ABadConfigurationStopsTheStartWithItsPlaceAndABadReloadKeepsTheOld) {
    QTemporaryDir dir;
    const QString path = dir.filePath("exporter.yml");
    std::ofstream(path.toStdString()) << "modules:\n  temp:\n    reads: [temprature]\n";
    QProcess bad;
    bad.setProcessChannelMode(QProcess::MergedChannels);
    bad.start(QStringLiteral(DRAVIK_EXPORTER_EXE), {"--web.listen-address=127.0.92.251:9734", "--config.file=" + path});
    ASSERT_TRUE(bad.waitForFinished(10000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_NE(bad.readAll().toStdString().find(path.toStdString() + ":3:13:"), std::string::npos);

    std::ofstream(path.toStdString()) << "modules:\n  temp:\n    reads: [temperature]\n";
    ExporterProcess exporter("127.0.92.251", 9734, {"--config.file=" + path});
    ASSERT_TRUE(exporter.up());
    const std::string probe = "/probe?target=127.0.92.72&module=temp&model=LM-55";
    // Each way of reloading: the signal and the endpoint.
    const std::function<void()> reloads[] = {
        [&] {
            // Never pid 0: that would signal this test's whole process group.
            const auto pid = static_cast<pid_t>(exporter.process().processId());
            ASSERT_GT(pid, 0);
            ::kill(pid, SIGHUP);
        },
        [&] {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(9734);
            ::inet_pton(AF_INET, "127.0.92.251", &sa.sin_addr);
            ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
            const std::string post = "POST /-/reload HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            ASSERT_GT(::send(fd, post.data(), post.size(), MSG_NOSIGNAL), 0);
            char buf[512] = {};
            ASSERT_GT(::recv(fd, buf, sizeof buf - 1, 0), 0);
            ::close(fd);
        },
    };
    for (const auto& reload : reloads) {
        std::ofstream(path.toStdString()) << "modules: [\n";
        reload();
        // The signal is taken in its own time: wait until the exporter has read the file.
        EXPECT_TRUE(Eventually([&] {
            return Sample(exporter.get("/metrics").body, "dravik_exporter_config_last_reload_successful") == 0.0;
        }));
        EXPECT_EQ(exporter.get(probe).status, 200);  // the old configuration still has "temp"
        std::ofstream(path.toStdString()) << "modules:\n  other:\n    reads: [temperature]\n";
        reload();
        EXPECT_TRUE(Eventually([&] { return exporter.get(probe).status == 400; }));
        EXPECT_EQ(exporter.get("/probe?target=127.0.92.72&module=other&model=LM-55").status, 200);
        std::ofstream(path.toStdString()) << "modules:\n  temp:\n    reads: [temperature]\n";
        reload();
        EXPECT_TRUE(Eventually([&] { return exporter.get(probe).status == 200; }));
    }
}

}  // namespace
}  // namespace dravik::exporter::testing

namespace dravik::exporter::testing {
namespace {

// TLS and basic auth from a web configuration: a certificate made for the test by openssl.
TEST(ExporterWeb, TlsAndBasicAuthGuardEveryEndpoint) {
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) GTEST_SKIP() << "openssl is not installed";
    QTemporaryDir dir;
    QProcess make;
    make.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.92.252",
                         "-keyout", dir.filePath("k.pem"), "-out", dir.filePath("c.pem")});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0);
    crypt_data data{};
    const std::string hash = ::crypt_r("s3cret", "$2b$04$abcdefghijklmnopqrstuu", &data);
    std::ofstream(dir.filePath("web.yml").toStdString())
        << "tls_server_config:\n  cert_file: c.pem\n  key_file: k.pem\nbasic_auth_users:\n  prometheus: " << hash << "\n";
    ExporterProcess exporter("127.0.92.252", 9734, {"--web.config.file=" + dir.filePath("web.yml")});
    // Plain HTTP gets no answer from a TLS listener.
    EXPECT_NE(HttpGet("127.0.92.252", 9734, "/-/healthy", {}, std::chrono::seconds(2)).status, 200);

    const auto get = [&](const QString& path, const QByteArray& user) {
        QNetworkAccessManager manager;
        QNetworkRequest request(QUrl(QStringLiteral("https://127.0.92.252:9734") + path));
        if (!user.isEmpty()) request.setRawHeader("Authorization", "Basic " + user.toBase64());
        QSslConfiguration ssl = request.sslConfiguration();
        ssl.setCaCertificates(QSslCertificate::fromPath(dir.filePath("c.pem")));
        request.setSslConfiguration(ssl);
        QNetworkReply* reply = manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply](const QList<QSslError>& errors) {
            // The certificate names the address; anything else it complains of is real.
            QList<QSslError> ignore;
            for (const QSslError& e : errors)
                if (e.error() == QSslError::HostNameMismatch) ignore << e;
            reply->ignoreSslErrors(ignore);
        });
        loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        return status;
    };
    const struct {
        const char* path;
        QByteArray user;
        int status;
    } cases[] = {
        {"/-/healthy", "prometheus:s3cret", 200},
        {"/metrics", "prometheus:s3cret", 200},
        {"/-/healthy", "", 401},
        {"/metrics", "prometheus:wrong", 401},
        {"/probe?target=127.0.92.73", "other:s3cret", 401},
        {"/", "", 401},
    };
    for (const auto& c : cases) EXPECT_EQ(get(QString::fromLatin1(c.path), c.user), c.status) << c.path << " " << c.user.toStdString();
}

}  // namespace
}  // namespace dravik::exporter::testing
