// Texts of the "Tilvane" page, exactly as operators have always seen them (blanks included).
#pragma once

#include "pages/page_texts.h"
#include "ui/texts.h"

#include <QString>

namespace dravik::pages::wall_texts {

inline const QString kIpAddressHeading = QStringLiteral("IP Address");
inline const QString kIdHeading = QStringLiteral("ID ");  // column 0 after switching to RS-232

using page_texts::kEnterInteger;
inline QString EnterIntegerBetween(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

using page_texts::IdExists;
using page_texts::IpExists;
using page_texts::kInputIpAddress;
inline const QString kLoadOrInputData = QStringLiteral("Please Load or Input Data!");
inline const QString kSelectDeleteItem = QStringLiteral("Please select Delete Item");
inline const QString kFileOpeningError = QStringLiteral("log File Opening Error!");

using ui::texts::kSelectOneDisplay;
using ui::texts::kSelectOnlyOneDisplay;
inline const QString kUpdateGainQuestion = QStringLiteral("Update RGB Gain ?");
inline const QString kSendingPleaseWait = QStringLiteral("Sending... Please wait");
// A model the wall's monitor check cannot ask (its own wording, "Unsupported" capitalised).
inline QString Refusal(const QString& model) { return model + QStringLiteral(" No This Function or Unsupported !\r\n"); }

}  // namespace dravik::pages::wall_texts
