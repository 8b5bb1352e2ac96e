// Texts the exchanges show, exactly as the operator has always seen them (blanks included).
#pragma once

#include <QString>

namespace dravik::transport::texts {

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

}  // namespace dravik::transport::texts
