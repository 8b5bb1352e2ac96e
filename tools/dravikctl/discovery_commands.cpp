#include "dravikctl/discovery_commands.h"

#include "dravikctl/cli_text.h"
#include "dravikctl/command_table.h"
#include "dravikctl/option_table.h"
#include "dravikctl/dravikctl.h"
#include "dravikctl/report.h"
#include "discovery/lan_scanner.h"
#include "flows/reply_rules.h"
#include "protocol/frame.h"
#include "targets/records.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace dravik::ctl {

namespace {

using flows::Outcome;

enum class Sub { Scan, Search, Check };

const char* NameOf(Sub sub) {
    switch (sub) {
        case Sub::Scan: return "scan";
        case Sub::Search: return "search";
        case Sub::Check: return "check";
    }
    return "scan";
}

std::optional<Sub> SubFromName(std::string_view name) {
    if (name == "scan") return Sub::Scan;
    if (name == "search") return Sub::Search;
    if (name == "check") return Sub::Check;
    return std::nullopt;
}

std::string PrefixOf(const std::array<int, 4>& f) {
    return std::to_string(f[0]) + "." + std::to_string(f[1]) + "." + std::to_string(f[2]) + ".";
}

struct Display {
    int id = 1;
    std::optional<std::string> model;
};

struct Args {
    Sub sub = Sub::Scan;
    bool help = false;
    Format format = Format::Text;
    bool formatGiven = false;
    bool verbose = false;
    std::vector<ScanRange> ranges;
    bool local = false;
    std::optional<std::string> port;
    int from = discovery::kFirstSearchId;
    int to = discovery::kLastSearchId;
    std::optional<std::string> model;  // search: picks the query; check: for every --id without one
    std::vector<Display> displays;     // check --id
    std::vector<std::string> lists;    // check --list
    std::optional<std::string> writeList;
};

unsigned BitOf(Sub sub) { return SubcommandBitOf(NameOf(sub)); }

class Parser {
public:
    std::optional<Args> run(std::span<const std::string> args, std::string& error) {
        error_ = &error;
        const auto sub = SubFromName(args[0]);
        if (!sub) return fail("unknown subcommand " + Quote(args[0]));
        a_.sub = *sub;
        std::string readError;
        const bool read = ReadArguments(
            args.subspan(1), BitOf(a_.sub), NameOf(a_.sub),
            [&](const OptionDef& def, const std::string& value) { return apply(def.id, "--" + std::string(def.name), value); },
            [&](const std::string& operand) {
                return this->error("unexpected " + Quote(operand) + " (see 'dravikctl " + NameOf(a_.sub) + " --help')");
            },
            readError);
        if (!read) {
            // The option handlers set their message themselves.
            if (!readError.empty()) *error_ = readError;
            return std::nullopt;
        }
        if (a_.help) return a_;
        return finish();
    }

private:
    std::nullopt_t fail(std::string message) {
        *error_ = std::move(message);
        return std::nullopt;
    }
    bool error(std::string message) {
        *error_ = std::move(message);
        return false;
    }

    bool apply(OptionId opt, const std::string& name, const std::string& value) {
        using O = OptionId;
        if (opt == O::Help) {
            a_.help = true;
        } else if (opt == O::Verbose) {
            a_.verbose = true;
        } else if (opt == O::Format || opt == O::Json) {
            const auto format = opt == O::Json ? std::optional<Format>(Format::Jsonl) : FormatFromName(value);
            // The service discovery file lists LAN displays: a scan's.
            const bool sd = format == Format::PrometheusSd;
            if (!format || *format == Format::Prometheus || (sd && a_.sub != Sub::Scan))
                return error(name + " wants text, json, jsonl or csv" + (a_.sub == Sub::Scan ? ", or prometheus-sd" : "") +
                             " here, not " + Quote(opt == O::Json ? "json" : value));
            if (a_.formatGiven && a_.format != *format) return error("--format given twice");
            a_.format = *format;
            a_.formatGiven = true;
        } else if (opt == O::WriteList) {
            if (value.empty()) return error(name + " needs a file name");
            a_.writeList = value;
        } else if (opt == O::Range) {
            std::string why;
            const auto range = ParseScanRange(value, why);
            if (!range) return error(name + " " + Quote(value) + ": " + why);
            a_.ranges.push_back(*range);
        } else if (opt == O::Local) {
            a_.local = true;
        } else if (opt == O::Port) {
            if (value.empty()) return error(name + " needs a device path");
            a_.port = value;
        } else if (opt == O::From || opt == O::To) {
            int id = 0;
            if (!ParseInt(value, 0, 255, id)) return error(name + " wants a monitor ID from 0 to 255, not " + Quote(value));
            (opt == O::From ? a_.from : a_.to) = id;
        } else if (opt == O::Model) {
            if (value.empty()) return error(name + " needs a model name");
            if (!IsKnownModel(value)) return error("unknown model " + Quote(value));
            auto& field = a_.displays.empty() ? a_.model : a_.displays.back().model;
            if (field) return error(name + " given twice for one display");
            field = value;
        } else if (opt == O::Id) {
            int id = 0;
            if (!ParseInt(value, 0, 255, id)) return error(name + " wants a monitor ID from 0 to 255, not " + Quote(value));
            a_.displays.push_back({id, std::nullopt});
        } else if (opt == O::List) {
            if (value.empty()) return error(name + " needs a file name");
            a_.lists.push_back(value);
        }
        return true;
    }

    std::optional<Args> finish() {
        switch (a_.sub) {
            case Sub::Scan:
                if (a_.ranges.empty() && !a_.local)
                    return fail("'scan' needs --range A.B.C.0/24 or FIRST-LAST, or --local for this computer's subnet");
                if (!a_.ranges.empty() && a_.local) return fail("'scan' takes --range or --local, not both");
                break;
            case Sub::Search:
                if (!a_.port) return fail("'search' needs --port DEVICE, the RS-232 line");
                if (!a_.model) return fail("'search' needs --model: it picks the identity query (A2 01 or A1 00)");
                if (a_.from > a_.to)
                    return fail("--from " + std::to_string(a_.from) + " comes after --to " + std::to_string(a_.to));
                break;
            case Sub::Check:
                if (!a_.port) return fail("'check' needs --port DEVICE, the RS-232 line");
                if (a_.displays.empty() && a_.lists.empty())
                    return fail("'check' needs displays: --list FILE, or --id N --model MODEL");
                if (a_.model && a_.displays.empty()) return fail("--model before any --id needs an --id to belong to");
                for (const Display& d : a_.displays)
                    if (!d.model && !a_.model) return fail("display --id " + std::to_string(d.id) + " needs --model");
                break;
        }
        return a_;
    }

    Args a_;
    std::string* error_ = nullptr;
};

std::string Usage(Sub sub) {
    const std::string options = OptionSections(BitOf(sub));
    switch (sub) {
        case Sub::Scan:
            return std::string(
                       "Usage: dravikctl scan (--range RANGE ... | --local) [OUTPUT]\n"
                       "Finds displays as the pages' \"IP Scan\" does: each host of the range is tested\n"
                       "for presence (ICMP echo, then the neighbour table), and a present host is asked\n"
                       "over TCP port 5000 for its model with the identity queries, monitor ID 1 up to\n"
                       "the first that answers. Hosts are started 80 ms apart. One line per display\n"
                       "found: address, model, monitor ID.\n"
                       "Each display is printed as it is found. The scan ends when the window's would\n"
                       "say \"Scan Finished\" (80 ms per host, then 5 s); a host that took the\n"
                       "connection but told no model by then is listed with its outcome.\n"
                       "Exit status 0 when a display was found, 3 when none was (or no host could be\n"
                       "tested), 1 when some hosts could not be tested.\n"
                       "Example: dravikctl scan --range 192.168.10.0/24 --write-list MO_IP.log\n\n") +
                   options;
        case Sub::Search:
            return std::string(
                       "Usage: dravikctl search --port DEVICE --model MODEL [--from N] [--to M] [OUTPUT]\n"
                       "The Control page's monitor ID \"Search\": asks IDs N to M (default 1 to 25) on\n"
                       "the RS-232 line for their identity, each 500 ms (then 200 ms more) after the\n"
                       "query, and lists the IDs that answer with the model text they report (a\n"
                       "leading maker name removed). MODEL picks the identity query (A2 01 or A1 00).\n"
                       "Exit status 0 when an ID answered, 3 when none did or the line did not open,\n"
                       "1 when the model has no identity query.\n"
                       "Example: dravikctl search --port /dev/ttyUSB0 --model LM-55 --from 1 --to 40\n\n") +
                   options;
        case Sub::Check:
            return std::string(
                       "Usage: dravikctl check --port DEVICE (--list FILE | --id N --model MODEL ...) [OUTPUT]\n"
                       "The Control page's \"Check Monitor\": asks each display for its identity (600 ms,\n"
                       "then 500 ms more) and marks LINK Y when it answers with exactly its model name,\n"
                       "else N; 100 ms between displays. --list takes an RS-232 list file (MO_ID.log);\n"
                       "--model after --id belongs to that display, before the first --id to all.\n"
                       "--write-list saves the displays that answered with their model.\n"
                       "Exit status 0 when every display named its model, 3 when none could be\n"
                       "reached (the line did not open), 1 otherwise.\n"
                       "Example: dravikctl check --port /dev/ttyUSB0 --list MO_ID.log --format json\n\n") +
                   options;
    }
    return options;
}

// --- Results -------------------------------------------------------------------------------

struct Row {
    flows::RowResult result;
    std::string device;  // RS-232 line
    std::optional<bool> named;
};

// Model texts come as the display's bytes (Latin-1); the report holds UTF-8.
std::string Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

TargetResult ReportOf(const Row& row) {
    TargetResult r;
    r.row = row.result;
    r.row.target.model = Latin1(r.row.target.model);
    if (r.row.value.model) r.row.value.model = Latin1(*r.row.value.model);
    r.target = r.row.target;
    if (r.target.serial()) r.target.device = row.device;
    r.named = row.named;
    return r;
}

ReportStyle StyleOf(const Args& a) {
    ReportStyle style;
    style.kind = a.sub == Sub::Check ? RowKind::Checked : RowKind::Found;
    style.format = a.format;
    style.verbose = a.verbose;
    style.command = NameOf(a.sub);
    return style;
}

// Text, JSON lines and CSV print each display as it comes; JSON and the service discovery
// file print once at the end.
void PrintHead(const Args& a, std::ostream& out) { out << FormatHead(StyleOf(a), {}); }

void PrintRow(const Row& row, const Args& a, std::ostream& out) {
    out << FormatResult(ReportOf(row), StyleOf(a));
    out.flush();
}

void PrintTail(const std::vector<Row>& rows, const Args& a, bool ok, std::ostream& out) {
    std::vector<TargetResult> results;
    for (const Row& r : rows) results.push_back(ReportOf(r));
    out << FormatTail(StyleOf(a), results, {}, ok);
}

void Print(const std::vector<Row>& rows, const Args& a, bool ok, std::ostream& out) {
    PrintHead(a, out);
    for (const Row& r : rows) PrintRow(r, a, out);
    PrintTail(rows, a, ok, out);
}

// Saves the rows as a list file; the ID and address fields hold 2 and 15 characters, so a
// row that does not fit is left out with a warning.
bool WriteList(const std::string& path, const std::vector<targets::Target>& rows, bool serial, std::ostream& err) {
    targets::RecordFile file;
    file.headerRead = true;
    file.header = targets::HeaderRecord::FromValues(1, 1, false);
    for (const targets::Target& t : rows) {
        if (t.id.size() > targets::kMaxIdChars || t.address.size() > targets::kMaxAddressChars) {
            err << "dravikctl: " << t.label() << " does not fit a list file row (IDs up to 99); left out of "
                << Quote(path) << '\n';
            continue;
        }
        targets::DeviceRecord d;
        d.model = t.model.substr(0, targets::kMaxModelChars);
        d.id = t.id;
        if (!serial) d.address = t.address;
        file.devices.push_back(std::move(d));
    }
    const auto mode = serial ? targets::RecordMode::Serial : targets::RecordMode::Lan;
    const protocol::Bytes bytes = targets::EncodeRecords(file, mode, targets::RecordKind::List);
    QSaveFile save(QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size())));
    if (!save.open(QIODevice::WriteOnly) ||
        save.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !save.commit()) {
        err << "dravikctl: cannot write the list file " << Quote(path) << '\n';
        return false;
    }
    return true;
}

// --- scan ----------------------------------------------------------------------------------

// The scan's identity connections, watched: which hosts took the connection on port 5000,
// the frames each was sent and its last reply. A display's row lists them, and a host that
// did not tell its model by the end of the scan is named with its outcome.
class WatchedIdentity final : public discovery::IdentityClient {
public:
    struct Host {
        std::vector<protocol::Frame> sent;
        protocol::Bytes reply;
    };

    explicit WatchedIdentity(std::shared_ptr<discovery::IdentityClient> inner) : inner_(std::move(inner)) {}

    std::unique_ptr<discovery::IdentitySession> Connect(const std::string& address, std::uint16_t port,
                                                        std::chrono::milliseconds timeout,
                                                        const discovery::StopSignal& stop) override {
        auto session = inner_->Connect(address, port, timeout, stop);
        if (!session) return nullptr;
        {
            std::lock_guard lock(mutex_);
            hosts_[address];
        }
        // The probe thread holds the backends, and so this client, for as long as the session.
        return std::make_unique<Session>(*this, address, std::move(session));
    }

    std::map<std::string, Host> hosts() const {
        std::lock_guard lock(mutex_);
        return hosts_;
    }

private:
    class Session final : public discovery::IdentitySession {
    public:
        Session(WatchedIdentity& owner, std::string address, std::unique_ptr<discovery::IdentitySession> inner)
            : owner_(owner), address_(std::move(address)), inner_(std::move(inner)) {}
        protocol::Bytes Exchange(const protocol::Frame& query, std::chrono::milliseconds timeout,
                                 const discovery::StopSignal& stop) override {
            owner_.sent(address_, query);
            protocol::Bytes reply = inner_->Exchange(query, timeout, stop);
            if (!reply.empty()) owner_.replied(address_, reply);
            return reply;
        }

    private:
        WatchedIdentity& owner_;
        std::string address_;
        std::unique_ptr<discovery::IdentitySession> inner_;
    };

    void sent(const std::string& address, const protocol::Frame& frame) {
        std::lock_guard lock(mutex_);
        hosts_[address].sent.push_back(frame);
    }
    void replied(const std::string& address, const protocol::Bytes& reply) {
        std::lock_guard lock(mutex_);
        hosts_[address].reply = reply;
    }

    std::shared_ptr<discovery::IdentityClient> inner_;
    mutable std::mutex mutex_;
    std::map<std::string, Host> hosts_;
};

Row LanRow(const std::string& address, const WatchedIdentity::Host& host) {
    Row row;
    row.result.target.interface = targets::Interface::Lan;
    row.result.target.address = address;
    row.result.framesSent = host.sent;
    row.result.reply = host.reply;
    return row;
}

// Prints each display as the scan finds it, in the streaming formats.
class ScanPrinter final : public discovery::ScanSink {
public:
    ScanPrinter(const Args& a, const WatchedIdentity& watch, std::ostream& out) : a_(a), watch_(watch), out_(out) {}

    void OnScanResult(discovery::FoundDisplay f) override {
        Row row = LanRow(f.address, watch_.hosts()[f.address]);
        row.result.target.model = f.model;
        row.result.target.id = std::to_string(f.monitorId);
        row.result.outcome = Outcome::Replied;
        row.result.value.model = f.model;
        PrintRow(row, a_, out_);
        found.push_back(std::move(row));
    }
    void OnScanError() override { ++errors; }
    void OnScanFinished() override { rangeDone = true; }
    // Every host of the range dealt with: nothing more can be found.
    void OnScanProgress(int probed, int total) override { rangeDone = rangeDone || probed >= total; }

    std::vector<Row> found;
    int errors = 0;
    bool rangeDone = false;

private:
    const Args& a_;
    const WatchedIdentity& watch_;
    std::ostream& out_;
};

std::uint32_t AddressKey(const std::string& address) {
    const auto ip = ParseIPv4(address);
    return ip ? static_cast<std::uint32_t>((*ip)[0]) << 24 | static_cast<std::uint32_t>((*ip)[1]) << 16 |
                    static_cast<std::uint32_t>((*ip)[2]) << 8 | static_cast<std::uint32_t>((*ip)[3])
              : 0;
}

int RunScan(const Args& a, const DiscoveryEnvironment& env, std::ostream& out, std::ostream& err) {
    std::vector<ScanRange> ranges = a.ranges;
    if (a.local) {
        targets::SystemAddressLookup system;
        targets::LocalAddressLookup& lookup = env.localAddress ? *env.localAddress : system;
        const targets::LocalAddress local = targets::LookUpLocalAddress(lookup);
        std::string why;
        const auto range = local.usable ? ParseScanRange(local.shown.toStdString() + "/24", why) : std::nullopt;
        if (!range) {
            err << "dravikctl: --local: this computer has no usable IPv4 address (found "
                << Quote(local.shown.toStdString()) << ")\n";
            return kExitNothingReached;
        }
        ranges.push_back(*range);
    }
    discovery::ScanBackends backends = env.scanBackends ? env.scanBackends() : discovery::SystemScanBackends();
    const auto watch = std::make_shared<WatchedIdentity>(backends.identity);
    backends.identity = watch;
    ScanPrinter sink(a, *watch, out);
    PrintHead(a, out);
    int hosts = 0;
    for (const ScanRange& range : ranges) {
        discovery::ScanOptions options = env.scanOptions;
        options.firstHost = range.first;
        options.lastHost = range.last;
        hosts += discovery::HostCount(options);
        sink.rangeDone = false;
        discovery::LanScanner scanner(sink, backends, options);
        // The window's scan says "Scan Finished" one spacing per host plus the finish delay
        // after the press; a host that is still being asked for its identity then (one that
        // takes the connection and never answers) keeps nothing running past it.
        const auto deadline = std::chrono::steady_clock::now() + discovery::HostCount(options) * options.probeSpacing +
                              options.finishDelay;
        if (!scanner.Start(range.prefix + std::to_string(range.first))) {
            err << "dravikctl: the scan of " << range.prefix << range.first << "-" << range.last << " could not start\n";
            return kExitNothingReached;
        }
        // The probes hand their reports to this thread through its event queue.
        while (scanner.Busy() && !sink.rangeDone && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds{2});
        }
        QCoreApplication::processEvents();
        scanner.Cancel();  // the destructor joins the probes, each within its stop check
    }
    const auto byAddress = [](const Row& x, const Row& y) {
        return AddressKey(x.result.target.address) < AddressKey(y.result.target.address);
    };
    // Hosts that took the connection but told no model: not a display as far as the scan
    // knows (a web server on port 5000, or a display still silent when the time was up).
    std::vector<Row> unnamed;
    for (const auto& [address, host] : watch->hosts()) {
        if (std::any_of(sink.found.begin(), sink.found.end(),
                        [&](const Row& r) { return r.result.target.address == address; }))
            continue;
        Row row = LanRow(address, host);
        // What its last reply was (none, not a reply frame, ...); a well-formed frame that
        // carried no model counts as "not available".
        const Outcome outcome = flows::rules::ClassifyReply(host.reply);
        row.result.outcome = flows::Succeeded(outcome) ? Outcome::Nav : outcome;
        unnamed.push_back(std::move(row));
    }
    std::sort(unnamed.begin(), unnamed.end(), byAddress);
    for (const Row& r : unnamed) PrintRow(r, a, out);

    std::vector<Row> rows = sink.found;
    std::sort(rows.begin(), rows.end(), byAddress);
    std::vector<targets::Target> found;
    for (const Row& r : rows) found.push_back(r.result.target);
    rows.insert(rows.end(), unnamed.begin(), unnamed.end());
    PrintTail(rows, a, !found.empty() && sink.errors == 0, out);
    if (sink.errors > 0) err << "dravikctl: " << sink.errors << " of " << hosts << " hosts could not be tested (SCAN ERROR)\n";
    if (a.writeList && !WriteList(*a.writeList, found, false, err)) return kExitFailed;
    if (found.empty()) return kExitNothingReached;
    return sink.errors > 0 ? kExitFailed : kExitOk;
}

// --- search and check ----------------------------------------------------------------------

// What a script sees of the events: the boxes' texts go to standard error when they tell of
// a failure; the rest is in the results.
class ConsoleObserver final : public discovery::SerialDiscoveryObserver {
public:
    void refused(const std::string& model) override { refusals.push_back(model); }
    std::vector<std::string> refusals;
};

bool OpenLine(transport::SerialPort& port, const std::string& device, Outcome& outcome, std::string& text) {
    if (port.open(QString::fromLocal8Bit(device.data(), static_cast<qsizetype>(device.size()))) ==
        transport::OpenResult::Opened)
        return true;
    switch (port.lastReason()) {
        case transport::OpenReason::PermissionDenied: outcome = Outcome::PermissionDenied; break;
        case transport::OpenReason::InUse: outcome = Outcome::PortBusy; break;
        default: outcome = Outcome::PortClosed; break;
    }
    text = port.lastReasonText().toStdString();
    return false;
}

int RunSearch(const Args& a, const DiscoveryEnvironment& env, std::ostream& out, std::ostream& err) {
    transport::SerialPort port;
    Outcome failure = Outcome::PortClosed;
    std::string why;
    if (!OpenLine(port, *a.port, failure, why)) {
        err << "dravikctl: cannot open " << Quote(*a.port) << ": " << flows::OutcomeName(failure)
            << (why.empty() ? "" : " (" + why + ")") << '\n';
        return kExitNothingReached;
    }
    transport::SerialLink link(port);
    discovery::SearchRequest request;
    request.options = env.serialOptions;
    request.model = *a.model;
    request.firstId = a.from;
    request.lastId = a.to;
    ConsoleObserver observer;
    const discovery::SearchRun run = discovery::RunIdSearch(request, link, observer);
    if (!run.ran) {
        if (run.refusal == Outcome::RefusedForModel) {
            err << "dravikctl: " << *a.model << " has no identity query; nothing sent\n";
            return kExitFailed;
        }
        err << "dravikctl: the line " << Quote(*a.port) << " closed\n";
        return kExitNothingReached;
    }
    std::vector<Row> rows;
    std::vector<targets::Target> found;
    for (const flows::RowResult& r : run.ids) {
        if (!r.value.model && !a.verbose) continue;
        Row row;
        row.result = r;
        row.device = *a.port;
        if (r.value.model) {
            row.result.target.model = *r.value.model;
            found.push_back(row.result.target);
        }
        rows.push_back(std::move(row));
    }
    // With -v every ID asked is shown; without it only those that answered.
    Print(rows, a, !found.empty(), out);
    if (a.writeList && !WriteList(*a.writeList, found, true, err)) return kExitFailed;
    return found.empty() ? kExitNothingReached : kExitOk;
}

// The RS-232 rows of list files: monitor ID and model of each record.
bool LoadSerialList(const std::string& path, std::vector<targets::Target>& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the list file " + Quote(path);
        return false;
    }
    constexpr std::size_t kLimit = 1 << 20;
    protocol::Bytes bytes;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kLimit) {
            error = Quote(path) + " is too large for a list file";
            return false;
        }
    }
    const targets::RecordFile file = targets::DecodeRecords(bytes);
    int row = 0;
    for (const targets::DeviceRecord& d : file.devices) {
        ++row;
        int id = 0;
        if (!ParseInt(d.id, 0, 255, id)) {
            error = Quote(path) + " row " + std::to_string(row) + " (id): " + Quote(d.id) + " is not a monitor ID from 0 to 255";
            return false;
        }
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = std::to_string(id);
        t.model = d.model;
        out.push_back(std::move(t));
    }
    return true;
}

int RunCheck(const Args& a, const DiscoveryEnvironment& env, std::ostream& out, std::ostream& err) {
    discovery::CheckRequest request;
    request.options = env.serialOptions;
    // Every list row is checked before anything is sent.
    for (const std::string& path : a.lists) {
        std::string error;
        if (!LoadSerialList(path, request.targets, error)) {
            err << "dravikctl: " << error << '\n';
            return kExitUsage;
        }
    }
    for (const Display& d : a.displays) {
        targets::Target t;
        t.interface = targets::Interface::Serial;
        t.id = std::to_string(d.id);
        t.model = d.model ? *d.model : *a.model;
        request.targets.push_back(std::move(t));
    }
    if (request.targets.empty()) {
        err << "dravikctl: no displays: the list files hold none\n";
        return kExitUsage;
    }
    transport::SerialPort port;
    Outcome failure = Outcome::PortClosed;
    std::string why;
    std::vector<Row> rows;
    if (!OpenLine(port, *a.port, failure, why)) {
        // Nothing can be asked: every display gets the line's failure.
        for (const targets::Target& t : request.targets) {
            Row row;
            row.result.target = t;
            row.result.outcome = failure;
            row.result.systemText = why;
            row.device = *a.port;
            row.named = false;
            rows.push_back(std::move(row));
        }
        Print(rows, a, false, out);
        return kExitNothingReached;
    }
    transport::SerialLink link(port);
    ConsoleObserver observer;
    const discovery::CheckRun run = discovery::RunMonitorCheck(request, link, observer);
    std::vector<targets::Target> named;
    bool all = true, none = true;
    for (const discovery::CheckedRow& c : run.rows) {
        Row row;
        row.result = c.result;
        row.device = *a.port;
        row.named = c.named;
        all = all && c.named;
        none = none && flows::Unreachable(c.result.outcome);
        if (c.named) named.push_back(c.result.target);
        rows.push_back(std::move(row));
    }
    Print(rows, a, all, out);
    if (a.writeList && !WriteList(*a.writeList, named, true, err)) return kExitFailed;
    if (all) return kExitOk;
    return none ? kExitNothingReached : kExitFailed;
}

}  // namespace

std::optional<ScanRange> ParseScanRange(std::string_view text, std::string& error) {
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const auto ip = ParseIPv4(text.substr(0, slash));
        if (!ip) {
            error = "wants A.B.C.0/24 or FIRST-LAST";
            return std::nullopt;
        }
        if (text.substr(slash + 1) != "24") {
            error = "only a /24 (hosts 1 to 254 of one subnet) is scanned at a time, not /" +
                    std::string(text.substr(slash + 1, 8));
            return std::nullopt;
        }
        return ScanRange{PrefixOf(*ip), discovery::kFirstHost, discovery::kLastHost};
    }
    const auto dash = text.find('-');
    const auto first = dash == std::string_view::npos ? std::nullopt : ParseIPv4(text.substr(0, dash));
    const auto last = dash == std::string_view::npos ? std::nullopt : ParseIPv4(text.substr(dash + 1));
    if (!first || !last) {
        error = "wants A.B.C.0/24 or FIRST-LAST";
        return std::nullopt;
    }
    if (PrefixOf(*first) != PrefixOf(*last)) {
        error = "a range stays within one /24 (the first three numbers of both ends alike)";
        return std::nullopt;
    }
    const int from = (*first)[3], to = (*last)[3];
    if (from < discovery::kFirstHost || to > discovery::kLastHost || from > to) {
        error = "the hosts run from 1 to 254, the first not after the last";
        return std::nullopt;
    }
    return ScanRange{PrefixOf(*first), from, to};
}

bool IsDiscoveryCommand(std::span<const std::string> args) {
    if (args.empty()) return false;
    if (args[0] == "help") return args.size() > 1 && SubFromName(args[1]).has_value();
    return SubFromName(args[0]).has_value();
}

int RunDiscoveryCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                        const DiscoveryEnvironment& env) {
    if (args.empty()) return kExitUsage;
    if (args[0] == "help") {
        out << Usage(*SubFromName(args[1]));
        return kExitOk;
    }
    std::string error;
    const std::optional<Args> parsed = Parser().run(args, error);
    if (!parsed) {
        err << "dravikctl: " << error << '\n';
        return kExitUsage;
    }
    const Args& a = *parsed;
    if (a.help) {
        out << Usage(a.sub);
        return kExitOk;
    }
    switch (a.sub) {
        case Sub::Scan: return RunScan(a, env, out, err);
        case Sub::Search: return RunSearch(a, env, out, err);
        case Sub::Check: return RunCheck(a, env, out, err);
    }
    return kExitUsage;
}

}  // namespace dravik::ctl
