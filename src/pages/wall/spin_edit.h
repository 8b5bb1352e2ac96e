// An integer edit with up/down arrows, like an edit with an up-down control beside it. Unlike
// QSpinBox it keeps whatever the operator types: the page's data exchange decides what it
// accepts and says why it does not ("Please enter an integer."). The arrows step within the
// range and replace the text by a number.
#pragma once

#include <QAbstractSpinBox>

namespace dravik::pages {

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    // text() (QAbstractSpinBox) is what the operator sees; setText() replaces it.
    void setText(const QString& text);

    void stepBy(int steps) override;

signals:
    // The text changed: typed, stepped or set.
    void textChanged(const QString& text);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    StepEnabled stepEnabled() const override;

private:
    int minimum_ = 0;
    int maximum_ = 99;
};

}  // namespace dravik::pages
