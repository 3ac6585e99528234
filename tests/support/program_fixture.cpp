#include "support/program_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/shared_state.h"
#include "app/startup.h"
#include "toolkit/ui.h"

void ProgramRunTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ResetSharedState();
    language = 3;
}

void ProgramRunTest::TearDown() {
    QDir::setCurrent(previous);
}

int ProgramRunTest::RunProgram(const std::function<void(int panel)>& operate) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        operate(panelHandle);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { ui::QuitUserInterface(99); });
    guard.start(20000);
    char arg0[] = "ombrastel";
    char* argv[] = {arg0, nullptr};
    const int result = RunOmbrastel(1, argv);
    EXPECT_TRUE(ran);
    return result;
}

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

InnerRun RunThisTestAgain(const QStringList& prefix, const QString& inner) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    QStringList arguments = prefix.mid(1);
    arguments << QCoreApplication::applicationFilePath()
              << QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QString::fromUtf8(test->test_suite_name()),
                          QString::fromUtf8(test->name()));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMBRASTEL_INNER", inner);
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(prefix.first(), arguments);
    InnerRun result;
    if (!run.waitForStarted(10000)) return result;
    const bool ended = run.waitForFinished(60000);
    if (!ended) {
        run.kill();
        run.waitForFinished(5000);
    }
    result.output = run.readAll().toStdString();
    if (ended && run.exitStatus() == QProcess::NormalExit) result.status = run.exitCode();
    result.passed = result.status == 0 &&
                    result.output.find("[  PASSED  ] 1 test.") != std::string::npos &&
                    result.output.find("[  SKIPPED ]") == std::string::npos;
    return result;
}

const char* InnerRunValue() {
    return std::getenv("OMBRASTEL_INNER");
}

std::vector<std::string> ProgramErrorLines(const std::string& captured) {
    std::vector<std::string> lines;
    std::istringstream in(captured);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("ombrastel: ", 0) == 0) lines.push_back(line);
    return lines;
}
