// The cells of the Sequence window's step and result tables: their columns, the number a
// cell keeps beside its text, and how a typed number is read. Shared by the window's parts.
#pragma once

#include <QString>
#include <QTableWidgetItem>
#include <cmath>
#include <optional>

#include "platform/text.h"

namespace sequence_cells {

inline constexpr int kValueColumn = 0;
inline constexpr int kDwellColumn = 1;
inline constexpr int kStateColumn = 2;
inline constexpr int kBaseRole = Qt::UserRole;  // a cell's number: the base value, the seconds

inline QString Number(double value) {
    return QString::number(value, 'g', 12);
}

inline std::optional<double> EntryNumber(const QString& text) {
    const std::optional<double> n = text::ParseEntryNumber(text.toStdString());
    if (!n || !std::isfinite(*n)) return std::nullopt;
    return n;
}

inline std::optional<double> DwellNumber(const QString& text) {
    const std::optional<double> n = EntryNumber(text);
    if (!n || *n < 0.0) return std::nullopt;
    return n;
}

// A number right-aligned, a word (the state of a step) left-aligned.
inline QTableWidgetItem* Item(const QString& text, bool editable, bool number = true) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace sequence_cells
