// The window title names the connected decade in the chosen language.
#include "app/title.h"

#include <gtest/gtest.h>

#include <string>

#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"

namespace {

class TitleTest : public testing::Test {
  protected:
    void SetUp() override {
        handle_ = LoadMainPanelForTest(3);
        ASSERT_GE(handle_, 0) << "the main panel did not load";
    }
    void TearDown() override { ResetSharedState(); }

    std::string Title() const { return ui::GetPanelTitle(handle_); }

    int handle_ = -1;
};

struct TitleCase {
    int language;
    const char* model;
    int serial;
    float firmware;
    const char* expected;
};

TEST_F(TitleTest, AllFormsInBothLanguages) {
    const TitleCase cases[] = {
        {3, "", 0, 0.0f, "Ombrastel"},
        {3, "V330A", 0, 0.0f, "Ombrastel - V330A"},
        {3, "V330A", 1234, 0.0f, "Ombrastel - V330A, s.n. 1234"},
        {3, "V330A", 0, 1.02f, "Ombrastel - V330A, SW version 1.020"},
        {3, "V330A", 1234, 1.02f, "Ombrastel - V330A, s.n. 1234, SW version 1.020"},
        {1, "", 0, 0.0f, "Ombrastel"},
        {1, "V212", 0, 0.0f, "Ombrastel - V212"},
        {1, "V212", 1234, 0.0f, "Ombrastel - V212, v.\xc4\x8d. 1234"},
        {1, "V212", 0, 1.02f, "Ombrastel - V212, verze SW 1.020"},
        {1, "V212", 1234, 1.02f, "Ombrastel - V212, v.\xc4\x8d. 1234, verze SW 1.020"},
        // The mixed setting writes the English title.
        {2, "Burster 4530", 123, 1.0f, "Ombrastel - Burster 4530, s.n. 123, SW version 1.000"},
        // Serial number and version are shown only with a model name.
        {3, "", 1234, 1.02f, "Ombrastel"},
        {1, "", 1234, 1.02f, "Ombrastel"},
        // Edge values.
        {3, "V330", -5, 0.0f, "Ombrastel - V330"},
        {3, "V330", 0, -1.5f, "Ombrastel - V330"},
        {3, "V330", 0, 1.0265f, "Ombrastel - V330, SW version 1.026"},
        {3, "V150", 0, 1.0095f, "Ombrastel - V150, SW version 1.010"},
        {3, "V150", 0, 0.0004f, "Ombrastel - V150, SW version 0.000"},
        {3, "V150", 2147483647, 0.0f, "Ombrastel - V150, s.n. 2147483647"},
    };
    for (const auto& c : cases) {
        language = c.language;
        modelName = c.model;
        serialNumber = c.serial;
        firmwareVersion = c.firmware;
        ui::SetPanelTitle(handle_, "stale");
        SetName();
        EXPECT_EQ(Title(), c.expected) << "language " << c.language << " model " << c.model;
    }
}

TEST_F(TitleTest, ClosedLinkGivesTheProductNameAlone) {
    modelName = "V330A";
    serialNumber = 1234;
    firmwareVersion = 1.02f;
    SetName();
    ASSERT_NE(Title(), "Ombrastel");
    ResetSharedState();  // what a close leaves behind
    panelHandle = handle_;
    SetName();
    EXPECT_EQ(Title(), "Ombrastel");
}

}  // namespace
