#include "controls/ipv4_edit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <algorithm>

namespace dravik::controls {

namespace {

const QString kDefaultName = QStringLiteral("IP address");

// Digits only, at most three, value at most 255. Anything else is refused as typed.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.isEmpty()) return Acceptable;
        if (input.size() > 3) return Invalid;
        for (QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        }
        return input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

bool ParseOctet(const QString& text, int& value) {
    if (text.isEmpty() || text.size() > 3) return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    value = text.toInt();
    return value <= 255;
}

}  // namespace

Ipv4Edit::Ipv4Edit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(3);
        edit->setValidator(new OctetValidator(edit));
        edit->setMinimumWidth(width);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &Ipv4Edit::addressChanged);
        // Three typed digits complete a field.
        connect(edit, &QLineEdit::textEdited, this, [this, i, edit](const QString& text) {
            if (i + 1 < fields_.size() && text.size() == 3 && edit->cursorPosition() == 3) {
                focusField(static_cast<int>(i) + 1, true);
                autoAdvancedTo_ = static_cast<int>(i) + 1;
            }
        });
        fields_[i] = edit;
        layout->addWidget(edit);
        if (i + 1 < fields_.size()) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
    }
    setFocusProxy(fields_[0]);
    QWidget::setAccessibleName(kDefaultName);
    nameFields();
}

bool Ipv4Edit::isBlank() const {
    return std::all_of(fields_.begin(), fields_.end(), [](QLineEdit* e) { return e->text().isEmpty(); });
}

std::array<int, 4> Ipv4Edit::fields() const {
    std::array<int, 4> values{};
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        int v = 0;
        values[i] = ParseOctet(fields_[i]->text(), v) ? v : 0;
    }
    return values;
}

void Ipv4Edit::setFields(const std::array<int, 4>& values) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(QString::number(std::clamp(values[i], 0, 255)));
    }
}

bool Ipv4Edit::setAddress(const QString& address) {
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    std::array<int, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!ParseOctet(parts[static_cast<qsizetype>(i)], values[i])) return false;
    }
    setFields(values);
    return true;
}

QString Ipv4Edit::text() const {
    const auto v = fields();
    return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

void Ipv4Edit::clear() {
    for (QLineEdit* edit : fields_) edit->clear();
}

void Ipv4Edit::setAccessibleName(const QString& name) {
    QWidget::setAccessibleName(name);
    nameFields();
}

void Ipv4Edit::nameFields() {
    const QString base = accessibleName().isEmpty() ? kDefaultName : accessibleName();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setAccessibleName(QStringLiteral("%1 field %2").arg(base).arg(i + 1));
    }
}

bool Ipv4Edit::event(QEvent* event) {
    if (event->type() == QEvent::Polish) nameFields();
    return QFrame::event(event);
}

int Ipv4Edit::indexOf(QObject* object) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i] == object) return static_cast<int>(i);
    }
    return -1;
}

void Ipv4Edit::focusField(int index, bool selectAll) {
    if (index < 0 || index >= static_cast<int>(fields_.size())) return;
    QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll) {
        edit->selectAll();
    }
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
    const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
    const bool atEnd = edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
    const bool last = index + 1 == static_cast<int>(fields_.size());

    if (key->matches(QKeySequence::Paste)) {
        // A whole address pasted anywhere fills the four fields; anything else goes to the
        // field, whose validator refuses what is not an octet.
        if (const QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard && setAddress(clipboard->text().trimmed())) {
            return true;
        }
        return QFrame::eventFilter(watched, event);
    }
    const bool justAdvanced = autoAdvancedTo_ == index;
    autoAdvancedTo_ = -1;
    if (key->text() == QLatin1String(".") || key->text() == QLatin1String(" ")) {
        // The dot that follows three digits was already taken care of by the move itself;
        // a dot in an empty field has nothing to finish.
        if (!justAdvanced && !edit->text().isEmpty() && !last) focusField(index + 1, true);
        return true;
    }
    switch (key->key()) {
    case Qt::Key_Backspace:
        if (atStart && index > 0) {
            QLineEdit* previous = fields_[static_cast<std::size_t>(index - 1)];
            focusField(index - 1, false);
            previous->end(false);
            if (edit->text().isEmpty()) previous->backspace();
            return true;
        }
        break;
    case Qt::Key_Left:
        if (atStart && index > 0 && key->modifiers() == Qt::NoModifier) {
            focusField(index - 1, false);
            fields_[static_cast<std::size_t>(index - 1)]->end(false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (atEnd && !last && key->modifiers() == Qt::NoModifier) {
            focusField(index + 1, false);
            fields_[static_cast<std::size_t>(index + 1)]->home(false);
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace dravik::controls
