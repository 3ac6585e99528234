// Runs the whole program in this process, in a fresh temporary working folder.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

// The five lines a settings file holds after a run with the defaults.
inline constexpr const char* kDefaultSettings =
    "Language = 3\nType = 0\nAddress = 0\nCom = 1\nRate = 9600\n";

class ProgramRunTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program; operate runs inside the event loop with the panel on screen and
    // must end it (Exit or the close button). A run that never ends is stopped after 20 s.
    // Returns main's result.
    int RunProgram(const std::function<void(int panel)>& operate);
    std::string SettingsPath() const { return dir.filePath("Ombrastel.ini").toStdString(); }

    QTemporaryDir dir;
    QString previous;
};

// Tests that need another user or another mount namespace run themselves again: the running
// test alone, in a fresh process of this test program started through a command prefix
// (`setpriv ...`, `unshare ...`), with OMBRASTEL_INNER=inner in its environment. The prefix
// receives the program and its arguments last. status is the exit status, -1 when the run
// did not end within 60 s or did not start; output is what it wrote on both channels;
// passed whether the test ran there and passed (a skip or a filter that selects nothing
// also ends with status 0).
struct InnerRun {
    int status = -1;
    std::string output;
    bool passed = false;
};
InnerRun RunThisTestAgain(const QStringList& prefix, const QString& inner);

// In such a second run, the value given as inner; null in the first run.
const char* InnerRunValue();

// The whole text of a file; empty when it cannot be read.
std::string FileText(const std::string& path);

// Lines the program wrote to standard error in its own name ("ombrastel: ..."), out of
// all that was captured there.
std::vector<std::string> ProgramErrorLines(const std::string& captured);
