#include "pages/wall/spin_edit.h"

#include <QLineEdit>

#include <algorithm>

namespace dravik::pages {

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAccelerated(false);
    setKeyboardTracking(true);
    // Short texts: three digits are the most any field here needs.
    lineEdit()->setMaxLength(16);
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::textChanged);
}

void SpinEdit::setRange(int minimum, int maximum) {
    minimum_ = std::min(minimum, maximum);
    maximum_ = std::max(minimum, maximum);
}

void SpinEdit::setText(const QString& text) {
    if (lineEdit()->text() != text) lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps) {
    // Text that holds no number steps from the bottom of the range, as the arrows of an
    // empty field would.
    bool ok = false;
    const long long current = text().trimmed().toLongLong(&ok);
    long long value = ok ? std::clamp<long long>(current, minimum_, maximum_) : minimum_;
    if (ok) value = std::clamp<long long>(value + steps, minimum_, maximum_);
    setText(QString::number(value));
    selectAll();
}

QValidator::State SpinEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

}  // namespace dravik::pages
