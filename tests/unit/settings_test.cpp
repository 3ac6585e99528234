// Reading and writing the settings file without the event loop.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/panel.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"

namespace {

struct LineCase {
    const char* line;
    std::optional<int> language, type, address, com, rate;
};

class ParseLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseLine, KeysAndValues) {
    const LineCase& c = GetParam();
    const SettingsLine s = ParseSettingsLine(c.line);
    EXPECT_EQ(s.language, c.language);
    EXPECT_EQ(s.type, c.type);
    EXPECT_EQ(s.address, c.address);
    EXPECT_EQ(s.com, c.com);
    EXPECT_EQ(s.rate, c.rate);
}

const std::optional<int> no;
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Settings, ParseLine,
    ::testing::Values(
        //       line                    language type address com          rate
        LineCase{"Language = 1",         1,       no,  no,     no,          no},
        LineCase{"Language=1",           1,       no,  no,     no,          no},
        LineCase{"LANGUAGE = 2",         2,       no,  no,     no,          no},
        LineCase{"Language =   -1",      -1,      no,  no,     no,          no},
        LineCase{"Type = 1",             no,      1,   no,     no,          no},
        LineCase{"Type=1",               no,      no,  no,     no,          no},  // only language has that form
        LineCase{"Address = 5",          no,      no,  5,      no,          no},
        LineCase{"Com = 12",             no,      no,  no,     12,          no},
        LineCase{"com = 12x",            no,      no,  no,     12,          no},
        LineCase{"Rate = 19200",         no,      no,  no,     no,          19200},
        LineCase{"  Rate = 19200",       no,      no,  no,     no,          no},  // key not at the start
        LineCase{"Rate = fast",          no,      no,  no,     no,          no},  // no number: ignored
        LineCase{"Rate =",               no,      no,  no,     no,          no},
        LineCase{"Com = 99999999999",    no,      no,  no,     2147483647,  no},
        LineCase{"Nothing = 3",          no,      no,  no,     no,          no}));
// clang-format on

std::vector<std::string> ReadLines(const std::string& content) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    SettingsLineReader reader(f);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(&line)) lines.push_back(line);
    std::fclose(f);
    return lines;
}

TEST(SettingsLines, CutAtTwentyStopAtEmptyLineAndDropCrOfLineEnd) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ReadLines("Language = 1\nType = 1\n"), (V{"Language = 1", "Type = 1"}));
    EXPECT_EQ(ReadLines("Language = 1\n\nType = 1\n"), (V{"Language = 1"}));
    EXPECT_EQ(ReadLines("Language = 1\r\n\r\nType = 1\r\n"), (V{"Language = 1"}));
    EXPECT_EQ(ReadLines("Com =               12\nRate = 300"),
              (V{"Com =               ", "Rate = 300"}));
    EXPECT_EQ(ReadLines("12345678901234567890\r\nx"), (V{"12345678901234567890", "x"}));
    EXPECT_EQ(ReadLines(std::string("a\0b\n", 4)), (V{std::string("a\0b", 3)}));
    EXPECT_EQ(ReadLines(""), V{});
}

TEST(SettingsLines, HugeLineAndGarbageAreQuick) {
    std::string huge(10 * 1024 * 1024, 'x');
    huge = "Com = 7" + huge + "\nRate = 300\n";
    std::string garbage;
    for (int i = 0; i < 4 * 1024 * 1024; ++i) garbage.push_back(static_cast<char>((i * 131) % 251));
    const auto start = std::chrono::steady_clock::now();
    const auto lines = ReadLines(huge);
    ReadLines(garbage);
    const auto took = std::chrono::steady_clock::now() - start;
    // The line after the huge one lies beyond the bound of what is read.
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), kSettingsLineLength);
    EXPECT_EQ(ParseSettingsLine(lines[0]).com, 7);
    EXPECT_LT(took, std::chrono::seconds(2));
}

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Ombrastel.ini").toStdString();
        LoadMainPanelForTest();
    }
    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    QTemporaryDir dir;
    std::string path;
};

TEST_F(SettingsFile, LaterLineWinsAndInterfaceFollowsTheRing) {
    Write("Type = 1\nType = 0\nAddress = 7\nCom = 300\nRate = 4800\n");
    ReadSettingsFile(panelHandle, path);
    int v = 0;
    ui::GetCtrlVal(panelHandle, RING, &v);
    EXPECT_EQ(v, 0);
    ui::GetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 0) << "RS-232 in effect: no GPIB address shown";
    ui::GetCtrlAttribute(panelHandle, SERIAL, ui::ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 1);
    ui::GetCtrlVal(panelHandle, SERIAL, &v);
    EXPECT_EQ(v, 1) << "no port 300: the ring keeps COM1";
    ui::GetCtrlVal(panelHandle, NUM_ADR, &v);
    EXPECT_EQ(v, 7);
    ui::GetCtrlVal(panelHandle, RATE, &v);
    EXPECT_EQ(v, 4800);
}

TEST_F(SettingsFile, TypeNoItemCarriesChangesNothing) {
    Write("Type = 5\nAddress = 99\n");
    ReadSettingsFile(panelHandle, path);
    int v = -1;
    ui::GetCtrlVal(panelHandle, RING, &v);
    EXPECT_EQ(v, 0);
    ui::GetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, &v);
    EXPECT_EQ(v, 0);
    ui::GetCtrlVal(panelHandle, NUM_ADR, &v);
    EXPECT_EQ(v, 30) << "an address beyond the range is limited to it";
}

TEST_F(SettingsFile, WrittenThroughATemporaryFileInTheSameFolder) {
    Write("old contents\n");
    language = 1;
    ui::SetCtrlVal(panelHandle, RING, 1);
    ui::SetCtrlVal(panelHandle, NUM_ADR, 12);
    ui::SetCtrlVal(panelHandle, SERIAL, 256);
    ui::SetCtrlVal(panelHandle, RATE, 115200);
    ASSERT_TRUE(WriteSettingsFile(panelHandle, path));
    EXPECT_EQ(Read(), "Language = 1\nType = 1\nAddress = 12\nCom = 256\nRate = 115200\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Ombrastel.ini"})
        << "no temporary file is left behind";
}

TEST_F(SettingsFile, UnwritablePlaceWritesNothing) {
    const std::string folder = dir.filePath("Ombrastel.ini").toStdString();
    QDir(dir.path()).mkdir("Ombrastel.ini");  // a folder where the file would go
    EXPECT_FALSE(WriteSettingsFile(panelHandle, folder));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{});
}

TEST(SettingsLanguage, CorrectedIntoRange) {
    const std::pair<int, int> cases[] = {{0, 3}, {4, 3}, {-1, 3}, {1, 1}, {2, 2}, {3, 3}};
    for (auto [in, out] : cases) {
        language = in;
        CorrectLanguage();
        EXPECT_EQ(language, out) << in;
    }
}

}  // namespace
