// Links over the transport's connection and port classes: LAN over one LanLink connection per
// exchange, RS-232 over the page's SerialPort. Used from the thread that runs the flow.
#pragma once

#include "transport/lan.h"
#include "transport/link.h"
#include "transport/serial_port.h"

#include <memory>

namespace dravik::flows {

class BasicLanLink final : public transport::Link {
public:
    explicit BasicLanLink(const transport::LanOptions& options = {});
    ~BasicLanLink() override;
    transport::LinkStatus open(const std::string& address) override;
    transport::ExchangeResult exchange(std::span<const protocol::Byte> frame, const transport::ReplyRule& rule) override;
    void close() override;

private:
    transport::LanOptions options_;
    std::unique_ptr<transport::LanLink> connection_;
    std::string where_;
};

class BasicSerialLink final : public transport::Link {
public:
    explicit BasicSerialLink(transport::SerialPort& port) : port_(port) {}
    transport::LinkStatus open(const std::string& address) override;
    transport::ExchangeResult exchange(std::span<const protocol::Byte> frame, const transport::ReplyRule& rule) override;
    void close() override {}

private:
    transport::SerialPort& port_;
};

}  // namespace dravik::flows
