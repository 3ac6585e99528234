// Runs the whole program in this process, in a fresh temporary working folder.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>

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
