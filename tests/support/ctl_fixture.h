// ombrastel-ctl as a script runs it: the program itself in a child process.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

struct CtlResult {
    int status = -1;  // -1: did not start, did not end in time, or ended by a signal
    std::string out;
    std::string err;
};

// Runs ombrastel-ctl with args in the working folder (where the simulator's comN link is).
CtlResult Ctl(const QStringList& args, int timeoutMs = 20000);

// Writes text into the file name (in the working folder unless a path); asserts it worked.
void WriteFile(const QString& name, const QByteArray& text);
