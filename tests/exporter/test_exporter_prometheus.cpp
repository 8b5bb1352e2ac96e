// Prometheus itself, with the shipped example configuration pointed at the exporter
// (127.0.93.250) and at simulated displays on 127.0.93.x and a pseudo-terminal: after two
// scrapes, what its HTTP API holds per instance is what the simulators hold.
#include "exporter_helpers.h"

#include <gtest/gtest.h>

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <fstream>

namespace dravik::exporter::testing {
namespace {

std::map<std::string, double> Query(const std::string& expr) {
    const std::string path = "/api/v1/query?query=" + QUrl::toPercentEncoding(QString::fromStdString(expr)).toStdString();
    const HttpReply r = HttpGet("127.0.93.251", 9090, path);
    std::map<std::string, double> values;
    const QJsonArray result = QJsonDocument::fromJson(QByteArray::fromStdString(r.body))["data"]["result"].toArray();
    for (const auto& item : result) {
        const QJsonObject o = item.toObject();
        values[o["metric"]["instance"].toString().toStdString()] = o["value"].toArray()[1].toString().toDouble();
    }
    return values;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(ExporterPrometheus, ScrapedTwiceThroughTheExampleConfigEachInstanceHoldsTheSimulatorsValues) {
    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (prometheus.isEmpty()) GTEST_SKIP() << "prometheus (Debian package prometheus) is not installed";

    sim::DisplayConfig good;
    good.model = "LM-55";
    sim::LanDisplay answering("127.0.93.1", good);
    sim::DisplayConfig silentConfig = good;
    silentConfig.fault = sim::Fault::NeverAnswer;
    sim::LanDisplay silent("127.0.93.2", silentConfig);
    sim::DisplayConfig nackConfig = good;
    nackConfig.fault = sim::Fault::Nack;
    sim::LanDisplay nack("127.0.93.3", nackConfig);
    sim::DisplayConfig serialConfig = good;
    serialConfig.monitorId = 3;
    sim::SerialLine line({serialConfig});
    ASSERT_TRUE(answering.start() && silent.start() && nack.start() && line.start());
    answering.setTemperature(41);
    line.display(3)->setTemperature(37);
    const std::string serialTarget = line.devicePath() + "@3";

    ExporterProcess exporter("127.0.93.250", 9734);
    ASSERT_TRUE(exporter.up());

    QTemporaryDir dir;
    std::ifstream example(DRAVIK_EXAMPLES_DIR "/prometheus.yml");
    std::string config((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    config = Replace(config, "scrape_interval: 30s", "scrape_interval: 5s");
    config = Replace(config, "scrape_timeout: 10s", "scrape_timeout: 5s");
    config = Replace(config, "replacement: 127.0.0.1:9734", "replacement: 127.0.93.250:9734");
    config = Replace(config, "targets: [127.0.0.1:9734]", "targets: [127.0.93.250:9734]");
    std::ofstream(dir.filePath("prometheus.yml").toStdString()) << config;
    QFile::copy(QStringLiteral(DRAVIK_EXAMPLES_DIR "/dravik-alerts.yml"), dir.filePath("dravik-alerts.yml"));
    QDir(dir.path()).mkdir("targets");
    // 127.0.93.4 refuses the connection: nothing listens there.
    std::ofstream(dir.filePath("targets/displays.json").toStdString())
        << R"([{"targets": ["127.0.93.1", "127.0.93.2", "127.0.93.3", "127.0.93.4", ")" << serialTarget << R"("]}])";

    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(prometheus, {"--config.file=" + dir.filePath("prometheus.yml"),
                              "--storage.tsdb.path=" + dir.filePath("data"),
                              "--web.listen-address=127.0.93.251:9090"});
    ASSERT_TRUE(server.waitForStarted());

    // Two scrapes of every display.
    std::map<std::string, double> counts;
    for (int i = 0; i < 120; ++i) {
        counts = Query("count_over_time(dravik_probe_success[5m])");
        if (counts.size() == 5 && std::all_of(counts.begin(), counts.end(), [](const auto& kv) { return kv.second >= 2; }))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ASSERT_EQ(counts.size(), 5u) << server.readAll().toStdString();

    const std::map<std::string, double> wantSuccess{
        {"127.0.93.1", 1}, {"127.0.93.2", 0}, {"127.0.93.3", 0}, {"127.0.93.4", 0}, {serialTarget, 1}};
    EXPECT_EQ(Query("dravik_probe_success"), wantSuccess);
    const std::map<std::string, double> wantTemperature{{"127.0.93.1", 41}, {serialTarget, 37}};
    EXPECT_EQ(Query("dravik_display_temperature_celsius"), wantTemperature);
    const std::map<std::string, double> refused{{"127.0.93.4", 1}};
    EXPECT_EQ(Query("dravik_read_outcome{read=\"temperature\",outcome=\"connect-refused\"}"), refused);
    // The exporter's own metrics reach Prometheus too.
    EXPECT_EQ(Query("up{job=\"dravik_exporter\"}").size(), 1u);

    server.terminate();
    server.waitForFinished(10000);
}

}  // namespace
}  // namespace dravik::exporter::testing
