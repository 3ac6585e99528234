// The Ports dialog: the serial ports the system has, refreshed when an adapter comes or
// goes, and one of them named as a COM number by its comN link next to the settings file.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/serial_ports.h"

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

class PortsDialog : public QDialog {
    Q_OBJECT
  public:
    using Source = std::function<std::vector<ports::SystemPort>()>;

    // source lists the ports (the system's by default); the list is read again when
    // anything in watched changes (the device folders by default).
    PortsDialog(QWidget* parent, bool czech, Source source = {}, QStringList watched = {});

    QTableWidget* table() const { return table_; }
    QComboBox* comRing() const { return com_; }
    QString status() const;
    const std::vector<ports::SystemPort>& rows() const { return rows_; }

    // Names the port of row as COM com: its by-id path when it has one, else its device.
    ports::Assigned Assign(int row, int com);

  signals:
    void assigned(int com);

  public slots:
    void Refresh();

  private:
    void WatchAgain();

    Source source_;
    QStringList watched_;
    bool czech_;
    std::vector<ports::SystemPort> rows_;
    QTableWidget* table_;
    QComboBox* com_;
    QPushButton* assign_;
    QLabel* status_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
};
