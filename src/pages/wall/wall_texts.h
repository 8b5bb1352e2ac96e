// Texts of the "Tilvane" page, exactly as operators have always seen them (blanks included).
#pragma once

#include <QString>

namespace dravik::pages::wall_texts {

inline const QString kIpAddressHeading = QStringLiteral("IP Address");
inline const QString kIdHeading = QStringLiteral("ID ");  // column 0 after switching to RS-232

inline const QString kEnterInteger = QStringLiteral("Please enter an integer.");
inline QString EnterIntegerBetween(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

inline const QString kInputIpAddress = QStringLiteral("Please input IP Address");
inline QString IpExists(const QString& address) { return QStringLiteral("IP:") + address + QStringLiteral(" exist"); }
inline QString IdExists(const QString& id) { return QStringLiteral("ID:") + id + QStringLiteral(" exit"); }
inline const QString kLoadOrInputData = QStringLiteral("Please Load or Input Data!");
inline const QString kSelectDeleteItem = QStringLiteral("Please select Delete Item");
inline const QString kFileOpeningError = QStringLiteral("log File Opening Error!");

inline const QString kSelectOnlyOneDisplay = QStringLiteral(" Please select only one display!");
inline const QString kSelectOneDisplay = QStringLiteral(" Please select one display!");
inline const QString kUpdateGainQuestion = QStringLiteral("Update RGB Gain ?");
inline const QString kSendingPleaseWait = QStringLiteral("Sending... Please wait");

}  // namespace dravik::pages::wall_texts
