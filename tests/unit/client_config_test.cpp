#include "client_folder.hpp"
#include "monitor/client_config.hpp"

using ClientConfig = ClientFolder;

TEST_F(ClientConfig, ReadsTheThreeValues) {
    const struct {
        std::string file;
        int machineId;
        std::string userName;
        int team;
    } cases[] = {
        {"[settings]\nusername=Alice\nteam=1234567\nasknet=no\nmachineid=1234\n", 1234, "Alice",
         1234567},
        {"[settings]\r\nusername=Bob\r\nteam=32\r\n\r\n[clienttype]\r\nmachineid=2\r\n", 2, "Bob",
         32},
        {"username=\nteam=\nmachineid=7\n", 7, "", 0},
        {"username=Two Words\n", 0, "Two", 0},
        {"[settings]\nasknet=no\n", 0, "", 0},
        {"machineid=5\nmachineid=6\n", 5, "", 0}, // the line after a match is passed over
        {"x team=77\n", 0, "", 0},
        {"username=" + std::string(80, 'n') + "\n", 0, std::string(56, 'n'), 0}, // cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        state_ = MonitorState{};
        write("../client.cfg", c.file);
        readClientConfig(state_);
        EXPECT_EQ(state_.machineId, c.machineId);
        EXPECT_EQ(state_.userName, c.userName);
        EXPECT_EQ(state_.teamNumber, c.team);
    }
}

TEST_F(ClientConfig, MissingFileChangesNothing) {
    state_.teamNumber = 9;
    readClientConfig(state_);
    EXPECT_EQ(state_.teamNumber, 9);
}
