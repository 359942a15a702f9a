#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/display/display.hpp"
#include "monitor/monitor_main.hpp"

#include <cstdlib>
#include <vector>

class StatusFrame : public ClientFolder {
protected:
    // Draws one frame of a ready window and returns its renderer steps.
    std::vector<std::string> frameFor(int percent) {
        state_.progressPercent = percent;
        fake::platform().renderSteps.clear();
        drawStatusFrame(state_);
        return fake::platform().renderSteps;
    }

    void SetUp() override {
        ClientFolder::SetUp();
        state_.cpuNumber = 3;
        state_.unitCount = 2;
        copyText(state_.unitName, "p2665_IBX");
        copyText(state_.coreName, "GROMACS");
        state_.unitPoints = 100;
        createFontLists(state_);
    }
};

TEST_F(StatusFrame, DrawsPanelBarAndFiveLines) {
    const std::vector<std::string> expected = {
        "clear",
        "translate -0.75 -0.7 0",
        "vertex 0.4 0.4 0.4 -0.02 -0.02 -0.8",
        "vertex 0.4 0.4 0.4 1.52 -0.02 -0.8",
        "vertex 0.4 0.4 0.4 1.52 0.52 -0.8",
        "vertex 0.4 0.4 0.4 -0.02 0.52 -0.8",
        "vertex 0.2 0 0 0 0 -0.8",
        "vertex 0.9 0 0 0.746269 0 -0.8",
        "vertex 0.9 0 0 0.746269 0.5 -0.8",
        "vertex 0.2 0 0 0 0.5 -0.8",
        "colour 1 1 1",
        "translate 0 0 -1",
        "raster -0.95 0.7",
        "text 1 CPU #: 3         Work Unit #: 2",
        "raster -0.95 0.4",
        "text 1 Name: p2665_IBX",
        "raster -0.95 0.1",
        "text 1 Core: GROMACS     Points: 100",
        "raster -0.95 -0.5",
        "text 1                 50%             ",
        "colour 0 0 0.6",
        "raster -0.95 -0.91",
        "text 1 Vigilon - folding companion",
        "swap",
    };
    EXPECT_EQ(frameFor(50), expected);
}

TEST_F(StatusFrame, BarWidthFollowsProgress) {
    const struct {
        int percent;
        const char* rightEdge; // the bar's right vertices' x
        bool insidePanel;      // the panel ends at 1.52
    } cases[] = {
        {0, "0", true},
        {100, "1.49254", true},
        {102, "1.52239", false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> steps = frameFor(c.percent);
        ASSERT_EQ(steps.size(), 24u);
        std::string edge = std::string("vertex 0.9 0 0 ") + c.rightEdge + " ";
        EXPECT_EQ(steps[7], edge + "0 -0.8") << c.percent;
        EXPECT_EQ(steps[8], edge + "0.5 -0.8") << c.percent;
        EXPECT_EQ(std::strtod(c.rightEdge, nullptr) <= 1.52, c.insidePanel);
        EXPECT_EQ(steps[19],
                  "text 1                 " + std::to_string(c.percent) + "%             ");
    }
}

TEST_F(StatusFrame, NameBytesReachTheFontListsAsGiven) {
    // Bytes outside 32..127 are passed on; the font lists have none for
    // them, so they draw nothing and leave no gap.
    copyText(state_.unitName, "p26\xe9\x01_IBX");
    std::vector<std::string> steps = frameFor(1);
    EXPECT_EQ(steps[15], "text 1 Name: p26\xe9\x01_IBX");
}

TEST_F(StatusFrame, TooltipIsCutAt127Characters) {
    std::string longName(74, 'n');
    copyText(state_.unitName, longName.c_str());
    copyText(state_.coreName, "GROMACS-XXXXXX");
    state_.window = &state_; // any window: the icon exists
    refreshTrayTip(state_);
    std::string tip = fake::platform().trayRecords.back().tip;
    std::string full = "CPU#: 3    WU#: 2\nName: " + longName +
                       "\nCore: GROMACS-XXXXXX     Points: 100\n0% Completed";
    EXPECT_EQ(tip, full.substr(0, 127));
    EXPECT_EQ(fake::platform().trayRecords.back().flags, 4u);
}
