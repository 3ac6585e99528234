// The smallest Qt Widgets program: one window with one text. The reference the program's
// start-up and memory are measured against (ui_timing), built in the same tree with the
// same compiler, flags and Qt.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Hello, world"));
    label.setWindowTitle(QStringLiteral("Hello"));
    label.show();
    return app.exec();
}
