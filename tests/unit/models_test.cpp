// Identifying a decade from its identity reply: the token order, the fields after the
// commas and the firmware thresholds.
#include <gtest/gtest.h>

#include <string>

#include "app/shared_state.h"
#include "decade/identity.h"

namespace {

class ModelsTest : public testing::Test {
  protected:
    void SetUp() override { ResetSharedState(); }
    void TearDown() override { ResetSharedState(); }
};

struct TokenCase {
    const char* reply;
    int index;
    const char* name;
};

TEST_F(ModelsTest, FindsTheFirstTokenOfTheTable) {
    const TokenCase cases[] = {
        {"LTV,LTVV210,1,1.0", 1, "LTV 210"},
        {"ltv212", 2, "LTV 212"},  // lower case still matches
        {"x,LTV330,5,1.0", 3, "LTV 330"},
        {"LTV150", 4, "LTV 150"},
        {"MAKER,V210,1,1", 1, "V210"},
        {"MAKER,V211,1,1", 6, "V211"},
        {"MAKER,V212,1,1", 2, "V212"},
        {"MAKER,V150,1,1", 4, "V150"},
        {"MAKER,V151,1,1", 5, "V151"},
        {"BURSTER,622,1,1", 2, "Burster 622"},
        {"burster,1427,1,1", 2, "Burster 1427"},
        {"X,KRN-71", 2, "KRN-71"},
        {"X,KRN-72", 1, "KRN-72"},
        {"X,KRN-73", 1, "KRN-73"},
        {"BURSTER,4530,123,1.0", 6, "Burster 4530"},
        {"MAKER,V330A,1,1", 3, "V330A"},  // not taken for "V330"
        {"MAKER,v340a,1,1", 3, "V340A"},
        {"MAKER,V330,1,1", 3, "V330"},
        {"MAKER,V340,1,1", 3, "V340"},
        {"MAKER,V331,1,1", 3, "V331"},
        {"MAKER,V332,1,1", 3, "V332"},
        {"MAKER,V341,1,1", 3, "V341"},
        {"MAKER,V342,1,1", 3, "V342"},
        {"MAKER,V090,1,1", 7, "V090"},
        // The table order decides when two tokens are in one reply.
        {"V090,V330A", 3, "V330A"},
        {"X,V212,V210", 1, "V210"},
        // A token in the serial field counts like one in the model field.
        {"MAKER,MODEL,V151", 5, "V151"},
    };
    for (const auto& c : cases) {
        decadeModel = 99;
        modelName = "stale";
        FindModel(c.reply);
        EXPECT_EQ(decadeModel, c.index) << c.reply;
        EXPECT_EQ(modelName, c.name) << c.reply;
    }
}

TEST_F(ModelsTest, NoTokenLeavesNoModel) {
    for (const char* reply : {"", "MAKER,V2,1,1", "V33", "BURSTER 4530", "\r"}) {
        decadeModel = 5;
        modelName = "V151";
        FindModel(reply);
        EXPECT_EQ(decadeModel, 0) << reply;
        EXPECT_EQ(modelName, "") << reply;
    }
}

TEST_F(ModelsTest, OnlyTheFirstFiftyBytesOfAReplyCount) {
    // A token that starts after byte 50 lies beyond what the link delivers.
    const std::string filler(48, 'x');
    FindModel(filler + "V090");
    EXPECT_EQ(decadeModel, 0);
    FindModel(filler.substr(0, 46) + "V090");
    EXPECT_EQ(decadeModel, 7);
    // The reply is C text: nothing after a NUL byte is searched.
    FindModel(std::string("MAKER\0V212", 10));
    EXPECT_EQ(decadeModel, 0);
}

TEST_F(ModelsTest, SplitsSerialAndFirmware) {
    struct Case {
        std::string reply;
        int serial;
        float firmware;
    };
    const Case cases[] = {
        {"BURSTER,4530,123,1.0", 123, 1.0f},
        {"MAKER,V330,0123,1.02\r", 83, 1.02f},  // octal serial
        {"MAKER,V330,0x1F,1.02", 31, 1.02f},
        {"MAKER,V330,12AB,1.02", 12, 1.02f},
        {"MAKER,V330, -7 ,2.5e0", -7, 2.5f},
        {"MAKER,V330,,", 0, 0.0f},
        {"MAKER,V330,abc,xyz", 0, 0.0f},
        {"MAKER,V330", 0, 0.0f},  // one comma: nothing
        {"MAKER,V330,77", 77, 0.0f},
        {"A,B,5,1.5,EXTRA,9.9", 5, 1.5f},
        {"A,B,99999999999999,1e99", 2147483647, 0.0f},  // saturated, out of float range
        {"A,B,1,nan", 1, 0.0f},
        {"", 0, 0.0f},
    };
    for (const auto& c : cases) {
        serialNumber = 42;
        firmwareVersion = 4.2f;
        ScanDeviceInfo(c.reply);
        EXPECT_EQ(serialNumber, c.serial) << c.reply;
        EXPECT_EQ(firmwareVersion, c.firmware) << c.reply;
    }
}

TEST_F(ModelsTest, FieldsBeyondTheFiftyByteCutAreAbsent) {
    // The fourth field starts at byte 50: the link never delivers it.
    const std::string reply = "MAKER,V330,1," + std::string(37, 'x') + ",1.5";
    ASSERT_EQ(reply.find(",1.5"), 50u);
    ScanDeviceInfo(reply);
    EXPECT_EQ(serialNumber, 1);
    EXPECT_EQ(firmwareVersion, 0.0f);
}

TEST_F(ModelsTest, FirmwareThresholdsAreStrictOnTheStoredFloat) {
    struct Case {
        int model;
        const char* version;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {3, "1.03",   1},
        {3, "1.0265", 0},  // the float of 1.0265 lies just below
        {3, "1.0266", 1},
        {3, "1.02",   0},
        {4, "1.01",   1},
        {4, "1.009",  0},
        {4, "1.0095", 1},  // the float of 1.0095 lies just above
        {2, "9.9",    0},
        {5, "9.9",    0},
        {0, "9.9",    0},
    };
    // clang-format on
    for (const auto& c : cases) {
        newFirmware = 0;
        decadeModel = c.model;
        ScanDeviceInfo(std::string("M,X,1,") + c.version);
        ApplyFirmwareRule();
        EXPECT_EQ(newFirmware, c.expected) << "class " << c.model << " version " << c.version;
    }
    // The rule only ever sets the flag.
    newFirmware = 1;
    decadeModel = 3;
    firmwareVersion = 1.0f;
    ApplyFirmwareRule();
    EXPECT_EQ(newFirmware, 1);
}

}  // namespace
