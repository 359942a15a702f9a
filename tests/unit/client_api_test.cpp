#include "client_folder.hpp"
#include "monitor/client_api/api_source.hpp"
#include "monitor/client_api/api_unit.hpp"
#include "monitor/client_api/state_document.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_main.hpp"

#include <tuple>

using nlohmann::json;

TEST(StateDocument, ChangesApplyAsTheClientMeansThem) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"({"a":{"b":1}})", R"(["a","b",2])", R"({"a":{"b":2}})"},
        {R"({"u":[1,2]})", R"(["u",-1,3])", R"({"u":[1,2,3]})"},
        {R"({"u":[1]})", R"(["u",-2,[2,3]])", R"({"u":[1,2,3]})"},
        {R"({"a":{"b":1,"c":2}})", R"(["a","b",null])", R"({"a":{"c":2}})"},
        {R"({"u":[1,2,3]})", R"(["u",0,null])", R"({"u":[2,3]})"},
        {R"({})", R"(["u",0,"x",5])", R"({"u":[{"x":5}]})"},
        {R"({})", R"(["g","",{"k":1}])", R"({"g":{"":{"k":1}}})"},
        {R"({"u":[{"p":0.1}]})", R"(["u",0,"p",0.5])", R"({"u":[{"p":0.5}]})"},
    };
    for (const auto& [state, change, result] : cases) {
        json document = json::parse(state);
        EXPECT_TRUE(applyStateChange(document, json::parse(change))) << change;
        EXPECT_EQ(document, json::parse(result)) << change;
    }
}

TEST(StateDocument, BadInputIsRefusedWithoutHarm) {
    json document = json::parse(R"({"units":[{"id":"a"}],"n":1})");
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const char* refused[] = {"{not json",         R"(["units",7,"id","x"])",
                             R"(["n","x",1])",    R"(["units","id",1])",
                             R"(["units",-2,5])", R"([1.5,2])",
                             R"(["only"])",       deep.c_str()};
    for (const char* text : refused) {
        EXPECT_EQ(applyApiMessage(document, text), ApiMessage::Malformed) << text;
    }
    EXPECT_EQ(applyApiMessage(document, R"("ping")"), ApiMessage::Ping);
    EXPECT_EQ(applyApiMessage(document, "42"), ApiMessage::Ignored);
    json empty;
    EXPECT_EQ(applyApiMessage(empty, R"(["units",0,"id","x"])"), ApiMessage::Malformed);
    EXPECT_EQ(applyApiMessage(empty, R"({"units":[]})"), ApiMessage::State);
}

namespace {

std::string unit(const char* id, int number, const char* state, const char* group = "",
                 bool paused = false) {
    return std::string(R"({"id":")") + id + R"(","number":)" + std::to_string(number) +
           R"(,"group":")" + group + R"(","state":")" + state + R"(","paused":)" +
           (paused ? "true" : "false") +
           R"(,"assignment":{"project":18213,"core":{"type":"0xa8"},"credit":12345.6},)"
           R"("wu":{"run":0,"clone":12,"gen":34},"wu_progress":0.437})";
}

std::string stateOf(const std::vector<std::string>& units) {
    std::string text = R"({"config":{"user":"Ann Lee","team":42},"units":[)";
    for (std::size_t i = 0; i < units.size(); ++i) {
        text += (i > 0 ? "," : "") + units[i];
    }
    return text + "]}";
}

} // namespace

TEST(ApiUnitChoice, TheRunningUnitWithTheLowestNumberIsFollowed) {
    const std::tuple<std::vector<std::string>, const char*, const char*, const char*> cases[] = {
        {{unit("a", 5, "RUN")}, "", "", "a"},
        {{unit("a", 5, "RUN", "cpu"), unit("b", 3, "RUN", "gpu")}, "", "cpu", "a"},
        {{unit("a", 5, "RUN", "cpu"), unit("b", 3, "RUN", "gpu")}, "", "", "b"},
        {{unit("a", 5, "UPLOAD"), unit("b", 6, "DOWNLOAD")}, "a", "", "a"},
        {{unit("a", 5, "UPLOAD"), unit("b", 6, "RUN")}, "a", "", "b"},
        {{unit("b", 6, "RUN")}, "a", "", "b"},
        {{unit("a", 9, "RUN"), unit("b", 2, "RUN")}, "a", "", "a"},
        {{unit("a", 9, "RUN", "", true), unit("b", 2, "RUN")}, "a", "", "a"},
        {{unit("a", 9, "DOWNLOAD")}, "", "", ""},
        {{R"({"id":"x","number":1,"state":"RUN"})", unit("b", 2, "RUN")}, "", "", "b"},
    };
    for (const auto& [units, followed, group, chosen] : cases) {
        EXPECT_EQ(chooseApiUnit(json::parse(stateOf(units)), followed, group), chosen)
            << stateOf(units);
    }
}

TEST(ApiUnitFields, NameAndPercentFromTheUnit) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {R"({"id":"a","assignment":{"project":18213},"wu":{"run":0,"clone":12,"gen":34},"wu_progress":0.29})",
         "p18213_R0_C12_G34", 29},
        {R"({"id":"a","assignment":{"project":1},"wu":{},"wu_progress":1.7})", "p1_R0_C0_G0", 100},
        {R"({"id":"a","assignment":{"project":1},"wu_progress":-0.2})", "p1_R0_C0_G0", 0},
        {R"({"id":"a","assignment":{"project":2},"progress":0.999})", "p2_R0_C0_G0", 99},
        {R"({"id":"a","assignment":{"project":2},"wu":{"run":"7"},"wu_progress":"0.5"})",
         "p2_R0_C0_G0", 0},
    };
    for (const auto& [unit, name, percent] : cases) {
        ApiUnit read;
        ASSERT_TRUE(readApiUnit(json::parse(unit), read)) << unit;
        EXPECT_EQ(apiUnitName(read), name);
        EXPECT_EQ(apiUnitPercent(read), percent) << unit;
    }
    ApiUnit read;
    EXPECT_FALSE(readApiUnit(json::parse(R"({"id":"a","assignment":{"project":"18213"}})"), read));
    EXPECT_FALSE(readApiUnit(json::parse(R"({"assignment":{"project":1}})"), read));
}

// The host and port are known only where the setting names the API.
TEST(UnitSourceSetting, AddressesAndFallbacks) {
    const std::tuple<const char*, UnitSource, const char*> cases[] = {
        {"", UnitSource::FileThenApi, "127.0.0.1:7396"},
        {"0", UnitSource::File, ""},
        {"1", UnitSource::Api, "127.0.0.1:7396"},
        {"192.168.1.5:7400", UnitSource::Api, "192.168.1.5:7400"},
        {"localhost:9000", UnitSource::Api, "127.0.0.1:9000"},
        {"10.0.0.1", UnitSource::Api, "10.0.0.1:7396"},
        {"10.0.0.1:0", UnitSource::File, ""},
        {"fah.example:7396", UnitSource::File, ""},
        {"1.2.3.400", UnitSource::File, ""},
    };
    for (const auto& [setting, source, address] : cases) {
        char host[32];
        std::uint16_t port = 0;
        EXPECT_EQ(parseUnitSource(setting, host, sizeof host, port), source) << setting;
        const std::string known = std::string(host) + ":" + std::to_string(port);
        EXPECT_EQ(source == UnitSource::File ? "" : known, address) << setting;
    }
}

class ClientApiSourceTest : public ClientFolder {
protected:
    void SetUp() override {
        ClientFolder::SetUp();
        fake::clientApi().listening = true;
        fake::clientApi().onOpen = {stateOf({unit("a", 7, "RUN")})};
        write("database.txt", "2665 a 1 1 1 110.9 100 GROMACS\n");
        write("vigilon.ini", "fhlog 1\nnowin 1\nvant! 1\n");
    }
    void TearDown() override {
        stopClientApi(state_);
        ClientFolder::TearDown();
    }
    static void send(const std::string& message) { fake::clientApi().messages.push_back(message); }
};

// No unit file: the client's API is asked, its unit is followed, and a unit
// change there sets off everything a change in the file would.
TEST_F(ClientApiSourceTest, WithoutAUnitFileTheClientsUnitIsFollowed) {
    ASSERT_TRUE(startMonitor(state_, nullptr));
    EXPECT_EQ(fake::clientApi().lastAddress, "127.0.0.1:7396/api/websocket");
    EXPECT_STREQ(state_.unitName, "p18213_R0_C12_G34");
    EXPECT_EQ(state_.progressPercent, 43);
    EXPECT_STREQ(state_.coreName, "0xa8");
    EXPECT_EQ(state_.unitPoints, 12345);
    EXPECT_EQ(state_.unitFrames, 100);
    EXPECT_STREQ(state_.userName, "Ann_Lee");
    EXPECT_EQ(state_.teamNumber, 42);
    state_.firstRun = 0;

    send(R"(["units",0,"state","UPLOAD"])");
    send(R"(["units",-1,)" + unit("b", 8, "RUN") + "]");
    send(R"(["units",1,"assignment","project",2665])");
    runUpdate(state_);
    EXPECT_EQ(state_.unitCount, 2);
    EXPECT_STREQ(state_.previousUnitName, "p18213_R0_C12_G34");
    EXPECT_STREQ(state_.unitName, "p2665_R0_C12_G34");
    EXPECT_STREQ(state_.coreName, "GROMACS");
    ASSERT_EQ(fake::network().httpRequests.size(), 1u);
    EXPECT_NE(fake::network().httpRequests[0].url.find("protein=p18213_R0_C12_G34&core=0xa8"),
              std::string::npos);
    EXPECT_NE(read(EventLogFileName).find("Beginning process for p2665_R0_C12_G34"),
              std::string::npos);
}

// A lost connection keeps the unit shown; the whole state comes again on
// the next connection, and the same unit is no change. Input that cannot be
// applied is a lost connection too.
TEST_F(ClientApiSourceTest, ALostConnectionIsTakenUpAgainWithoutAChange) {
    ASSERT_TRUE(startMonitor(state_, nullptr));
    state_.firstRun = 0;
    for (const char* broken : {"<closed>", "{broken", R"(["units",9,"x",1])"}) {
        send(broken);
        fake::clientApi().listening = false;
        runUpdate(state_);
        EXPECT_FALSE(fake::clientApi().open) << broken;
        EXPECT_STREQ(state_.unitName, "p18213_R0_C12_G34");
        fake::clientApi().listening = true;
        runUpdate(state_);
        EXPECT_TRUE(fake::clientApi().open) << broken;
        EXPECT_EQ(state_.unitCount, 1);
    }
}

// With clapi set the unit file is not read, and a client that is not there
// yet shows its unit once it starts; the start entry waits for it.
TEST_F(ClientApiSourceTest, AnExplicitAddressWaitsForTheClient) {
    write("vigilon.ini", "fhlog 1\nnowin 1\nclapi 127.0.0.1:7500\nclgrp gpu\n");
    writeUnitFile("p2665_IBX", 50);
    fake::clientApi().listening = false;
    ASSERT_TRUE(startMonitor(state_, nullptr));
    EXPECT_EQ(state_.unitCount, 0);
    EXPECT_FALSE(exists(EventLogFileName));
    state_.firstRun = 0;
    fake::clientApi().listening = true;
    fake::clientApi().onOpen = {stateOf({unit("a", 1, "RUN"), unit("b", 2, "RUN", "gpu")})};
    runUpdate(state_);
    EXPECT_EQ(fake::clientApi().lastAddress, "127.0.0.1:7500/api/websocket");
    EXPECT_EQ(state_.unitCount, 1);
    EXPECT_NE(read(EventLogFileName).find("Continuing process at 43% for p18213_R0_C12_G34"),
              std::string::npos);
}

// Neither a unit file nor a client: the notice, as without the API. With
// clapi 0 the client is not even asked.
TEST_F(ClientApiSourceTest, NoFileAndNoClientGivesTheNotice) {
    fake::clientApi().listening = false;
    EXPECT_FALSE(startMonitor(state_, nullptr));
    EXPECT_EQ(fake::platform().messageBoxes.size(), 1u);
    write("vigilon.ini", "clapi 0\n");
    fake::clientApi().listening = true;
    fake::clientApi().opens = 0;
    state_ = MonitorState{};
    EXPECT_FALSE(startMonitor(state_, nullptr));
    EXPECT_EQ(fake::clientApi().opens, 0);
}

// Each command to the client carries a time later, to the second, than the
// last one sent, since the client ignores one that is not.
TEST_F(ClientApiSourceTest, CommandsWithinOneSecondCarryLaterTimes) {
    ASSERT_TRUE(startMonitor(state_, nullptr));
    ASSERT_TRUE(sendClientState(state_, "pause"));
    ASSERT_TRUE(sendClientState(state_, "fold"));
    const std::vector<std::string>& sent = fake::clientApi().sent;
    EXPECT_EQ(json::parse(sent[0])["cmd"], "state");
    std::string first = json::parse(sent[0])["time"];
    std::string second = json::parse(sent[1])["time"];
    EXPECT_EQ(first.size(), 20u);                         // 2026-12-07T10:00:00Z
    EXPECT_EQ(first.substr(0, 17), second.substr(0, 17)); // the same minute here
    EXPECT_EQ(std::stoi(second.substr(17, 2)), (std::stoi(first.substr(17, 2)) + 1) % 60);
}
