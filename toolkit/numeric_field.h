// A numeric entry field that keeps the full value it holds. The number of decimals only
// changes how the value is shown; reading the field gives back exactly what was set or
// typed. It signals `committed` when the operator completes an entry: Return, a changed
// value when focus leaves, or a step with the arrows, the arrow keys or the wheel. The
// wheel turns it only while it has keyboard focus.
//
// Every character typed stays in the field until the entry is completed. A decimal comma
// is a decimal point. A text that is not wholly one number (a whole one in an integer
// field) commits nothing: the field shows its value again and tells the operator why.
#pragma once

#include <QAbstractSpinBox>

namespace ombrastel {

class NumericField : public QAbstractSpinBox {
    Q_OBJECT
    Q_PROPERTY(double minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(double maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(double singleStep READ singleStep WRITE setSingleStep)
    Q_PROPERTY(int decimals READ decimals WRITE setDecimals)
    Q_PROPERTY(bool integer READ integer WRITE setInteger)

  public:
    explicit NumericField(QWidget* parent = nullptr);

    double value() const { return value_; }
    // Sets the value from code, limited to the range; NaN is refused. Never commits.
    bool setValue(double value);

    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    void setMinimum(double minimum);
    void setMaximum(double maximum);
    void setRange(double minimum, double maximum);
    double singleStep() const { return step_; }
    void setSingleStep(double step);
    int decimals() const { return decimals_; }
    void setDecimals(int decimals);  // display only, 0..15
    bool integer() const { return integer_; }
    void setInteger(bool integer);  // whole numbers only

    // What the field tells the operator when it refuses a typed text.
    QString refusalText() const;
    void setRefusalText(const QString& text);  // empty: the English default

    // The text the field shows for a value.
    QString textForValue(double value) const;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

  signals:
    void committed();

  protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    enum class Entry { Unchanged, Changed, Refused };
    // Takes the typed text over as the value. Refused when it is no number: the field
    // then shows its value again and says why.
    Entry takeTypedText();
    void showValue();
    double limit(double value) const;

    double value_ = 0.0;
    double minimum_ = 0.0;
    double maximum_ = 99.0;
    double step_ = 1.0;
    int decimals_ = 2;
    bool integer_ = false;
    bool edited_ = false;  // the operator typed since the value was last shown
    QString refusalText_;
};

// Tells the operator at a field why an entry was refused: a tool tip at the field, kept as
// its tool tip and accessible description (so a screen reader says it) until cleared.
void ShowEntryRefusal(QWidget* field, const QString& why);
void ClearEntryRefusal(QWidget* field);
bool EntryRefusalShown(const QWidget* field);

}  // namespace ombrastel
