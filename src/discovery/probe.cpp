#include "discovery/probe.h"

#include "protocol/identity.h"

namespace dravik::discovery {

using protocol::BuildIdentityQuery;
using protocol::Byte;
using protocol::IdentityForm;

std::optional<IdentityAnswer> IdentifyDisplay(IdentitySession& session, const ScanOptions& options,
                                              const StopSignal& stop) {
    for (int id = options.firstMonitorId; id <= options.lastMonitorId; ++id) {
        if (stop.Stopped()) return std::nullopt;
        const Byte idByte = static_cast<Byte>(id);
        const auto first = session.Exchange(BuildIdentityQuery(IdentityForm::A2, idByte), options.identityTimeout, stop);
        auto model = protocol::ProbeModelText(first, [&] {
            return session.Exchange(BuildIdentityQuery(IdentityForm::A1, idByte), options.identityTimeout, stop);
        });
        if (model) return IdentityAnswer{std::move(*model), id};
    }
    return std::nullopt;
}

void RunProbe(const ScanRequest& request, const ScanBackends& backends, const ScanOptions& options,
              const StopSignal& stop, ProbeReporter& reporter) {
    const Presence presence = backends.presence->Test(request.address, options.echoTimeout, stop);
    if (stop.Stopped()) return;
    if (presence == Presence::Error) {
        reporter.Error();
        reporter.Probed();
        return;
    }
    if (presence == Presence::Present) {
        if (auto session = backends.identity->Connect(request.address, options.port, options.connectTimeout, stop)) {
            auto answer = IdentifyDisplay(*session, options, stop);
            if (answer && !stop.Stopped())
                reporter.Result(FoundDisplay{request.address, std::move(answer->model), answer->monitorId});
        }
    }
    if (stop.Stopped()) return;
    reporter.Probed();
    // The probe of the last host tells the page, a while later, that the scan is through.
    if (request.host < options.lastHost) return;
    const auto finishAt = request.finishAt.value_or(std::chrono::steady_clock::now() + options.finishDelay);
    if (stop.SleepUntil(finishAt)) reporter.Finished();
}

}  // namespace dravik::discovery
