// The Log window: the link log's entries as they come, the last kMaxLines of them, with
// Clear and Save.
#pragma once

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QTimer;

class LogWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 10000;

    // Receives the link log's entries from now on, whether shown or not.
    LogWindow();
    ~LogWindow() override;

    // Texts in Czech when czech, else English.
    void SetCzech(bool czech);
    QStringList Lines();
    // Writes the entries shown, one a line; false with the reason when it cannot.
    bool SaveTo(const QString& path, QString* why);

  public slots:
    // Entries are shown in batches, as soon as the event loop runs: a sequence of exchanges
    // does not wait for the window to lay out each line.
    void AddLine(const QString& entry);
    void Clear();

  private:
    QString T(const char* english) const;
    void AskAndSave();
    void ShowPending();

    QStringList pending_;
    QTimer* showTimer_;
    QPlainTextEdit* view_;
    QPushButton* clear_;
    QPushButton* save_;
    QPushButton* close_;
    bool czech_ = false;
};
