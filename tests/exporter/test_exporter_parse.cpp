// The exporter's readers: targets, query strings, both YAML files (errors with their place),
// the probe's time from the scrape's header, and basic auth against bcrypt hashes.
#include "exporter/exporter_config.h"
#include "exporter/probe_request.h"
#include "exporter/server.h"

#include <gtest/gtest.h>

#include <crypt.h>

namespace dravik::exporter {
namespace {

TEST(ExporterParse, TargetsNameOneDisplayOrAreRefused) {
    const struct {
        const char* text;
        bool ok;
        bool serial;
        const char* key;
        int id;
    } cases[] = {
        {"127.0.0.5", true, false, "127.0.0.5:5000", 1},
        {"Display-7.example.org:5001@4", true, false, "display-7.example.org:5001", 4},
        {"/dev/ttyUSB0@3", true, true, "/dev/ttyUSB0", 3},
        {"/dev/pts/7", true, true, "/dev/pts/7", 1},
    };
    const char* refused[] = {"", "127.0.0.5:", ":5000", "host:65536", "host@256", "host@", "/dev/ttyUSB0@x",
                             "/tmp/x@1", "/dev/../etc/shadow", "/dev/tty USB0", "-host", "[::1]", "host:50a0"};
    for (const char* text : refused) {
        std::string why;
        EXPECT_FALSE(ParseTarget(text, &why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
    for (const auto& c : cases) {
        std::string why;
        const auto t = ParseTarget(c.text, &why);
        ASSERT_EQ(t.has_value(), c.ok) << c.text << ": " << why;
        if (!t) {
            EXPECT_FALSE(why.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(t->serial, c.serial) << c.text;
        EXPECT_EQ(t->lineKey(), c.key) << c.text;
        EXPECT_EQ(t->monitorId, c.id) << c.text;
    }
}

TEST(ExporterParse, QueryStringsDecodeAndRepeatsAreRefused) {
    std::string why;
    const auto r = ParseProbeRequest("target=%2Fdev%2FttyS1%403&module=full&model=LM-55&debug=true", &why);
    ASSERT_TRUE(r) << why;
    EXPECT_EQ(r->target.device, "/dev/ttyS1");
    EXPECT_EQ(r->target.monitorId, 3);
    EXPECT_EQ(r->module, "full");
    EXPECT_EQ(r->model, "LM-55");
    for (const char* bad : {"target=a&target=b", "target=a%2", "target=a&module=", "=x&target=a", "module=m"})
        EXPECT_FALSE(ParseProbeRequest(bad, &why)) << bad;
}

TEST(ExporterParse, ConfigurationErrorsSayLineAndColumn) {
    const struct {
        const char* yaml;
        int line;
        int column;
    } bad[] = {
        {"modules:\n  m:\n    reads: [temperature, warmth]\n", 3, 26},
        {"modules:\n  m:\n    reads: [temperature]\n    timeout: soon\n", 4, 14},
        {"modules:\n  m:\n    timeout: 5s\n", 3, 5},
        {"allowed_targets:\n  - 10.0.0.0/33\n", 2, 5},
        {"allowed_targets:\n  - /etc/x\n", 2, 5},
        {"modulez: {}\n", 1, 1},
        {"modules: [\n", 2, 1},
    };
    for (const auto& c : bad) {
        FileError e;
        EXPECT_FALSE(ParseConfig(c.yaml, "x.yml", &e)) << c.yaml;
        EXPECT_EQ(e.line, c.line) << c.yaml << e.text();
        EXPECT_EQ(e.column, c.column) << c.yaml << e.text();
    }
    FileError e;
    const auto good = ParseConfig("modules:\n  full:\n    reads: [video, identity, operating_time]\n    timeout: 1m30s\n"
                                  "allowed_targets: [10.1.0.0/16, /dev/ttyUSB*]\n", "x.yml", &e);
    ASSERT_TRUE(good) << e.text();
    EXPECT_EQ(good->modules.at("default").reads, (std::vector<Read>{Read::Identity, Read::Temperature}));
    EXPECT_EQ(good->modules.at("full").reads, (std::vector<Read>{Read::Identity, Read::OperatingTime, Read::Video}));
    EXPECT_EQ(good->modules.at("full").timeout, std::chrono::seconds(90));
    EXPECT_TRUE(good->allowsAddress(*ParseIpv4("10.1.200.3")));
    EXPECT_FALSE(good->allowsAddress(*ParseIpv4("10.2.0.1")));
    EXPECT_TRUE(good->allowsDevice("/dev/ttyUSB3"));
    EXPECT_FALSE(good->allowsDevice("/dev/ttyS0"));
}

TEST(ExporterParse, WebConfigAndBasicAuth) {
    crypt_data data{};
    const std::string hash = ::crypt_r("s3cret", "$2b$04$abcdefghijklmnopqrstuu", &data);
    FileError e;
    const auto web = ParseWebConfig("tls_server_config:\n  cert_file: a.crt\n  key_file: /k.key\nbasic_auth_users:\n  alice: " + hash + "\n",
                                    "/etc/x/web.yml", &e);
    ASSERT_TRUE(web) << e.text();
    EXPECT_EQ(web->certFile, "/etc/x/a.crt");
    EXPECT_EQ(web->keyFile, "/k.key");
    const auto basic = [](const char* pair) { return "Basic " + QByteArray(pair).toBase64(); };
    EXPECT_TRUE(CheckBasicAuth(basic("alice:s3cret"), *web));
    for (const QByteArray& wrong : {basic("alice:s3cre"), basic("bob:s3cret"), basic("alice"), QByteArray("Basic !!"), QByteArray()})
        EXPECT_FALSE(CheckBasicAuth(wrong, *web)) << wrong.toStdString();
    for (const char* yaml : {"basic_auth_users:\n  alice: plain\n", "tls_server_config:\n  cert_file: a\n",
                             "tls_server_config:\n  client_auth_type: RequireAndVerifyClientCert\n"})
        EXPECT_FALSE(ParseWebConfig(yaml, "w.yml", &e)) << yaml;
}

TEST(ExporterParse, TheProbeTimeComesFromTheScrapeLessTheMargin) {
    using std::chrono::milliseconds;
    EXPECT_EQ(ProbeTimeout("10", milliseconds(5000)), milliseconds(5000));
    EXPECT_EQ(ProbeTimeout("4", milliseconds(10000)), milliseconds(3500));
    EXPECT_EQ(ProbeTimeout("0.6", milliseconds(10000)), milliseconds(300));
    EXPECT_EQ(ProbeTimeout("", milliseconds(7000)), milliseconds(7000));
    EXPECT_EQ(ProbeTimeout("-1", milliseconds(7000)), milliseconds(7000));
    EXPECT_EQ(ProbeTimeout("nan", milliseconds(7000)), milliseconds(7000));
}

}  // namespace
}  // namespace dravik::exporter
