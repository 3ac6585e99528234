#include "support/link_fixture.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <optional>

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/communic.h"
#include "link/gpib_transport.h"
#include "app/open_close.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "simulator/config.h"
#include "simulator/transcript.h"

void ConnectCom1(int model, int threshold) {
    std::string reason;
    ASSERT_TRUE(panelSession.OpenLink({links::ComPort{1}, 9600}, reason)) << reason;
    linkType = 0;
    comPort = 1;
    decadeModel = model;
    thresholdAvailable = threshold;
}

void UseGpibDevice(int device, int address) {
    panelSession.link.transport = links::GpibTransport::Adopting(links::GpibDevice{address}, device);
    connected = 1;
    linkType = 1;
    gpibAddress = address;
}

std::vector<std::string> Args(std::string_view line) {
    std::optional<std::vector<std::string>> words = sim::SplitWords(line);
    EXPECT_TRUE(words.has_value()) << "unbalanced quote in: " << line;
    return words.value_or(std::vector<std::string>{});
}

std::unique_ptr<simtest::SimFixture> StartDecade(const std::vector<std::string>& args) {
    auto sim = std::make_unique<simtest::SimFixture>(args);
    EXPECT_TRUE(sim->ok()) << sim->error();
    return sim;
}

void SimLinkTest::TearDown() {
    rs232::CloseCom(1);
    sim_.reset();
    ResetSharedState();
}

void SimLinkTest::StartSim(const std::vector<std::string>& args) {
    rs232::CloseCom(1);
    sim_.reset();
    sim_ = StartDecade(args);
}

void SimLinkTest::Open(const std::vector<std::string>& args, int model, int threshold) {
    StartSim(args);
    ASSERT_TRUE(sim_->ok());
    ConnectCom1(model, threshold);
}

Lines SimLinkTest::Received(bool withLineEnds) {
    std::string reply;
    Communic(0, "*IDN?", reply);
    Lines lines = withLineEnds ? sim_->Bytes() : sim_->Lines();
    sim_->ClearTranscript();
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) {
        EXPECT_EQ(sim::Transcript::StripLineEnd(lines.back()), "*IDN?");
        lines.pop_back();
    }
    return lines;
}

void PanelLinkTest::TearDown() {
    CloseCommunic();
    SimLinkTest::TearDown();
}

LinkedPty::LinkedPty(const std::string& linkPath) : linkPath_(linkPath) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* slavePath = ::ptsname(master_);
    if (slavePath == nullptr) return;
    slave_ = ::open(slavePath, O_RDWR | O_NOCTTY);
    termios raw{};
    if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0) return;
    ::cfmakeraw(&raw);
    if (::tcsetattr(slave_, TCSANOW, &raw) != 0) return;
    ok_ = ::symlink(slavePath, linkPath.c_str()) == 0;
}

LinkedPty::~LinkedPty() {
    if (ok_) ::unlink(linkPath_.c_str());
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool LinkedPty::Write(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void ExpectPassesWithoutGpibLibrary(const std::string& filter) {
    ExpectChildPasses(filter, ChildRun{{{"LD_LIBRARY_PATH", ""}}, {}, {}});
}

void ExpectChildPasses(const std::string& filter, const ChildRun& run) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : run.environment) {
        if (value.empty()) {
            environment.remove(QString::fromStdString(name));
        } else {
            environment.insert(QString::fromStdString(name), QString::fromStdString(value));
        }
    }
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    if (!run.workingFolder.empty()) {
        child.setWorkingDirectory(QString::fromStdString(run.workingFolder));
    }
    QStringList arguments;
    for (const std::string& word : run.wrapper) arguments << QString::fromStdString(word);
    arguments << QCoreApplication::applicationFilePath() << "--gtest_also_run_disabled_tests"
              << QString::fromStdString("--gtest_filter=" + filter);
    const QString program = arguments.takeFirst();
    child.start(program, arguments);
    ASSERT_TRUE(child.waitForFinished(60000));
    const std::string output = QString::fromLocal8Bit(child.readAll()).toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

void OpenGpib(int address) {
    ui::SetCtrlVal(panelHandle, RING, 1);
    ComTypeCB(panelHandle, RING, ui::EVENT_COMMIT, nullptr, 0, 0);
    ui::SetCtrlVal(panelHandle, NUM_ADR, address);
    ClickCom();
}
