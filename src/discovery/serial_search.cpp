#include "discovery/serial_search.h"

#include <algorithm>

namespace dravik::discovery {

namespace {

using flows::Outcome;
using flows::RowResult;
using protocol::Byte;
using transport::Millis;

// Identity replies are bytes taken one per character.
QString TextOf(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
std::string BytesOf(const QString& text) { return text.toLatin1().toStdString(); }

transport::ReplyRule SearchRule(const SerialDiscoveryOptions& o) {
    return flows::rules::SerialIdentity(Millis{o.searchFirstWaitMs}, Millis{o.searchSecondWaitMs});
}
transport::ReplyRule CheckRule(const SerialDiscoveryOptions& o) {
    return flows::rules::SerialIdentity(Millis{o.checkFirstWaitMs}, Millis{o.checkSecondWaitMs});
}

// What the bytes that came are; a reply that carries the identity text counts as answered
// even where its length byte does not describe it (the text is all that is asked for).
Outcome OutcomeOfReply(std::span<const Byte> reply, int textLimit) {
    if (protocol::IsTextReply(reply, textLimit)) return Outcome::Replied;
    return flows::rules::ClassifyReply(reply);
}

// A line that failed under the exchange: the walk cannot go on.
bool LineGone(const transport::ExchangeResult& r) {
    return r.status.error == transport::LinkError::PortClosed || r.status.error == transport::LinkError::WriteFailed;
}

}  // namespace

protocol::IdentityModels IdentityModelsOf(SerialPage page) {
    return page == SerialPage::Wall ? protocol::IdentityModels::Wall : protocol::IdentityModels::All;
}

SerialDiscoveryOptions ControlPageSerialOptions() { return {}; }

SerialDiscoveryOptions WallPageSerialOptions() {
    namespace r = flows::rules;
    SerialDiscoveryOptions o;
    o.page = SerialPage::Wall;
    o.searchTextLimit = r::kWallSearchTextLimit;
    o.searchSecondWaitMs = static_cast<int>(r::kWallSearchSecondWait.count());
    o.stripMakerName = false;
    o.requireSelectedModel = true;
    o.checkFirstWaitMs = static_cast<int>(r::kWallCheckFirstWait.count());
    o.checkPauseMs = static_cast<int>(r::kWallCheckPause.count());
    o.checkShowsReply = false;
    return o;
}

std::optional<std::string> SearchListing(std::span<const Byte> reply, const std::string& selectedModel,
                                         const SerialDiscoveryOptions& options) {
    if (!protocol::IsTextReply(reply, options.searchTextLimit)) return std::nullopt;
    const std::string text = protocol::IdentityText(reply, options.searchTextLimit);
    if (options.requireSelectedModel) {
        if (text != selectedModel) return std::nullopt;
        return selectedModel;
    }
    // An empty text is still an answer from that ID.
    return options.stripMakerName ? protocol::StripMakerName(text) : text;
}

std::optional<QString> SearchRowText(std::span<const Byte> reply, const QString& selectedModel,
                                     const SerialDiscoveryOptions& options) {
    const auto text = SearchListing(reply, BytesOf(selectedModel), options);
    if (!text) return std::nullopt;
    return TextOf(*text);
}

bool ReplyNames(std::span<const Byte> reply, const std::string& model) {
    // A reply without text names no model, not even an empty one. Whole, case-sensitive:
    // "LM-55 " is not "LM-55".
    if (model.empty() || !protocol::IsTextReply(reply, flows::rules::kCheckTextLimit)) return false;
    return protocol::IdentityText(reply, flows::rules::kCheckTextLimit) == model;
}

bool ReplyNamesModel(std::span<const Byte> reply, const QString& model) {
    return ReplyNames(reply, BytesOf(model));
}

SearchRun RunIdSearch(const SearchRequest& request, transport::Link& serial, SerialDiscoveryObserver& observer) {
    SearchRun run;
    const SerialDiscoveryOptions& options = request.options;
    if (!serial.open(std::string()).ok()) {
        run.refusal = Outcome::PortClosed;
        observer.notice({flows::Notice::Kind::PortClosed, {}});
        observer.exchangeEnded();
        return run;
    }
    observer.status(flows::StatusText::Search);
    // The model is taken once: the rows are matched against what was selected at the press.
    const auto form = protocol::IdentityFormFor(IdentityModelsOf(options.page), request.model);
    // A refused model leaves the list as it was and sends nothing.
    if (!form) {
        run.refusal = Outcome::RefusedForModel;
        observer.refused(request.model);
        return run;
    }
    run.ran = true;
    const int total = std::max(0, request.lastId - request.firstId + 1);
    observer.searchStarted(total);

    protocol::Frame query = protocol::BuildIdentityQuery(*form, 0);
    const transport::ReplyRule rule = SearchRule(options);
    int asked = 0;
    // The stop comes between IDs: the one being asked is read to its end, so its answer is
    // not left on the line for the next exchange.
    for (int id = request.firstId; id <= request.lastId && !observer.stopRequested(); ++id) {
        query.SetMonitorId(static_cast<Byte>(id));
        const transport::ExchangeResult r = serial.exchange(query.bytes(), rule);
        observer.searchProgress(++asked, total);

        RowResult row;
        row.target.interface = targets::Interface::Serial;
        row.target.id = std::to_string(id);
        row.target.model = request.model;
        if (r.written) row.framesSent.push_back(query);
        row.reply = r.reply;
        row.systemText = r.status.systemText;
        row.outcome = r.status.ok() ? OutcomeOfReply(r.reply, options.searchTextLimit)
                                    : flows::rules::OutcomeOf(r.status.error);
        if (const auto listed = SearchListing(r.reply, request.model, options)) {
            row.value.model = *listed;
            FoundId found{id, *listed};
            observer.found(found);
            run.found.push_back(std::move(found));
        }
        const bool gone = LineGone(r);
        run.ids.push_back(std::move(row));
        if (gone) break;
    }
    observer.searchEnded();
    observer.status(flows::StatusText::None);
    observer.notice({flows::Notice::Kind::SearchEnded, {}});
    return run;
}

namespace {

CheckedRow CheckRow(const CheckRequest& request, int index, transport::Link& serial,
                    SerialDiscoveryObserver& observer) {
    const SerialDiscoveryOptions& options = request.options;
    CheckedRow out;
    RowResult& row = out.result;
    row.target = request.targets[static_cast<std::size_t>(index)];
    observer.rowStarted(index);

    const auto form = protocol::IdentityFormFor(IdentityModelsOf(options.page), row.target.model);
    if (!form) {
        row.outcome = Outcome::RefusedForModel;
        observer.refused(row.target.model);
        return out;
    }
    protocol::Frame query = protocol::BuildIdentityQuery(*form, 0);
    protocol::AddressAndSeal(query, row.target.id);
    observer.frameSealed(index, query);

    // Nobody can answer through a closed line: no point in waiting for it.
    const transport::LinkStatus open = serial.open(std::string());
    if (!open.ok()) {
        row.outcome = flows::rules::OutcomeOf(open.error);
        row.systemText = open.systemText;
        return out;
    }
    observer.status(flows::StatusText::Send);
    const transport::ExchangeResult r = serial.exchange(query.bytes(), CheckRule(options));
    if (r.written) row.framesSent.push_back(query);
    row.reply = r.reply;
    row.systemText = r.status.systemText;
    if (!r.status.ok()) {
        row.outcome = flows::rules::OutcomeOf(r.status.error);
    } else {
        row.outcome = OutcomeOfReply(r.reply, flows::rules::kCheckTextLimit);
    }
    if (!r.reply.empty()) {
        observer.replyReceived(index, r.reply);
        if (protocol::IsTextReply(r.reply, flows::rules::kCheckTextLimit)) {
            row.value.model = protocol::IdentityText(r.reply, flows::rules::kCheckTextLimit);
        }
        out.named = ReplyNames(r.reply, row.target.model);
    }
    observer.status(flows::StatusText::None);
    return out;
}

}  // namespace

CheckRun RunMonitorCheck(const CheckRequest& request, transport::Link& serial, SerialDiscoveryObserver& observer) {
    CheckRun run;
    observer.commandStarted();
    const int count = static_cast<int>(request.targets.size());
    if (count <= 0) {
        observer.nothingToAddress();
        observer.notice({flows::Notice::Kind::ListEmpty, {}});
        return run;
    }
    const auto check = [&](int index) {
        CheckedRow row = CheckRow(request, index, serial, observer);
        observer.rowChecked(index, row.result, row.named);
        run.rows.push_back(std::move(row));
    };
    if (request.selected >= 0 && request.selected < count) {
        check(request.selected);
        return run;
    }
    transport::Clock& clock = request.clock ? *request.clock : transport::RealClock();
    for (int index = 0; index < count; ++index) {
        if (index > 0 && observer.stopRequested()) break;
        check(index);
        clock.wait(Millis{request.options.checkPauseMs});
    }
    return run;
}

}  // namespace dravik::discovery
