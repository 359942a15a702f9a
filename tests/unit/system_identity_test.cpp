#include "client_folder.hpp"
#include "monitor/system_identity.hpp"

using SystemIdentity = ClientFolder;

TEST_F(SystemIdentity, CollectsWhatIsKnownOfTheFourFacts) {
    fake::platform().megahertz = 2400;
    fake::platform().processorName = std::string(70, 'n');
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "GenuineIntel");
    EXPECT_EQ(std::string(state_.cpuName), std::string(49, 'n')); // a 50-byte name
    EXPECT_EQ(state_.cpuMhz, 2400.0f);
    EXPECT_EQ(state_.totalMemory, 8ull << 30);

    state_ = MonitorState{}; // an unknown processor: no name, no clock
    fake::platform().hasProcessorInfo = false;
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "GenuineIntel");
    EXPECT_STREQ(state_.cpuName, "");
    EXPECT_EQ(state_.cpuMhz, 0.0f);

    state_ = MonitorState{}; // without cpuid nothing is collected
    fake::platform().hasCpuid = 0;
    identifySystem(state_);
    EXPECT_STREQ(state_.cpuVendor, "");
    EXPECT_EQ(state_.totalMemory, 0u);
}
