// What both pages do to run a flow off the window thread: carry the flow's events to the page
// in order, hand the open COM port to the worker and back, and show the row in flight.
#pragma once

#include "flows/control_flow.h"
#include "flows/flow_worker.h"
#include "targets/target.h"
#include "pages/page_run.h"
#include "transport/frame_buffers.h"
#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"
#include "transport/trace_link.h"

#include <QProgressBar>
#include <QThread>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dravik::pages {

// Posts (in order) or calls (and waits for) a function of the page on the page's thread.
template <typename Page>
class FlowBridge {
public:
    FlowBridge(Page& page, flows::FlowWorker& worker) : page_(page), worker_(worker) {}

    template <typename Fn>
    void post(Fn fn) {
        Page* page = &page_;
        worker_.post([page, fn = std::move(fn)] { fn(*page); });
    }
    template <typename Fn>
    void call(Fn fn) {
        Page* page = &page_;
        worker_.call([page, &fn] { fn(*page); });
    }
    bool stopRequested() const { return worker_.stopRequested(); }

private:
    Page& page_;
    flows::FlowWorker& worker_;
};

// "n of N" rows of a walk in the page's progress bar.
inline void ShowProgress(QProgressBar* bar, int done, int total) {
    if (!bar) return;
    bar->setRange(0, std::max(1, total));
    bar->setValue(std::min(done, std::max(1, total)));
    bar->setFormat(QStringLiteral("%v of %m"));
    bar->setTextVisible(true);
}

// Runs `job` on the worker with the links a page's flow uses: a LAN link whose waits end when
// the page stops the flow or goes away, and the page's COM port, which goes to the worker for
// the job and comes back with its end; both traced. Then `done` on the page's thread. False
// when a job still runs.
inline bool StartWithLinks(flows::FlowWorker& worker, transport::SerialPort& port, QThread* home,
                           std::function<void(const flows::ControlLinks&)> job, std::function<void()> done) {
    if (worker.running()) return false;
    port.moveToThread(worker.thread());
    transport::SerialPort* p = &port;
    flows::FlowWorker* w = &worker;
    const bool started = worker.start(
        [p, w, home, job = std::move(job)] {
            transport::LanLinkOptions options;
            options.cancelled = [w] { return w->stopRequested(); };
            transport::LanLink lan(options);
            transport::SerialLink serial(*p);
            transport::TraceLinkObserver lanTrace(transport::TraceChannel::Lan);
            transport::TraceLinkObserver serialTrace(transport::TraceChannel::Serial);
            lan.setObserver(&lanTrace);
            serial.setObserver(&serialTrace);
            job({&lan, &serial});
            p->moveToThread(home);
        },
        std::move(done));
    if (!started) port.moveToThread(home);
    return started;
}

// A serial discovery job (ID search, monitor check) on the page's worker with the COM port
// handed over: the page is busy from the press until `done` has run on the window thread, and
// "Stop" is offered only meanwhile.
template <typename StopView>
void StartSerialJob(PageRun& run, std::optional<FlowGuard>& guard, StopView& stop, flows::FlowWorker& worker,
                    transport::SerialPort& port, QThread* home, const std::function<void(transport::Link&)>& job,
                    std::function<void()> done) {
    guard.emplace(run);
    stop.clearStopRequest();
    const bool started = StartWithLinks(
        worker, port, home, [job](const flows::ControlLinks& links) { job(*links.serial); },
        [&guard, &stop, done = std::move(done)] {
            stop.setStopEnabled(false);
            stop.clearStopRequest();
            if (done) done();
            guard.reset();
        });
    if (!started) guard.reset();
}

}  // namespace dravik::pages
