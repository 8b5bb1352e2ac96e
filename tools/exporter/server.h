// dravik-exporter's HTTP side: /probe (the multi-target pattern), /metrics (the exporter's
// own), / (landing page), /-/healthy and /-/reload, behind the web configuration's TLS and
// basic auth. Requests are taken on the thread that runs the event loop; probes run on the
// prober's workers and answer through a future, so a probe never blocks another request.
#pragma once

#include "exporter/exporter_config.h"
#include "exporter/probe_metrics.h"
#include "exporter/prober.h"

#include <QHostAddress>
#include <QHttpServer>

#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace dravik::exporter {

// Unallocated in Prometheus's default port allocation list at the time of choosing.
inline constexpr quint16 kDefaultPort = 9734;
// Taken off the scrape's own timeout so that the answer reaches Prometheus in time.
inline constexpr std::chrono::milliseconds kScrapeMargin{500};

struct ServerOptions {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = kDefaultPort;
    std::string configFile;     // empty: DefaultConfig()
    std::string webConfigFile;  // empty: plain HTTP, no auth
    int maxConcurrent = 64;
    std::string version;
};

// The probe's time: the scrape's timeout header less the margin (half of it when the
// timeout is smaller than twice the margin), never more than the module's own timeout.
std::chrono::milliseconds ProbeTimeout(const QByteArray& scrapeTimeoutHeader, std::chrono::milliseconds moduleTimeout);

// "Basic BASE64" against the users' bcrypt hashes.
bool CheckBasicAuth(const QByteArray& header, const WebConfig& web);

class ExporterServer {
public:
    explicit ExporterServer(ServerOptions options);
    ~ExporterServer();
    // Reads both files and listens; false with the reason (a file error has file:line:column).
    bool start(std::string* error);
    quint16 port() const { return port_; }
    // A bad new file keeps the old configuration; false with the reason.
    bool reload(std::string* why);

private:
    std::shared_ptr<const Config> config() const;
    void routes();

    ServerOptions options_;
    WebConfig web_;
    mutable std::mutex configMutex_;
    std::shared_ptr<const Config> config_;
    ExporterMetrics metrics_;
    QHttpServer http_;
    // Last member: its workers are stopped and joined before the server they answer through goes.
    Prober prober_;
    quint16 port_ = 0;
    std::mutex authMutex_;
    std::set<std::string> authSeen_;  // "user:sha256(password)" that passed bcrypt once
};

}  // namespace dravik::exporter
