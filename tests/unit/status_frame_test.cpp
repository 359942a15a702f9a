#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/display/display.hpp"

#include <vector>

class StatusFrame : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        state_.cpuNumber = 3;
        state_.unitCount = 2;
        copyText(state_.unitName, "p2665_IBX");
        copyText(state_.coreName, "GROMACS");
        state_.unitPoints = 100;
        createFontLists(state_);
    }

    // Draws one frame of a ready window; returns its steps that begin with prefix.
    std::vector<std::string> frameFor(int percent, const std::string& prefix) {
        state_.progressPercent = percent;
        fake::platform().calls.clear();
        drawStatusFrame(state_);
        std::vector<std::string> steps;
        for (const std::string& step : fake::platform().calls) {
            if (step.rfind(prefix, 0) == 0) {
                steps.push_back(step);
            }
        }
        return steps;
    }
};

TEST_F(StatusFrame, DrawsFiveLinesAndSwapsOnce) {
    const std::vector<std::string> expected = {
        "text 1 CPU #: 3         Work Unit #: 2", "text 1 Name: p2665_IBX",
        "text 1 Core: GROMACS     Points: 100", "text 1                 50%             ",
        "text 1 Vigilon - folding companion"};
    EXPECT_EQ(frameFor(50, "text"), expected);
    EXPECT_EQ(fake::countCalls("swap"), 1);
    EXPECT_EQ(fake::platform().calls.back(), "swap");
    // Bytes outside 32..127 are passed on; the font lists have none for
    // them, so they draw nothing and leave no gap.
    copyText(state_.unitName, "p26\xe9\x01_IBX");
    EXPECT_EQ(frameFor(1, "text")[1], "text 1 Name: p26\xe9\x01_IBX");
}

TEST_F(StatusFrame, TheBarEndsWhereTheProgressPutsIt) {
    const std::pair<int, const char*> cases[] = {
        {0, "0"}, {50, "0.746269"}, {100, "1.49254"}, {102, "1.52239"}}; // the panel ends at 1.52
    for (const auto& [percent, edge] : cases) {
        const std::vector<std::string> vertices = frameFor(percent, "vertex 0.9 0 0 ");
        const std::string prefix = std::string("vertex 0.9 0 0 ") + edge;
        EXPECT_EQ(vertices, (std::vector<std::string>{prefix + " 0 -0.8", prefix + " 0.5 -0.8"}));
    }
}

TEST_F(StatusFrame, TooltipIsCutAt127Characters) {
    std::string longName(74, 'n');
    copyText(state_.unitName, longName.c_str());
    copyText(state_.coreName, "GROMACS-XXXXXX");
    state_.window = &state_; // any window: the icon exists
    refreshTrayTip(state_);
    std::string full = "CPU#: 3    WU#: 2\nName: " + longName +
                       "\nCore: GROMACS-XXXXXX     Points: 100\n0% Completed";
    EXPECT_EQ(fake::platform().trayRecords.back().tip, full.substr(0, 127));
    EXPECT_EQ(fake::platform().trayRecords.back().flags, 4u);
}
