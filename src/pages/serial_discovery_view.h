// A page's view of a running monitor ID "Search" or "Check Monitor": the observer that
// carries the events from the worker thread to the page, in order, and turns them into the
// rows, LINK cells, status texts, echo, boxes, progress and "Stop" the operator has always
// seen. Both pages start them through it (StartSearch, StartCheck) and differ only in their
// options (the refusal, the receive box).
#pragma once

#include "pages/discovery_view.h"
#include "discovery/serial_search.h"
#include "flows/flow_worker.h"
#include "pages/page_flow.h"
#include "protocol/identity.h"
#include "pages/page_run.h"
#include "pages/wall/wall_texts.h"
#include "ui/texts.h"

#include <functional>
#include <memory>

namespace dravik::pages {

// `Page` is a page (cells, status, echo, feedback) with markRowInFlight(int), frame_ and reply_, and declares
// this class its friend.
template <typename Page>
class SerialDiscoveryView final : public discovery::SerialDiscoveryObserver {
public:
    // "Check Monitor": LINK "Y"/"N" for the selected row or every row, on the page's worker.
    static void StartCheck(Page& p, const discovery::SerialDiscoveryOptions& options) {
        // The button is disabled in LAN mode; there is nothing to verify over RS-232 there.
        if (p.lan_ || p.busy() || p.flowRunning()) return;
        auto request = std::make_shared<discovery::CheckRequest>();
        request->options = options;
        request->targets = p.rows_->targets();
        request->selected = p.selectedRow();
        const int rows = request->selected >= 0 && request->selected < p.rowCount() ? 1 : p.rowCount();
        SerialDiscoveryView& view = Of(p);
        view.prepare(request->options, rows);
        if (rows > 0) {
            p.discoveryView_->showProgress(0, rows);
            p.discoveryView_->setStopEnabled(true);
        }
        Start(p, [request, &view](transport::Link& serial) { discovery::RunMonitorCheck(*request, serial, view); },
              nullptr);
    }

    // The monitor ID "Search" for the model the page's combo shows, on the page's worker.
    static void StartSearch(Page& p, const discovery::SerialDiscoveryOptions& options) {
        if (p.lan_ || p.busy() || p.flowRunning()) return;
        auto request = std::make_shared<discovery::SearchRequest>();
        request->options = options;
        request->model = p.discoveryView_->selectedModel().toLatin1().toStdString();
        SerialDiscoveryView& view = Of(p);
        view.prepare(request->options, 0);
        auto ran = std::make_shared<bool>(false);
        Start(
            p, [request, ran, &view](transport::Link& serial) { *ran = discovery::RunIdSearch(*request, serial, view).ran; },
            [&p, ran] {
                // Only where the button belongs: the line may have gone away meanwhile.
                if (*ran) p.discoveryView_->setIdSearchEnabled(!p.lan_ && p.port_.isOpen());
            });
    }

    SerialDiscoveryView(Page& page, DiscoveryView& view, flows::FlowWorker& worker)
        : bridge_(page, worker), view_(&view) {}

    // Set before each run, on the page's thread, while no run is going on. `rows`: the rows
    // a check walks, for its "n of N" (0 for a search, which counts its own IDs).
    void prepare(const discovery::SerialDiscoveryOptions& options, int rows) {
        options_ = options;
        rows_ = rows;
        rowsDone_ = 0;
    }

    void status(flows::StatusText text) override {
        bridge_.post([text = ui::StatusLineText(text)](Page& p) { p.setStatus(text); });
    }
    void notice(const flows::Notice& notice) override {
        bridge_.call([text = ui::NoticeText(notice)](Page& p) { p.feedback().message(text); });
    }
    void refused(const std::string& model) override {
        const bool control = options_.page == discovery::SerialPage::Control;
        bridge_.call([control, model = QString::fromStdString(model)](Page& p) {
            if (control) {
                RefuseCommand(p, model);
            } else {
                p.feedback().message(wall_texts::Refusal(model));
            }
        });
    }
    void nothingToAddress() override {
        bridge_.post([](Page& p) { p.feedback().beep(); });
    }
    void exchangeEnded() override {
        bridge_.post([](Page& p) { p.focusTargetList(); });
    }
    void commandStarted() override {
        bridge_.post([](Page& p) { p.setTxText(QString()); });
    }

    void searchStarted(int total) override {
        DiscoveryView* view = view_;
        bridge_.post([view, total](Page& p) {
            view->removeAllRows();
            view->setIdSearchEnabled(false);
            view->showProgress(0, total);
            view->setStopEnabled(true);
            p.writeChanged();
        });
    }
    void searchProgress(int done, int total) override {
        DiscoveryView* view = view_;
        bridge_.post([view, done, total](Page&) { view->showProgress(done, total); });
    }
    void found(const discovery::FoundId& id) override {
        DiscoveryView* view = view_;
        const QString idText = QString::number(id.id);
        const QString model = QString::fromLatin1(id.model.data(), static_cast<qsizetype>(id.model.size()));
        bridge_.post([view, idText, model](Page&) {
            view->appendRow({idText, model, QStringLiteral("Y"), QStringLiteral("0"), idText});
        });
    }
    void searchEnded() override {
        DiscoveryView* view = view_;
        bridge_.post([view](Page&) { view->setStopEnabled(false); });
    }

    void rowStarted(int index) override {
        bridge_.post([index](Page& p) { p.markRowInFlight(index); });
    }
    void frameSealed(int, const protocol::Frame& frame) override {
        // The Control page with its Show flag; the wall page always.
        bridge_.post([frame](Page& p) {
            p.frame_ = frame;
            if (!p.showFlag()) return;
            p.setTxText(transport::HexSpaced(frame.bytes()));
            p.writeChanged();
        });
    }
    void replyReceived(int, std::span<const protocol::Byte> reply) override {
        const bool shows = options_.checkShowsReply;
        bridge_.post([shows, bytes = protocol::Bytes(reply.begin(), reply.end())](Page& p) {
            p.reply_.assign(bytes);
            if (!shows || !p.showFlag()) return;
            p.setRxText(transport::HexSpaced(bytes));
            p.writeChanged();
        });
    }
    void rowChecked(int index, const flows::RowResult&, bool named) override {
        DiscoveryView* view = view_;
        const int done = ++rowsDone_;
        const int total = rows_;
        bridge_.post([view, index, named, done, total](Page& p) {
            p.markRowInFlight(-1);
            // The list is the page's while the check runs, but never mark a row that is gone.
            if (index < p.rowCount()) {
                p.setCellText(index, kColLink, named ? QStringLiteral("Y") : QStringLiteral("N"));
            }
            view->showProgress(done, total);
        });
    }
    bool stopRequested() override { return bridge_.stopRequested(); }

private:
    // The page's view, made with its worker on first use.
    static SerialDiscoveryView& Of(Page& p) {
        if (!p.worker_) {
            p.worker_ = std::make_unique<flows::FlowWorker>(&p);
            p.flowView_ = std::make_unique<typename Page::FlowView>(p, *p.worker_);
        }
        if (!p.serialView_) p.serialView_ = std::make_unique<SerialDiscoveryView>(p, *p.discoveryView_, *p.worker_);
        return *p.serialView_;
    }

    // The page is busy from the press to the end: the worker holds the COM port meanwhile.
    static void Start(Page& p, const std::function<void(transport::Link&)>& job, std::function<void()> done) {
        StartSerialJob(p, p.flowGuard_, *p.discoveryView_, *p.worker_, p.port_, p.thread(), job,
                       [&p, done = std::move(done)] {
                           p.markRowInFlight(-1);
                           if (done) done();
                       });
    }

    FlowBridge<Page> bridge_;
    DiscoveryView* view_;
    discovery::SerialDiscoveryOptions options_;
    int rows_ = 0;
    int rowsDone_ = 0;  // counted on the worker, shown on the page
};

}  // namespace dravik::pages
