#include "toolkit/numeric_field.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/text.h"

namespace ombrastel {

namespace {

const char* const kRefusedProperty = "ombrastelEntryRefused";

// The number in a complete entry: one number for a real field, a whole one for an integer
// field; nothing for anything else.
bool ParseEntry(const QString& input, bool integer, double* out) {
    const std::optional<double> v = text::ParseEntryNumber(input.toStdString());
    if (!v || (integer && std::trunc(*v) != *v)) return false;
    *out = *v;
    return true;
}

}  // namespace

void ShowEntryRefusal(QWidget* field, const QString& why) {
    field->setProperty(kRefusedProperty, true);
    field->setToolTip(why);
    field->setAccessibleDescription(why);
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), why, field);
}

void ClearEntryRefusal(QWidget* field) {
    if (!EntryRefusalShown(field)) return;
    field->setProperty(kRefusedProperty, false);
    field->setToolTip(QString());
    field->setAccessibleDescription(QString());
    QToolTip::hideText();
}

bool EntryRefusalShown(const QWidget* field) {
    return field->property(kRefusedProperty).toBool();
}

NumericField::NumericField(QWidget* parent) : QAbstractSpinBox(parent) {
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setFocusPolicy(Qt::StrongFocus);  // the wheel gives no focus (and then turns nothing)
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

QString NumericField::refusalText() const {
    if (!refusalText_.isEmpty()) return refusalText_;
    return integer_ ? QStringLiteral("not a whole number") : QStringLiteral("not a number");
}

void NumericField::setRefusalText(const QString& text) {
    refusalText_ = text;
}

NumericField::Entry NumericField::takeTypedText() {
    if (!edited_) return Entry::Unchanged;
    edited_ = false;
    double typed = 0.0;
    if (!ParseEntry(lineEdit()->text(), integer_, &typed)) {
        showValue();
        ShowEntryRefusal(this, refusalText());
        return Entry::Refused;
    }
    ClearEntryRefusal(this);
    const double before = value_;
    value_ = limit(typed);
    return value_ != before ? Entry::Changed : Entry::Unchanged;
}

void NumericField::stepBy(int steps) {
    if (takeTypedText() == Entry::Refused) return;
    ClearEntryRefusal(this);
    const double before = value_;
    value_ = limit(value_ + steps * step_);
    showValue();
    if (value_ != before) emit committed();
}

QValidator::State NumericField::validate(QString& input, int& /*pos*/) const {
    // Never Invalid: that would drop the character just typed without a word. A text
    // that is no number is refused as a whole when the entry is completed.
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
        // Return confirms the entry, changed or not; a text that is no number is refused.
        event->accept();
        if (takeTypedText() == Entry::Refused) {
            lineEdit()->selectAll();
            return;
        }
        ClearEntryRefusal(this);
        showValue();
        lineEdit()->selectAll();
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
    const bool changed = takeTypedText() == Entry::Changed;
    showValue();
    QAbstractSpinBox::focusOutEvent(event);
    if (changed) emit committed();
}

void NumericField::wheelEvent(QWheelEvent* event) {
    // A wheel passing over the panel must not change a value the operator is not working on.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QAbstractSpinBox::wheelEvent(event);
}

}  // namespace ombrastel
