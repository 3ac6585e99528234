#include "app/log_window.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "app/texts.h"
#include "platform/file_write.h"
#include "platform/link_log.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"

LogWindow::LogWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("logWindow"));
    view_ = new QPlainTextEdit(this);
    view_->setReadOnly(true);
    view_->setMaximumBlockCount(kMaxLines);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    view_->setObjectName(QStringLiteral("logView"));
    clear_ = new QPushButton(this);
    save_ = new QPushButton(this);
    close_ = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    resize(640, 360);
    showTimer_ = new QTimer(this);
    showTimer_->setSingleShot(true);
    showTimer_->setInterval(50);
    connect(showTimer_, &QTimer::timeout, this, &LogWindow::ShowPending);
    SetCzech(false);

    connect(clear_, &QPushButton::clicked, this, &LogWindow::Clear);
    connect(save_, &QPushButton::clicked, this, &LogWindow::AskAndSave);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    // Entries may come from any thread; they are shown by the window's own.
    QPointer<LogWindow> self(this);
    linklog::SetListener([self](const std::string& entry) {
        if (self == nullptr) return;
        auto add = [self, line = QString::fromStdString(entry)] {
            if (self != nullptr) self->AddLine(line);
        };
        if (QThread::currentThread() == self->thread()) {
            add();
        } else {
            linkthread::RunQueued(self.data(), add);  // from the link thread
        }
    });
}

LogWindow::~LogWindow() {
    linklog::SetListener({});
}

// The English, or its translation while the panel shows its labels translated.
QString LogWindow::T(const char* english) const {
    return QString::fromStdString(czech_ ? texts::Translated("LogWindow", english) : std::string(english));
}

void LogWindow::SetCzech(bool czech) {
    czech_ = czech;
    setWindowTitle(T(QT_TRANSLATE_NOOP("LogWindow", "Link log")));
    clear_->setText(T(QT_TRANSLATE_NOOP("LogWindow", "Clear")));
    save_->setText(T(QT_TRANSLATE_NOOP("LogWindow", "Save…")));
    close_->setText(T(QT_TRANSLATE_NOOP("LogWindow", "Close")));
}

void LogWindow::AddLine(const QString& entry) {
    pending_ << entry;
    if (pending_.size() > kMaxLines) pending_.erase(pending_.begin(), pending_.end() - kMaxLines);
    if (!showTimer_->isActive()) showTimer_->start();
}

void LogWindow::ShowPending() {
    showTimer_->stop();
    if (pending_.isEmpty()) return;
    view_->appendPlainText(pending_.join(QLatin1Char('\n')));
    pending_.clear();
}

void LogWindow::Clear() {
    showTimer_->stop();
    pending_.clear();
    view_->clear();
}

QStringList LogWindow::Lines() {
    ShowPending();
    QStringList lines;
    for (QTextBlock b = view_->document()->firstBlock(); b.isValid(); b = b.next()) {
        lines << b.text();
    }
    // An empty view still holds one empty block.
    if (lines.size() == 1 && lines.first().isEmpty()) lines.clear();
    return lines;
}

bool LogWindow::SaveTo(const QString& path, QString* why) {
    std::string text;
    for (const QString& line : Lines()) text += line.toStdString() + '\n';
    // As the settings file: never over a device, a FIFO or a socket, through a link.
    const int error = filewrite::WriteWhole(QFile::encodeName(path).toStdString(), text);
    if (error != 0 && why != nullptr) *why = QString::fromStdString(texts::WriteFailure(error, czech_));
    return error == 0;
}

void LogWindow::AskAndSave() {
    const QString path = QFileDialog::getSaveFileName(
        this, T(QT_TRANSLATE_NOOP("LogWindow", "Save the log")),
        QStringLiteral("ombrastel-log.txt"));
    if (path.isEmpty()) return;
    QString why;
    if (!SaveTo(path, &why)) {
        ui::MessagePopup(T(QT_TRANSLATE_NOOP("LogWindow", "Warning")).toStdString(),
                         (T(QT_TRANSLATE_NOOP("LogWindow", "Could not save the log: ")) + why).toStdString());
    }
}
