#include "support/ctl_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

CtlResult Ctl(const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setWorkingDirectory(QDir::currentPath());
    p.start(QStringLiteral(OMBRASTEL_CTL_PATH), args);
    CtlResult r;
    if (!p.waitForStarted(5000)) return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

void WriteFile(const QString& name, const QByteArray& text) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(text), text.size());
}
