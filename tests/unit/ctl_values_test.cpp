// The values and run files a script hands ombrastel-ctl, and the names it takes for
// functions, units, standards and scales.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <thread>

#include "decade/run_file.h"
#include "decade/model.h"
#include "decade/names.h"

namespace {

TEST(CtlValues, PrefixesScaleTheNumberAndAnythingElseIsNoValue) {
    const struct {
        const char* text;
        double value;
    } good[] = {{"2.5k", 2500.0}, {"47n", 47e-9},  {"150", 150.0},   {"1.5M", 1.5e6},
                {"-50", -50.0},   {"100u", 1e-4},  {"100\xC2\xB5", 1e-4}, {"3m", 3e-3},
                {"1e3", 1000.0},  {"2,5k", 2500.0}, {"10p", 1e-11}, {" 12 ", 12.0}};
    for (const auto& c : good) {
        SCOPED_TRACE(c.text);
        const std::optional<double> v = decade::ParseValue(c.text);
        ASSERT_TRUE(v.has_value());
        EXPECT_NEAR(*v, c.value, std::abs(c.value) * 1e-12);
    }
    for (const char* bad : {"", "k", "2.5x", "2.5kk", "1e400", "nan", "inf", "2 k", "0x10"}) {
        EXPECT_FALSE(decade::ParseValue(bad).has_value()) << bad;
    }
}

TEST(CtlValues, RunFileRowsHeaderCommentsAndFaults) {
    std::vector<decade::RunStep> steps;
    std::string why;
    ASSERT_TRUE(decade::ParseRunFile("value,dwell\r\n-50,30\n\n# next\n1.5k,0.5,resistance\n", &steps, &why))
        << why;
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].value, -50.0);
    EXPECT_EQ(steps[0].dwellSeconds, 30.0);
    EXPECT_EQ(steps[0].line, 2);
    EXPECT_EQ(steps[1].value, 1500.0);
    EXPECT_EQ(steps[1].function, "resistance");
    EXPECT_EQ(steps[1].line, 5);

    const struct {
        const char* text;
        const char* why;
    } bad[] = {{"", "the file holds no step"},
               {"1,2\nx,3\n", "line 2: \"x\" is no value"},
               {"1,-2\n", "line 1: \"-2\" is no dwell time in seconds"},
               {"1\n2\n", "line 1: a row is value,dwell_seconds with an optional function"},
               {"1,2,pt100,4\n", "line 1: a row is value,dwell_seconds with an optional function"},
               // A first row with a number in it is a step, not a header to skip.
               {"x,30\n100,1\n", "line 1: \"x\" is no value"},
               {"1O0,30\n", "line 1: \"1O0\" is no value"},
               {"\xEF\xBB\xBF" "value;dwell\n100;1\n", "line 2: a row is value,dwell_seconds with an optional function"},
               // A dwell the clocks cannot count (1e10 s overflowed to no dwell at all).
               {"100,1e10\n", "line 1: the dwell \"1e10\" is longer than the 1000000000 s a step can take"},
               {"h,d\n100,1000000000.5\n",
                "line 2: the dwell \"1000000000.5\" is longer than the 1000000000 s a step can take"}};
    for (const auto& c : bad) {
        EXPECT_FALSE(decade::ParseRunFile(c.text, &steps, &why)) << c.text;
        EXPECT_EQ(why, c.why);
    }
}

// A byte-order mark is no part of the first value; a header holds no number at all.
TEST(CtlValues, RunFileByteOrderMarkAndHeaders) {
    const struct {
        const char* text;
        std::vector<double> values;
        int firstLine;
    } cases[] = {
        {"\xEF\xBB\xBF" "100,30\n200,1\n", {100, 200}, 1},
        {"\xEF\xBB\xBF" "value,dwell_seconds,function\r\n5,1\n", {5}, 2},
        {"# made at the bench\nvalue,dwell\n-50,0.5\n", {-50}, 3},
        {"1,1000000000\n", {1}, 1},
    };
    for (const auto& c : cases) {
        std::vector<decade::RunStep> steps;
        std::string why;
        ASSERT_TRUE(decade::ParseRunFile(c.text, &steps, &why)) << c.text << why;
        std::vector<double> values;
        for (const decade::RunStep& s : steps) values.push_back(s.value);
        EXPECT_EQ(values, c.values) << c.text;
        EXPECT_EQ(steps.front().line, c.firstLine) << c.text;
    }
}

// A run file is read whole or refused, never cut at a bound, and a FIFO that gives nothing
// ends the reading as soon as the caller says so.
TEST(CtlValues, RunFileIsReadWholeOrRefusedAndReadingCanBeStopped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const auto sparse = [&](const std::string& name, long long size) {
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    };
    const std::string fifo = folder + "/fifo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Something that writes into the FIFO while it is read: bytes, then the end.
    const auto feed = [&fifo](std::string bytes) {
        return std::thread([&fifo, bytes] {
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
                const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            if (fd >= 0) ::close(fd);
        });
    };
    const std::string limit = "the 16777216 bytes (16 MiB) a run file may hold";
    const struct {
        const char* what;
        std::string path;
        std::string fed;  // into the FIFO, when the path is it
        decade::RunFileRead read;
        std::string why;
        std::size_t steps;
    } cases[] = {
        {"100 MB", sparse("big.csv", 100000000), {}, decade::RunFileRead::Refused,
         "the file is 100000000 bytes, more than " + limit, 0},
        {"one byte over", sparse("over.csv", decade::kMaxRunFileBytes + 1), {}, decade::RunFileRead::Refused,
         "the file is 16777217 bytes, more than " + limit, 0},
        {"a FIFO", fifo, "value,dwell\n1,0\n2,30\n", decade::RunFileRead::Read, "", 2},
        {"a FIFO over the bound", fifo, std::string(decade::kMaxRunFileBytes - 4, '#') + "\n1,0\n2,30\n",
         decade::RunFileRead::Refused, "the file holds more than " + limit, 0},
        {"missing", folder + "/none.csv", {}, decade::RunFileRead::Unreadable, "No such file or directory", 0},
        {"a folder", folder, {}, decade::RunFileRead::Unreadable, "Is a directory", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::thread writer = c.path == fifo ? feed(c.fed) : std::thread();
        std::vector<decade::RunStep> steps;
        std::string why;
        EXPECT_EQ(decade::ReadRunFile(c.path, &steps, &why, {}), c.read);
        if (writer.joinable()) writer.join();
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(steps.size(), c.steps);
    }
    // Nobody writes (no writer yet, or one that stalls): the stop ends it within 100 ms.
    for (const bool stalled : {false, true}) {
        SCOPED_TRACE(stalled ? "stalled writer" : "no writer");
        const int writer = stalled ? ::open(fifo.c_str(), O_RDWR) : -1;  // holds it open, writes a part
        if (stalled) {
            ASSERT_EQ(::write(writer, "100,30\n2", 8), 8);
        }
        const auto begin = std::chrono::steady_clock::now();
        const auto stopAt = begin + std::chrono::milliseconds(300);
        std::vector<decade::RunStep> steps;
        std::string why;
        EXPECT_EQ(decade::ReadRunFile(fifo, &steps, &why, [&] { return std::chrono::steady_clock::now() >= stopAt; }),
                  decade::RunFileRead::Stopped);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_GE(seconds, 0.3);
        EXPECT_LT(seconds, 0.6);
        EXPECT_TRUE(steps.empty());
        if (writer >= 0) ::close(writer);
    }
}

TEST(CtlValues, NamesOfFunctionsUnitsStandardsAndScalesGoBothWays) {
    using namespace decade;
    for (int code : {fn::kBasic, fn::kPt385_68, fn::kPt385_90, fn::kPt3916, fn::kPt3926, fn::kPtUser,
                     fn::kNickel, fn::kOpen, fn::kShort, fn::kPt100, fn::kPt1000, fn::kNi1000,
                     fn::kUserFunctionBase + 4, fn::kTimingBase}) {
        const std::string name = names::FunctionName(code, false);
        EXPECT_EQ(names::FunctionCode(name), code) << name;
        EXPECT_EQ(names::FunctionCode(std::to_string(code)), code);
    }
    EXPECT_EQ(names::FunctionName(fn::kBasic, true), "capacitance");
    EXPECT_EQ(names::FunctionCode("Capacitance"), fn::kBasic);
    EXPECT_EQ(names::FunctionName(fn::kUserFunctionBase + 1, false), "user2");
    for (const char* bad : {"user0", "user1001", "timing", "pt", "42", ""}) {
        EXPECT_FALSE(names::FunctionCode(bad).has_value()) << bad;
    }
    EXPECT_EQ(names::UnitIndex("k"), 2);
    EXPECT_EQ(names::UnitIndex("F"), 1);
    EXPECT_FALSE(names::UnitIndex("R").has_value());
    EXPECT_EQ(names::StandardIndex("US-JIS"), 1);
    EXPECT_EQ(names::ScaleIndex("its90"), 0);
    EXPECT_EQ(names::ScaleName(1), "ipts68");
}

// The names the panel shows are names of functions too, in both languages and any letter
// case; a preset's name is read without its quotes.
TEST(CtlValues, ShownNamesInBothLanguagesAndPresetNamesWithoutQuotes) {
    using namespace decade;
    const struct {
        const char* word;
        int code;
    } shown[] = {
        {"Platinum Pt385 (90)", fn::kPt385_90}, {"Platina Pt385 (90)", fn::kPt385_90},
        {"platina pt385 (90)", fn::kPt385_90},  {"PLATINUM PT385 (68)", fn::kPt385_68},
        {"PLATINA UŽIVATELSKÁ", fn::kPtUser},   {"platina uživatelská", fn::kPtUser},
        {"Nikl Ni1000", fn::kNi1000},           {"Kapacita", fn::kBasic},
        {"Odpor", fn::kBasic},                  {"Rozpojeno", fn::kOpen},
        {"Zkrat", fn::kShort},                  {"Platinum Pt100", fn::kPt100},
    };
    for (const auto& c : shown) EXPECT_EQ(names::FunctionCode(c.word), c.code) << c.word;
    for (const char* bad : {"Platinum Pt385", "Platina", "Platinum  Pt100", "Unknown", "Neznámá"}) {
        EXPECT_FALSE(names::FunctionCode(bad).has_value()) << bad;
    }
    for (int code : {fn::kBasic, fn::kPt385_90, fn::kPtUser, fn::kNi100}) {
        const char* english = names::ShownFunctionEnglish(code, false);
        ASSERT_NE(english, nullptr);
        EXPECT_EQ(names::FunctionCode(english), code);
        EXPECT_EQ(names::FunctionCode(names::ShownFunctionTranslated(code, false)), code);
        EXPECT_NE(names::ShownFunctionTranslated(code, false), english) << english;
    }
    EXPECT_STREQ(names::ShownFunctionEnglish(fn::kBasic, true), "Capacitance");
    EXPECT_EQ(names::ShownFunctionEnglish(fn::kUserFunctionBase, false), nullptr);
    EXPECT_STREQ(names::PresetKindEnglish(0), "User function ");

    const struct {
        std::string_view reply;
        const char* name;
    } presets[] = {
        {"\"Pt50\"\r\n", "Pt50"}, {"\"Pt 100 copy\"", "Pt 100 copy"}, {"\"cut", "cut"},
        {"Ramp\r", "Ramp"},       {"\"\"", ""},               {std::string_view("\"a\0b\"", 5), "a"},
        {"\"x\"y\"", "x"},
    };
    for (const auto& c : presets) EXPECT_EQ(names::PresetNameText(c.reply), c.name) << c.reply;
}

// What the Sequence window writes, ombrastel-ctl reads back unchanged; values as typed, not
// as the arithmetic left them.
TEST(CtlValues, RunFileWrittenReadsBackTheSameSteps) {
    std::vector<decade::RunStep> written(3);
    written[0].value = 0.1 + 0.2;
    written[0].dwellSeconds = 1.5;
    written[0].function = "pt385-90";
    written[1].value = 4.7e-8;
    written[2].value = -1234567.125;
    written[2].dwellSeconds = 0.2;
    const std::string text = decade::FormatRunFile(written);
    EXPECT_EQ(text, "value,dwell_seconds,function\n0.3,1.5,pt385-90\n4.7e-08,0\n-1234567.125,0.2\n");
    std::vector<decade::RunStep> read;
    std::string why;
    ASSERT_TRUE(decade::ParseRunFile(text, &read, &why)) << why;
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].value, 4.7e-8);
    EXPECT_EQ(read[2].value, -1234567.125);
    EXPECT_EQ(read[0].function, "pt385-90");
    EXPECT_EQ(read[1].function, "");
}

TEST(CtlValues, RampsStopAtTheEndAndRefuseWhatIsNoRamp) {
    EXPECT_EQ(decade::RampByStep(-50, 150, 50), (std::vector<double>{-50, 0, 50, 100, 150}));
    EXPECT_EQ(decade::RampByStep(0.1, 0.4, 0.1), (std::vector<double>{0.1, 0.2, 0.3, 0.4}));
    EXPECT_EQ(decade::RampByStep(100, 0, 40), (std::vector<double>{100, 60, 20}));
    EXPECT_EQ(decade::RampByStep(7, 7, 1), (std::vector<double>{7}));
    EXPECT_EQ(decade::RampByCount(100, 0, 3), (std::vector<double>{100, 50, 0}));
    EXPECT_EQ(decade::RampByCount(1, 2, 1), (std::vector<double>{1}));
    const auto longest = decade::RampByStep(0, 0.9999, 1e-4);
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->size(), 10000u);
    EXPECT_DOUBLE_EQ(longest->back(), 0.9999);
    EXPECT_FALSE(decade::RampByStep(0, 1, 1e-4).has_value()) << "10001 values";
    EXPECT_FALSE(decade::RampByStep(0, 1, 0).has_value());
    EXPECT_FALSE(decade::RampByStep(0, INFINITY, 1).has_value());
    EXPECT_FALSE(decade::RampByCount(0, 1, 0).has_value());
    EXPECT_FALSE(decade::RampByCount(0, 1, decade::kMaxRampSteps + 1).has_value());
}

}  // namespace
