#include "client_folder.hpp"
#include "common/text.hpp"
#include "monitor/protein_database.hpp"

TEST(ProjectNumber, ComesFromTheFirstSixCharacters) {
    const struct {
        const char* name;
        int project;
    } cases[] = {
        {"p1160_Protein", 1160},
        {"p10001_x", 10001},
        {"1234567", 123456},
        {"P2", 2},
        {"p_1160", 0},
        {":123", 0},
        {"", 0},
        {"Gromacs", 0},
        {"12:34", 12},
        {"--5", 0},
        {"p2665_IBX", 2665},
        {"\xe9"
         "42",
         42},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(projectNumberOf(c.name), c.project) << c.name;
    }
}

using ProteinLookup = ClientFolder;

TEST_F(ProteinLookup, FirstMatchingRecordWins) {
    write("database.txt", "2665 p2665_IBX 17000 3.0 4.0 105.95 100 GROMACS\n"
                          "1160 name 500 2 3 110.9 400 TINKER\n"
                          "1160 second 500 2 3 999 1 OTHER\n");
    copyText(state_.unitName, "p1160_Protein");
    EXPECT_EQ(lookupProtein(state_), 0);
    EXPECT_EQ(state_.projectNumber, 1160);
    EXPECT_EQ(state_.unitPoints, 110);
    EXPECT_EQ(state_.unitFrames, 400);
    EXPECT_STREQ(state_.coreName, "TINKER");

    copyText(state_.unitName, "p2665_IBX in water");
    lookupProtein(state_);
    EXPECT_EQ(state_.unitPoints, 105);
    EXPECT_STREQ(state_.coreName, "GROMACS");
}

TEST_F(ProteinLookup, LayoutOfRecordsDoesNotMatter) {
    write("database.txt",
          "1 a 1 1 1 1 1 A 2 b 2 2 2\n2 2\nB\n\t3\nc 3 3 3 33.5 30 LONGCORENAME-CUT-HERE\n");
    copyText(state_.unitName, "p2_x");
    lookupProtein(state_);
    EXPECT_STREQ(state_.coreName, "B");
    EXPECT_EQ(state_.unitFrames, 2);
    copyText(state_.unitName, "p3_x");
    lookupProtein(state_);
    EXPECT_STREQ(state_.coreName, "LONGCORENAME-C");
    EXPECT_EQ(state_.unitPoints, 33);
}

TEST_F(ProteinLookup, UnknownProjectMissingFileAndBadTokens) {
    write("database.txt", "7 x 1 1 1 50 20 CORE\n");
    copyText(state_.unitName, "p8_x");
    EXPECT_EQ(lookupProtein(state_), 0);
    EXPECT_STREQ(state_.coreName, "Unknown");
    EXPECT_EQ(state_.unitPoints, 0);

    write("database.txt",
          "oops x 1 1 1 50 20 CORE\n8 name x 1 1 50 20 BAD\n8 y 1 1 1 60.5 25 GOOD\n9 cut");
    EXPECT_EQ(lookupProtein(state_), 0);
    EXPECT_STREQ(state_.coreName, "GOOD");
    EXPECT_EQ(state_.unitPoints, 60);

    copyText(state_.unitName, "p9");
    lookupProtein(state_); // an incomplete last record takes no part
    EXPECT_STREQ(state_.coreName, "Unknown");

    std::filesystem::remove("database.txt");
    state_.unitFrames = 5;
    EXPECT_EQ(lookupProtein(state_), 1);
    EXPECT_STREQ(state_.coreName, "Unknown");
    EXPECT_EQ(state_.unitFrames, 0);
}
