// Texts the exchanges show, exactly as the operator has always seen them (blanks included).
#pragma once

#include "flows/notice.h"
#include "transport/serial_port.h"

#include <QString>

namespace dravik::ui::texts {

inline const QString kConnecting = QStringLiteral("Connecting...");
inline const QString kSending = QStringLiteral("Sending...");
inline const QString kSend = QStringLiteral("Send.....");
inline const QString kSearching = QStringLiteral("Search.....");
inline const QString kSearchEnd = QStringLiteral(" Search End");
inline const QString kNoMonitorData = QStringLiteral("NO Monitor Data");
inline const QString kScanError = QStringLiteral(" SCAN ERROR ! ");
inline const QString kScanFinished = QStringLiteral("Scan Finished");
inline const QString kLanError = QStringLiteral(" LAN ERROR !! ");

inline const QString kSelectOneMonitor = QStringLiteral("Please Select One Monitor");
inline const QString kSelectOnlyOneDisplay = QStringLiteral(" Please select only one display!");
inline const QString kSelectOneDisplay = QStringLiteral(" Please select one display!");  // the wall page's

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

inline QString StatusLineText(flows::StatusText text) {
    switch (text) {
        case flows::StatusText::None: return QString();
        case flows::StatusText::Connecting: return texts::kConnecting;
        case flows::StatusText::Sending: return texts::kSending;
        case flows::StatusText::Send: return texts::kSend;
        case flows::StatusText::Search: return texts::kSearching;
    }
    return QString();
}

// A notice as the Control page words it (the wall page words the selections its own way).
inline QString NoticeText(const flows::Notice& notice) {
    switch (notice.kind) {
        case flows::Notice::Kind::PortClosed: return texts::kPortClosed;
        case flows::Notice::Kind::NoReply: return texts::NoReceiveData(QString::fromStdString(notice.monitorId));
        case flows::Notice::Kind::SelectOne: return texts::kSelectOneMonitor;
        case flows::Notice::Kind::SelectOnlyOne: return texts::kSelectOnlyOneDisplay;
        case flows::Notice::Kind::SearchEnded: return texts::kSearchEnd;
        case flows::Notice::Kind::ListEmpty: return texts::kNoMonitorData;
    }
    return QString();
}

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
