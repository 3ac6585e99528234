#include "app/panel_tools.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/log_window.h"
#include "app/ports_dialog.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "platform/serial_ports.h"
#include "platform/settings_folder.h"

namespace {

// The device shown next to the COM ring is cut in the middle beyond this many average
// characters; a shorter one takes only the room it needs.
constexpr int kDeviceChars = 44;

QString ItemText(int n, bool present) {
    QString text = QStringLiteral("COM%1").arg(n);
    if (present) text += QString::fromUtf8(kPresentMark);
    return text;
}

class PanelTools : public QObject {
  public:
    PanelTools(QWidget* window, QComboBox* ring, QBoxLayout* place)
        : QObject(window), window_(window), ring_(ring) {
        setObjectName(QStringLiteral("panelTools"));
        label_ = new QLabel(window);
        label_->setObjectName(QStringLiteral("portDeviceLabel"));
        ports_ = new QPushButton(window);
        ports_->setObjectName(QStringLiteral("portsButton"));
        ports_->setAutoDefault(false);
        log_ = new QPushButton(window);
        log_->setObjectName(QStringLiteral("logButton"));
        log_->setAutoDefault(false);
        sequence_ = new QPushButton(window);
        sequence_->setObjectName(QStringLiteral("sequenceButton"));
        sequence_->setAutoDefault(false);
        // Below the link frame, the device above the buttons: right of the frame they made
        // the panel too wide for a 1280-pixel screen at scale factor 2, which then cut the
        // buttons' texts.
        place->addWidget(label_);
        auto* buttons = new QHBoxLayout();
        buttons->addWidget(ports_);
        buttons->addWidget(log_);
        buttons->addWidget(sequence_);
        buttons->addStretch();
        place->addLayout(buttons);
        logWindow_ = new LogWindow();
        QObject::connect(window, &QObject::destroyed, logWindow_, [w = logWindow_] { delete w; });
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), window);
        QObject::connect(shortcut, &QShortcut::activated, this, [this] { ShowLog(); });
        QObject::connect(log_, &QPushButton::clicked, this, [this] { ShowLog(); });
        auto* sequenceKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), window);
        QObject::connect(sequenceKey, &QShortcut::activated, this, [this] { ShowSequence(); });
        QObject::connect(sequence_, &QPushButton::clicked, this, [this] { ShowSequence(); });
        QObject::connect(ports_, &QPushButton::clicked, this, [this] { OpenPorts(); });
        QObject::connect(ring_, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });

        settle_ = new QTimer(this);
        settle_->setSingleShot(true);
        settle_->setInterval(300);
        QObject::connect(settle_, &QTimer::timeout, this, [this] { Refresh(); });
        watcher_ = new QFileSystemWatcher(this);
        QObject::connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_,
                         qOverload<>(&QTimer::start));
        window->installEventFilter(this);
        ring_->installEventFilter(this);
        SetCzech(false);
    }

    void SetCzech(bool czech) {
        czech_ = czech;
        ports_->setText(Text(QT_TRANSLATE_NOOP("PanelTools", "&Ports…")));
        log_->setText(Text(QT_TRANSLATE_NOOP("PanelTools", "&Log")));
        log_->setToolTip(Text(QT_TRANSLATE_NOOP("PanelTools", "Link log (Ctrl+L)")));
        logWindow_->SetCzech(czech);
        sequence_->setText(Text(QT_TRANSLATE_NOOP("PanelTools", "Se&quence…")));
        sequence_->setToolTip(Text(QT_TRANSLATE_NOOP("PanelTools", "Step lists and ramps with a plot (Ctrl+E)")));
        if (sequenceWindow_ != nullptr) sequenceWindow_->SetCzech(czech);
        ShowDevice();
    }

    void Refresh() {
        Watch();
        listed_ = ports::ListedDevices();
        for (int i = 0; i < ring_->count(); ++i) {
            const int n = ring_->itemData(i).toInt();
            const QString text = ItemText(n, ports::ResolveComPort(n, listed_).present);
            if (ring_->itemText(i) != text) ring_->setItemText(i, text);
        }
        ShowDevice();
    }

    void ShowDevice() {
        const int n = ring_->currentData().toInt();
        if (n < 1) {
            label_->clear();
            return;
        }
        const ports::ComTarget t = ports::ResolveComPort(n, listed_);
        const QString device = QString::fromStdString(t.device);
        const QString state = !t.refusal.empty() ? Text(QT_TRANSLATE_NOOP("PanelTools", "link refused"))
                              : t.present        ? Text(QT_TRANSLATE_NOOP("PanelTools", "present"))
                                                 : Text(QT_TRANSLATE_NOOP("PanelTools", "not found"));
        const QString text = QStringLiteral("%1 (%2)").arg(device, state);
        const int width = label_->fontMetrics().averageCharWidth() * kDeviceChars;
        label_->setText(label_->fontMetrics().elidedText(text, Qt::ElideMiddle, width));
        QString tip = QStringLiteral("COM%1: ").arg(n);
        if (t.viaLink) {
            tip += QStringLiteral("com%1 \u2192 %2").arg(n).arg(QString::fromStdString(t.linkTarget));
            if (QString::fromStdString(t.linkTarget) != device) tip += QStringLiteral(" \u2192 ") + device;
        } else {
            tip += device;
        }
        tip += QStringLiteral(" (%1)").arg(state);
        if (!t.refusal.empty()) tip += QStringLiteral(": ") + QString::fromStdString(t.refusal);
        label_->setToolTip(tip);
        label_->setAccessibleName(tip);
    }

    // The English, or its translation while the panel shows its labels translated.
    QString Text(const char* english) const {
        return QString::fromStdString(czech_ ? texts::Translated("PanelTools", english)
                                             : std::string(english));
    }

    void ShowLog() {
        logWindow_->show();
        logWindow_->raise();
        logWindow_->activateWindow();
    }

    // Made when first asked for: the plot is not worth building at every start.
    SequenceWindow* Sequence() {
        if (sequenceWindow_ == nullptr) {
            sequenceWindow_ = new SequenceWindow();
            sequenceWindow_->SetCzech(czech_);
            QObject::connect(window_, &QObject::destroyed, sequenceWindow_,
                             [w = sequenceWindow_] { delete w; });
        }
        return sequenceWindow_;
    }

    void ShowSequence() {
        SequenceWindow* w = Sequence();
        w->show();
        w->raise();
        w->activateWindow();
    }

    PortsDialog* OpenPorts() {
        if (dialog_ == nullptr) {
            dialog_ = new PortsDialog(window_, czech_);
            dialog_->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(dialog_, &PortsDialog::assigned, this, [this] { Refresh(); });
        }
        dialog_->show();
        dialog_->raise();
        return dialog_;
    }

    QLabel* label_;
    QPushButton* ports_;
    QPushButton* log_;
    QPushButton* sequence_;
    LogWindow* logWindow_;
    SequenceWindow* sequenceWindow_ = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Show) Refresh();
        if (watched == ring_ && (event->type() == QEvent::ShowToParent ||
                                 event->type() == QEvent::HideToParent)) {
            // Over GPIB there is no COM port to show.
            const bool shown = !ring_->isHidden();
            label_->setVisible(shown);
            ports_->setVisible(shown);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    // The device folders and the settings folder, whichever exist now.
    void Watch() {
        const QString settings = QFileInfo(QString::fromStdString(
                                               folder::SettingsFolder().empty() ? std::string(".")
                                                                                : folder::SettingsFolder()))
                                     .absoluteFilePath();
        const QStringList wanted = {QStringLiteral("/dev"), QString::fromLatin1(ports::kByIdFolder),
                                    QDir::cleanPath(settings)};
        const QStringList now = watcher_->directories();
        for (const QString& path : now) {
            if (!wanted.contains(path)) watcher_->removePath(path);
        }
        for (const QString& path : wanted) {
            if (!now.contains(path) && QFileInfo(path).isDir()) watcher_->addPath(path);
        }
    }

    QWidget* window_;
    QComboBox* ring_;
    QPointer<PortsDialog> dialog_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
    std::set<std::string> listed_;
    bool czech_ = false;
};

PanelTools* Tools(QWidget* window) {
    return window == nullptr ? nullptr
                             : window->findChild<PanelTools*>(QStringLiteral("panelTools"),
                                                              Qt::FindDirectChildrenOnly);
}

}  // namespace

void InstallPanelTools(QWidget* window, QComboBox* comRing, QBoxLayout* place) {
    new PanelTools(window, comRing, place);
}

void ApplyCzechToolTexts(QWidget* window) {
    if (PanelTools* t = Tools(window)) t->SetCzech(true);
}

void RefreshPorts(QWidget* window) {
    if (PanelTools* t = Tools(window)) t->Refresh();
}

namespace {
template <typename T>
T* Part(QWidget* window, T* PanelTools::*part) {
    PanelTools* t = Tools(window);
    return t != nullptr ? t->*part : nullptr;
}
}  // namespace

QLabel* PortDeviceLabel(QWidget* window) {
    return Part(window, &PanelTools::label_);
}

QPushButton* PortsButton(QWidget* window) {
    return Part(window, &PanelTools::ports_);
}

QPushButton* LogButton(QWidget* window) {
    return Part(window, &PanelTools::log_);
}

LogWindow* PanelLogWindow(QWidget* window) {
    return Part(window, &PanelTools::logWindow_);
}

QPushButton* SequenceButton(QWidget* window) {
    return Part(window, &PanelTools::sequence_);
}

SequenceWindow* PanelSequenceWindow(QWidget* window) {
    PanelTools* t = Tools(window);
    return t != nullptr ? t->Sequence() : nullptr;
}
