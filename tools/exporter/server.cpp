#include "exporter/server.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <crypt.h>

#include <cstdio>
#include <cstring>

namespace dravik::exporter {

namespace {

const QByteArray kTextFormat = "text/plain; version=0.0.4; charset=utf-8";

QHttpServerResponse Text(const std::string& body, QHttpServerResponse::StatusCode status) {
    return QHttpServerResponse(QByteArray("text/plain; charset=utf-8"), QByteArray::fromStdString(body), status);
}

QHttpServerResponse Unauthorized() {
    QHttpServerResponse r = Text("Unauthorized\n", QHttpServerResponse::StatusCode::Unauthorized);
    r.setHeader("WWW-Authenticate", "Basic realm=\"dravik-exporter\"");
    return r;
}

const char* kLanding = R"(<html>
<head><title>Dravik Exporter</title></head>
<body>
<h1>Dravik Exporter</h1>
<p>Probes one display per request: <a href="probe?target=127.0.0.1">/probe?target=ADDRESS[:PORT][@ID]</a>
or <code>/probe?target=/dev/ttyUSB0@ID</code>, with optional <code>module=</code> and <code>model=</code>.</p>
<p><a href="metrics">Metrics</a> of the exporter itself.</p>
</body>
</html>
)";

}  // namespace

std::chrono::milliseconds ProbeTimeout(const QByteArray& header, std::chrono::milliseconds moduleTimeout) {
    bool ok = false;
    const double seconds = header.trimmed().toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 24 * 3600) return moduleTimeout;
    const auto scrape = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    const auto usable = scrape > 2 * kScrapeMargin ? scrape - kScrapeMargin : scrape / 2;
    return std::min(usable, moduleTimeout);
}

bool CheckBasicAuth(const QByteArray& header, const WebConfig& web) {
    if (web.users.empty()) return true;
    if (!header.startsWith("Basic ")) return false;
    const auto decoded = QByteArray::fromBase64Encoding(header.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return false;
    const QByteArray pair = *decoded;
    const qsizetype colon = pair.indexOf(':');
    if (colon < 0) return false;
    const auto it = web.users.find(pair.left(colon).toStdString());
    if (it == web.users.end()) return false;
    const QByteArray password = pair.mid(colon + 1);
    crypt_data data;
    std::memset(&data, 0, sizeof data);
    const char* hashed = ::crypt_r(password.constData(), it->second.c_str(), &data);
    if (!hashed || hashed[0] == '*') return false;
    // Same length: the hash's length is fixed by its format.
    const std::string& want = it->second;
    if (std::strlen(hashed) != want.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < want.size(); ++i) diff |= static_cast<unsigned char>(hashed[i] ^ want[i]);
    return diff == 0;
}

ExporterServer::ExporterServer(ServerOptions options)
    : options_(std::move(options)), metrics_(options_.version), prober_(options_.maxConcurrent, &metrics_) {}

ExporterServer::~ExporterServer() = default;

std::shared_ptr<const Config> ExporterServer::config() const {
    std::lock_guard lock(configMutex_);
    return config_;
}

bool ExporterServer::reload(std::string* why) {
    FileError error;
    std::optional<Config> loaded = options_.configFile.empty() ? DefaultConfig() : LoadConfig(options_.configFile, &error);
    metrics_.reloaded(loaded.has_value());
    if (!loaded) {
        if (why) *why = error.text();
        return false;
    }
    std::lock_guard lock(configMutex_);
    config_ = std::make_shared<const Config>(std::move(*loaded));
    return true;
}

bool ExporterServer::start(std::string* error) {
    if (!reload(error)) return false;
    if (!options_.webConfigFile.empty()) {
        FileError e;
        const auto web = LoadWebConfig(options_.webConfigFile, &e);
        if (!web) {
            if (error) *error = e.text();
            return false;
        }
        web_ = *web;
        if (web_.tls()) {
            QFile certFile(QString::fromStdString(web_.certFile));
            QFile keyFile(QString::fromStdString(web_.keyFile));
            if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
                if (error) *error = options_.webConfigFile + ": cannot read cert_file or key_file";
                return false;
            }
            const QSslCertificate cert(&certFile, QSsl::Pem);
            QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem);
            if (key.isNull()) {
                keyFile.seek(0);
                key = QSslKey(&keyFile, QSsl::Ec, QSsl::Pem);
            }
            if (cert.isNull() || key.isNull()) {
                if (error) *error = options_.webConfigFile + ": cert_file or key_file holds no PEM certificate or key";
                return false;
            }
            http_.sslSetup(cert, key);
        }
    }
    routes();
    port_ = http_.listen(options_.address, options_.port);
    if (port_ == 0) {
        if (error) *error = "cannot listen on " + options_.address.toString().toStdString() + ":" + std::to_string(options_.port);
        return false;
    }
    return true;
}

void ExporterServer::routes() {
    const auto authorized = [this](const QHttpServerRequest& req) {
        if (web_.users.empty()) return true;
        const QByteArray header = req.value("Authorization");
        const std::string key = QCryptographicHash::hash(header, QCryptographicHash::Sha256).toHex().toStdString();
        {
            std::lock_guard lock(authMutex_);
            if (authSeen_.count(key)) return true;
        }
        if (!CheckBasicAuth(header, web_)) return false;
        std::lock_guard lock(authMutex_);
        if (authSeen_.size() > 1000) authSeen_.clear();
        authSeen_.insert(key);
        return true;
    };

    // The answer is written later, on this thread, when the prober is done.
    http_.route("/probe", [this, authorized](const QHttpServerRequest& req, QHttpServerResponder&& responder) {
        if (!authorized(req)) return Unauthorized().write(std::move(responder));
        const auto arrived = SteadyClock::now();
        std::string why;
        const auto request = ParseProbeRequest(req.url().query(QUrl::FullyEncoded).toStdString(), &why);
        const auto bad = [&](const std::string& reason, QHttpServerResponse::StatusCode status) {
            metrics_.refused(status == QHttpServerResponse::StatusCode::Forbidden ? "forbidden" : "bad-request");
            Text(reason + "\n", status).write(std::move(responder));
        };
        if (!request) return bad(why, QHttpServerResponse::StatusCode::BadRequest);
        const auto cfg = config();
        const auto module = cfg->modules.find(request->module);
        if (module == cfg->modules.end()) return bad("unknown module '" + request->module + "'", QHttpServerResponse::StatusCode::BadRequest);
        if (request->target.serial ? !cfg->allowsDevice(request->target.device)
                                   : (ParseIpv4(request->target.host) && !cfg->allowsAddress(*ParseIpv4(request->target.host))))
            return bad("target not in allowed_targets", QHttpServerResponse::StatusCode::Forbidden);
        const auto timeout = ProbeTimeout(req.value("X-Prometheus-Scrape-Timeout-Seconds"), module->second.timeout);
        auto held = std::make_shared<QHttpServerResponder>(std::move(responder));
        ProbePlan plan{request->target, module->second, request->model, *cfg};
        prober_.submit(std::move(plan), arrived + timeout, [this, held](const ProbeResult& result) {
            QByteArray body;
            QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok;
            if (result.forbidden) {
                metrics_.refused("forbidden");
                body = "target not in allowed_targets\n";
                status = QHttpServerResponse::StatusCode::Forbidden;
            } else {
                metrics_.answered(result);
                body = QByteArray::fromStdString(ProbeText(result));
            }
            QMetaObject::invokeMethod(&http_, [held, body, status] {
                QHttpServerResponse(status == QHttpServerResponse::StatusCode::Ok ? kTextFormat : QByteArray("text/plain; charset=utf-8"),
                                    body, status).write(std::move(*held));
            }, Qt::QueuedConnection);
        });
    });
    http_.route("/metrics", [this, authorized](const QHttpServerRequest& req) {
        if (!authorized(req)) return Unauthorized();
        return QHttpServerResponse(kTextFormat, QByteArray::fromStdString(metrics_.text()));
    });
    http_.route("/-/healthy", [this, authorized](const QHttpServerRequest& req) {
        if (!authorized(req)) return Unauthorized();
        return Text("Healthy\n", QHttpServerResponse::StatusCode::Ok);
    });
    http_.route("/-/reload", QHttpServerRequest::Method::Post | QHttpServerRequest::Method::Put,
                [this, authorized](const QHttpServerRequest& req) {
                    if (!authorized(req)) return Unauthorized();
                    std::string why;
                    if (!reload(&why)) {
                        std::fprintf(stderr, "level=error msg=\"reload failed, the old configuration stays\" err=\"%s\"\n", why.c_str());
                        return Text("failed to reload config: " + why + "\n", QHttpServerResponse::StatusCode::InternalServerError);
                    }
                    std::fprintf(stderr, "level=info msg=\"configuration reloaded\"\n");
                    return Text("OK\n", QHttpServerResponse::StatusCode::Ok);
                });
    http_.route("/", [this, authorized](const QHttpServerRequest& req) {
        if (!authorized(req)) return Unauthorized();
        return QHttpServerResponse(QByteArray("text/html; charset=utf-8"), QByteArray(kLanding));
    });
}

}  // namespace dravik::exporter
