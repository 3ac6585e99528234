#include "support/program_fixture.h"

#include <QDir>
#include <QTimer>

#include "app/shared_state.h"
#include "app/startup.h"
#include "platform/ui.h"

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
