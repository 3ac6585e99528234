#include "platform/numeric_field.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace ombrastel {

namespace {

// What an operator may have typed so far: sign, digits, point, exponent, each optional.
const QRegularExpression& PartialReal() {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*[+-]?\d*(\.\d*)?([eE][+-]?\d*)?\s*$)"));
    return re;
}
const QRegularExpression& PartialInteger() {
    static const QRegularExpression re(QStringLiteral(R"(^\s*[+-]?\d*\s*$)"));
    return re;
}

// The number in a complete entry; nothing for a partial or non-finite one.
bool ParseEntry(const QString& input, bool integer, double* out) {
    const QRegularExpression& shape = integer ? PartialInteger() : PartialReal();
    if (!shape.match(input).hasMatch()) return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(input.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

}  // namespace

NumericField::NumericField(QWidget* parent) : QAbstractSpinBox(parent) {
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { edited_ = true; });
    showValue();
}

double NumericField::limit(double value) const {
    value = std::clamp(value, minimum_, maximum_);
    if (integer_) value = std::round(value);
    return value;
}

bool NumericField::setValue(double value) {
    if (std::isnan(value)) return false;
    value_ = limit(value);
    showValue();
    return true;
}

void NumericField::setMinimum(double minimum) {
    setRange(minimum, std::max(minimum, maximum_));
}
void NumericField::setMaximum(double maximum) {
    setRange(std::min(minimum_, maximum), maximum);
}

void NumericField::setRange(double minimum, double maximum) {
    if (std::isnan(minimum) || std::isnan(maximum) || minimum > maximum) return;
    minimum_ = minimum;
    maximum_ = maximum;
    value_ = limit(value_);
    showValue();
}

void NumericField::setSingleStep(double step) {
    if (std::isfinite(step) && step >= 0.0) step_ = step;
}

void NumericField::setDecimals(int decimals) {
    decimals_ = std::clamp(decimals, 0, 15);
    showValue();
}

void NumericField::setInteger(bool integer) {
    integer_ = integer;
    value_ = limit(value_);
    showValue();
}

QString NumericField::textForValue(double value) const {
    QString text = QLocale::c().toString(value, 'f', integer_ ? 0 : decimals_);
    // A value that rounds to zero is shown without a sign.
    if (text.startsWith(QLatin1Char('-')) &&
        !text.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        text.remove(0, 1);
    return text;
}

void NumericField::showValue() {
    const QSignalBlocker block(lineEdit());
    lineEdit()->setText(textForValue(value_));
    edited_ = false;
}

bool NumericField::takeTypedText() {
    if (!edited_) return false;
    edited_ = false;
    double typed = 0.0;
    if (!ParseEntry(lineEdit()->text(), integer_, &typed)) return false;
    const double before = value_;
    value_ = limit(typed);
    return value_ != before;
}

void NumericField::stepBy(int steps) {
    takeTypedText();
    const double before = value_;
    value_ = limit(value_ + steps * step_);
    showValue();
    if (value_ != before) emit committed();
}

QValidator::State NumericField::validate(QString& input, int& /*pos*/) const {
    const QRegularExpression& shape = integer_ ? PartialInteger() : PartialReal();
    if (!shape.match(input).hasMatch()) return QValidator::Invalid;
    double v = 0.0;
    if (!ParseEntry(input, integer_, &v)) return QValidator::Intermediate;
    return (v >= minimum_ && v <= maximum_) ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumericField::fixup(QString& input) const {
    double v = 0.0;
    input = textForValue(ParseEntry(input, integer_, &v) ? limit(v) : value_);
}

QAbstractSpinBox::StepEnabled NumericField::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    StepEnabled enabled = StepNone;
    if (value_ < maximum_) enabled |= StepUpEnabled;
    if (value_ > minimum_) enabled |= StepDownEnabled;
    return enabled;
}

void NumericField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Return confirms the entry, changed or not.
        takeTypedText();
        showValue();
        lineEdit()->selectAll();
        event->accept();
        emit committed();
        return;
    }
    if (event->key() == Qt::Key_Escape && edited_) {
        showValue();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void NumericField::focusOutEvent(QFocusEvent* event) {
    // Leaving the field commits only a value the operator changed.
    const bool changed = takeTypedText();
    showValue();
    QAbstractSpinBox::focusOutEvent(event);
    if (changed) emit committed();
}

}  // namespace ombrastel
