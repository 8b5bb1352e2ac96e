#include "dravikctl/target_result.h"

namespace dravik::ctl {

void Console::write(const std::string& text) {
    std::lock_guard lock(mutex_);
    out_ << text;
    out_.flush();
}

void Console::error(const std::string& line) {
    std::lock_guard lock(mutex_);
    err_ << line << '\n';
    err_.flush();
}

QString TrimEnd(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == QLatin1Char(' ') || text[n - 1] == QLatin1Char('\r') ||
                     text[n - 1] == QLatin1Char('\n')))
        --n;
    return text.left(n);
}

QString TrimLineEnd(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == QLatin1Char('\r') || text[n - 1] == QLatin1Char('\n'))) --n;
    return text.left(n);
}

}  // namespace dravik::ctl
