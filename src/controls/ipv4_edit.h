// A four-field IPv4 address box: four small edits of 0..255 separated by dots. A dot moves
// on to the next field, three digits move on by themselves, Backspace in an empty field and
// the arrow keys at a field's edge move back and forth.
#pragma once

#include <QFrame>
#include <array>

class QLineEdit;

namespace dravik::controls {

class Ipv4Edit : public QFrame {
    Q_OBJECT
public:
    explicit Ipv4Edit(QWidget* parent = nullptr);

    // True when all four fields are empty.
    bool isBlank() const;
    // The four values; an empty field counts as 0.
    std::array<int, 4> fields() const;
    void setFields(const std::array<int, 4>& values);   // values clamped to 0..255
    // "a.b.c.d", each part decimal 0..255. False (and the box unchanged) for anything else.
    bool setAddress(const QString& address);
    // "%d.%d.%d.%d" of fields(): no leading zeros, "0.0.0.0" for a blank box.
    QString text() const;
    // Empties all four fields (the box is blank).
    void clear();

    // Names the box for screen readers; field i (1..4) becomes "<name> field i". Works also
    // when the name was set through QWidget (for instance by a .ui file): the fields follow
    // the box's name when it is first shown.
    void setAccessibleName(const QString& name);

    QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

signals:
    void addressChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    int indexOf(QObject* object) const;
    void focusField(int index, bool selectAll);
    void nameFields();

    std::array<QLineEdit*, 4> fields_{};
    int autoAdvancedTo_ = -1;   // field reached by three digits, until the next key press
};

}  // namespace dravik::controls
