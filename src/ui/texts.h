// Texts the exchanges show, exactly as the operator has always seen them (blanks included).
#pragma once

#include "transport/serial_port.h"

#include <QString>

namespace dravik::ui::texts {

inline const QString kConnecting = QStringLiteral("Connecting...");
inline const QString kSending = QStringLiteral("Sending...");
inline const QString kSend = QStringLiteral("Send.....");

inline const QString kSelectOneMonitor = QStringLiteral("Please Select One Monitor");

inline const QString kPortClosed = QStringLiteral("COM Port Closed ");
inline const QString kOpenComError = QStringLiteral(" OPEN COM ERROR !");
inline const QString kOpeningError = QStringLiteral("COM Port Opening Error ");
inline const QString kTimeoutsError = QStringLiteral("COM Port SetCommTimeouts Error ");
inline const QString kGetStateError = QStringLiteral("COM Port GetCommstate Error ");
inline const QString kSetStateError = QStringLiteral("COM Port setCommstate Error ");

// " no receive Data from ID: 3 Monitor"
inline QString NoReceiveData(const QString& id) {
    return QStringLiteral(" no receive Data from ID: ") + id + QStringLiteral(" Monitor");
}

// "LX-24 No This Function or unsupported !\r\n"
inline QString Refusal(const QString& model) {
    return model + QStringLiteral(" No This Function or unsupported !\r\n");
}

}  // namespace dravik::ui::texts

namespace dravik::ui {

// What the operator is told when a port did not open.
inline QString OpenResultText(transport::OpenResult result) {
    switch (result) {
        case transport::OpenResult::Opened: return QString();
        case transport::OpenResult::NoSuchPort: return texts::kOpenComError;
        case transport::OpenResult::OpeningError: return texts::kOpeningError;
        case transport::OpenResult::TimeoutsError: return texts::kTimeoutsError;
        case transport::OpenResult::GetStateError: return texts::kGetStateError;
        case transport::OpenResult::SetStateError: return texts::kSetStateError;
    }
    return texts::kOpeningError;
}

}  // namespace dravik::ui
