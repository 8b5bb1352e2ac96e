// A page stand-in for the exchanges: rows in memory and a record of what they showed.
#pragma once

#include "transport/exchange_context.h"
#include "transport/serial_port.h"

#include <QStringList>

#include <array>
#include <vector>

namespace dravik::transport::testing {

class RecordingFeedback : public Feedback {
public:
    void message(const QString& text) override { messages << text; }
    bool ask(const QString&) override { return true; }
    void beep() override { ++beeps; }
    QStringList messages;
    int beeps = 0;
};

class FakeContext : public ExchangeContext {
public:
    // Column 0 (IP address or monitor ID), model, ID; LINK starts as "0".
    void addRow(const QString& address, const QString& model, const QString& id = "1") {
        rows.push_back({address, model, "0", "", id});
    }
    QString link(int row) const { return cellText(row, kColLink); }

    bool lanMode() const override { return lan; }
    int rowCount() const override { return static_cast<int>(rows.size()); }
    int selectedRow() const override { return selected; }
    QString cellText(int row, int col) const override {
        return row >= 0 && row < rowCount() && col >= 0 && col < 5 ? rows[row][col] : QString();
    }
    void setCellText(int row, int col, const QString& text) override {
        if (row >= 0 && row < rowCount() && col >= 0 && col < 5) rows[row][col] = text;
    }
    void setStatus(const QString& text) override { statuses << (status = text); }
    void setTxText(const QString& text) override { tx = text; }
    QString txText() const override { return tx; }
    void setRxText(const QString& text) override { rxHistory << (rx = text); }
    bool showFlag() const override { return show; }
    void writeControls() override {}
    void focusTargetList() override { ++focuses; }
    void setMessageLine(const QString& text) override { messageLine = text; }
    Feedback& feedback() override { return fb; }
    protocol::Frame& frameBuffer() override { return frame; }
    ReplyBuffer& replyBuffer() override { return reply; }
    SerialPort& serialPort() override { return port; }
    bool decodeReply(const QString& model) override {
        decoded << model;
        return decoderAnswer;
    }

    std::vector<std::array<QString, 5>> rows;
    bool lan = true;
    int selected = -1;
    bool show = true;
    QString status = "untouched", tx, rx = "untouched", messageLine;
    QStringList statuses, rxHistory, decoded;
    int focuses = 0;
    bool decoderAnswer = true;
    RecordingFeedback fb;
    protocol::Frame frame;
    ReplyBuffer reply;
    SerialPort port;
};

}  // namespace dravik::transport::testing
