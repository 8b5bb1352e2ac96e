// The Control page's view of a running flow: the observer that carries the flow's events
// from the worker thread to the page, in order.
#pragma once

#include "flows/control_flow.h"
#include "flows/flow_worker.h"
#include "pages/control/control_page.h"
#include "pages/page_flow.h"
#include "pages/page_run.h"
#include "ui/texts.h"

namespace dravik::pages {

// Called on the worker thread; every event is carried to the page's thread in order.
class ControlPage::FlowView final : public flows::ControlObserver {
public:
    FlowView(ControlPage& page, flows::FlowWorker& worker) : bridge_(page, worker) {}

    void commandStarted() override { post([](ControlPage& p) { p.setTxText(QString()); }); }
    void queryStarted() override { post([](ControlPage& p) { p.setMessageLine(QString()); }); }
    void nothingToAddress() override { post([](ControlPage& p) { p.feedback().beep(); }); }
    void status(flows::StatusText text) override {
        post([text](ControlPage& p) { p.setStatus(ui::StatusLineText(text)); });
    }
    void rowStarted(int index) override { post([index](ControlPage& p) { p.markRowInFlight(index); }); }
    void frameSealed(int, const protocol::Frame& frame) override {
        post([frame](ControlPage& p) {
            p.frame_ = frame;
            if (!p.showFlag()) return;
            p.setTxText(transport::HexSpaced(frame.bytes()));
            p.writeChanged();
        });
    }
    // The receive box empties for a new exchange; the values shown catch up, except before a
    // pre-read.
    void replyAwaited(flows::ExchangeKind kind) override {
        const bool refresh = kind != flows::ExchangeKind::PreRead;
        post([refresh](ControlPage& p) {
            p.setRxText(QString());
            if (refresh) p.writeChanged();
        });
    }
    void valuesChanged(const protocol::DisplayValues& values) override {
        post([values](ControlPage& p) { p.values_ = values; });
    }
    // A send's acknowledge shows packed ("%02X" per byte) and a query's or pre-read's reply
    // spaced; a status query's reply shows whatever the Show flag says.
    void replyTaken(std::span<const protocol::Byte> reply, flows::ExchangeKind kind) override {
        const bool packed = kind == flows::ExchangeKind::Send;
        const bool always = kind == flows::ExchangeKind::Query;
        post([bytes = protocol::Bytes(reply.begin(), reply.end()), packed, always](ControlPage& p) {
            p.reply_.assign(bytes);
            if (!always && !p.showFlag()) return;
            p.setRxText(packed ? transport::HexPacked(bytes) : transport::HexSpaced(bytes));
            p.writeChanged();
        });
    }
    void linkMarked(int index, bool up) override {
        post([index, up](ControlPage& p) {
            p.setCellText(index, kColLink, up ? QStringLiteral("Y") : QStringLiteral("N"));
        });
    }
    void notice(const flows::Notice& notice) override {
        call([text = ui::NoticeText(notice)](ControlPage& p) { p.feedback().message(text); });
    }
    void refused(const std::string& model) override {
        call([model = QString::fromStdString(model)](ControlPage& p) { RefuseCommand(p, model); });
    }
    void decoded(const protocol::DisplayValues& values, const protocol::DecodeResult& result) override {
        post([values, result](ControlPage& p) {
            p.values_ = values;
            if (!result.messageLine.empty()) p.setMessageLine(QString::fromStdString(result.messageLine));
            if (result.refresh) p.writeChanged();
        });
    }
    void exchangeEnded() override { post([](ControlPage& p) { p.focusTargetList(); }); }
    void rowFinished(const flows::RowResult&, int) override {
        post([](ControlPage& p) {
            p.markRowInFlight(-1);
            p.rowDone();
        });
    }
    bool stopRequested() override { return bridge_.stopRequested(); }

private:
    template <typename Fn>
    void post(Fn fn) {
        bridge_.post(std::move(fn));
    }
    template <typename Fn>
    void call(Fn fn) {
        bridge_.call(std::move(fn));
    }

    FlowBridge<ControlPage> bridge_;
};

}  // namespace dravik::pages
