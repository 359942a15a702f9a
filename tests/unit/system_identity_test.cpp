#include "client_folder.hpp"
#include "monitor/system_identity.hpp"

using SystemIdentity = ClientFolder;

TEST_F(SystemIdentity, CollectsTheFourFacts) {
    fake::platform().processorName = " Intel(R) Pentium(R) 4 CPU 2.40GHz";
    fake::platform().megahertz = 2400;
    fake::platform().memory = 6ull << 30;
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "GenuineIntel");
    EXPECT_STREQ(state_.cpuName, " Intel(R) Pentium(R) 4 CPU 2.40GHz");
    EXPECT_FLOAT_EQ(state_.cpuMhz, 2400.0f);
    EXPECT_EQ(state_.totalMemory, 6ull << 30);
}

TEST_F(SystemIdentity, NameIsCutToFortyNineCharacters) {
    fake::platform().processorName = std::string(70, 'n');
    identifySystem(state_);
    EXPECT_EQ(std::string(state_.cpuName), std::string(49, 'n'));
}

TEST_F(SystemIdentity, WithoutCpuidNothingIsCollected) {
    fake::platform().hasCpuid = 0;
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "");
    EXPECT_STREQ(state_.cpuName, "");
    EXPECT_EQ(state_.cpuMhz, 0.0f);
    EXPECT_EQ(state_.totalMemory, 0u);
}

TEST_F(SystemIdentity, UnknownProcessorKeepsEmptyNameAndZeroClock) {
    fake::platform().hasProcessorInfo = false;
    fake::platform().highestLeaf = 0;
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "GenuineIntel");
    EXPECT_STREQ(state_.cpuName, "");
    EXPECT_EQ(state_.cpuMhz, 0.0f);
}
