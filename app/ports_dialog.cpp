#include "app/ports_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <string>

#include "app/texts.h"
#include "platform/settings_folder.h"

namespace {

QString Id(const std::optional<std::uint16_t>& id) {
    return id ? QStringLiteral("%1").arg(*id, 4, 16, QLatin1Char('0')) : QString();
}

// The English, or its translation while the panel shows its labels translated.
QString T(bool czech, const char* english) {
    return QString::fromStdString(czech ? texts::Translated("PortsDialog", english) : std::string(english));
}

}  // namespace

PortsDialog::PortsDialog(QWidget* parent, bool czech, Source source, QStringList watched)
    : QDialog(parent),
      source_(source ? std::move(source) : Source([] { return ports::SystemPorts(); })),
      watched_(watched.isEmpty() ? QStringList{QStringLiteral("/dev"),
                                               QString::fromLatin1(ports::kByIdFolder)}
                                 : std::move(watched)),
      czech_(czech) {
    setObjectName(QStringLiteral("portsDialog"));
    setWindowTitle(T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Serial ports")));
    table_ = new QTableWidget(0, 7, this);
    table_->setHorizontalHeaderLabels(
        {T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Device")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Description")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Manufacturer")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Serial number")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Vendor")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Product")),
         T(czech, QT_TRANSLATE_NOOP("PortsDialog", "By-id path"))});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);

    com_ = new QComboBox(this);
    for (int n = 1; n <= 256; ++n) com_->addItem(QStringLiteral("COM%1").arg(n), n);
    assign_ = new QPushButton(T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Assign")), this);
    auto* close = new QPushButton(T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Close")), this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* row = new QHBoxLayout;
    row->addWidget(
        new QLabel(T(czech, QT_TRANSLATE_NOOP("PortsDialog", "Assign the chosen port to")), this));
    row->addWidget(com_);
    row->addWidget(assign_);
    row->addStretch(1);
    row->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(row);
    layout->addWidget(status_);
    resize(760, 300);

    // Plugging an adapter in makes several nodes one after another; read once they settle.
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(300);
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
    connect(settle_, &QTimer::timeout, this, &PortsDialog::Refresh);
    connect(assign_, &QPushButton::clicked, this, [this] {
        const int selected = table_->currentRow();
        Assign(selected, com_->currentData().toInt());
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { assign_->setEnabled(table_->currentRow() >= 0); });
    Refresh();
}

QString PortsDialog::status() const {
    return status_->text();
}

void PortsDialog::WatchAgain() {
    // A folder that was not there (the by-id folder before the first adapter) is watched
    // as soon as it is.
    for (const QString& path : watched_) {
        if (!watcher_->directories().contains(path) && QFileInfo(path).isDir()) {
            watcher_->addPath(path);
        }
    }
}

void PortsDialog::Refresh() {
    WatchAgain();
    const QString selected =
        table_->currentRow() >= 0 && table_->currentRow() < static_cast<int>(rows_.size())
            ? rows_[static_cast<std::size_t>(table_->currentRow())].device
            : QString();
    rows_ = source_();
    table_->setRowCount(static_cast<int>(rows_.size()));
    int keep = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const ports::SystemPort& p = rows_[i];
        const QString cells[] = {p.device,    p.description,  p.manufacturer, p.serialNumber,
                                 Id(p.vendorId), Id(p.productId), p.byId};
        for (int c = 0; c < 7; ++c) {
            table_->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
        }
        if (p.device == selected) keep = static_cast<int>(i);
    }
    table_->resizeColumnsToContents();
    if (keep >= 0) table_->selectRow(keep);
    else table_->clearSelection();
    if (keep < 0) table_->setCurrentCell(-1, -1);
    assign_->setEnabled(keep >= 0);
    if (rows_.empty()) {
        status_->setText(T(czech_, QT_TRANSLATE_NOOP("PortsDialog", "The system reports no serial port.")));
    }
}

ports::Assigned PortsDialog::Assign(int row, int com) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return ports::Assigned::Failed;
    const ports::SystemPort& p = rows_[static_cast<std::size_t>(row)];
    const QString target = p.byId.isEmpty() ? p.device : p.byId;
    std::string why;
    const ports::Assigned result = ports::AssignComPort(com, target.toStdString(), &why);
    const QString link =
        QFileInfo(QString::fromStdString(folder::InSettingsFolder("com" + std::to_string(com))))
            .absoluteFilePath();
    switch (result) {
        case ports::Assigned::Made:
        case ports::Assigned::Replaced:
            status_->setText(T(czech_, QT_TRANSLATE_NOOP("PortsDialog", "COM%1 is now %2 (link %3)."))
                                 .arg(com)
                                 .arg(target, link));
            emit assigned(com);
            break;
        case ports::Assigned::NotALink:
            status_->setText(T(czech_, QT_TRANSLATE_NOOP("PortsDialog", "%1 is not a link; it was left as it is."))
                                 .arg(link));
            break;
        case ports::Assigned::Failed:
            status_->setText(T(czech_, QT_TRANSLATE_NOOP("PortsDialog", "Could not make the link: %1"))
                                 .arg(QString::fromStdString(why)));
            break;
    }
    return result;
}
