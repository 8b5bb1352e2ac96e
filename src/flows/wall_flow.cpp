#include "flows/wall_flow.h"

#include "transport/serial.h"

#include <algorithm>

namespace dravik::flows {

int ExchangeGainRequestSerial(transport::SerialPort& port, const protocol::Frame& frame, QByteArray& received,
                              const WaitFn& wait, const std::function<void()>& written) {
    received.clear();
    transport::DrainSerial(port);
    transport::WriteSerial(port, frame);
    if (written) written();
    if (wait) wait(kGainSerialFirstWaitMs);
    if (transport::ReadSerial(port, received) > 0) return static_cast<int>(received.size());
    if (wait) wait(kGainSerialSecondWaitMs);
    return std::max(0, transport::ReadSerial(port, received));
}

void ExchangeGainRequestLan(transport::LanLink& link, const protocol::Frame& frame, transport::ReplyBuffer& reply) {
    if (link.send(frame)) {
        link.receive(reply);
    } else {
        reply.clear();
    }
}

transport::FlowOptions WallFlowOptions(bool clearTx, bool ignoreSelection) {
    transport::FlowOptions options;
    options.clearTx = clearTx;
    options.ignoreSelection = ignoreSelection;
    options.selectedChosenInterfaceOnly = true;
    options.serialPause = transport::RowPause::Pumping;
    options.lanSend = [](transport::ExchangeContext& ctx, int row) { transport::SendLanWall(ctx, row); };
    options.serialSend = &transport::SendSerialWall;
    return options;
}

}  // namespace dravik::flows
