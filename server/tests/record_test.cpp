#include "record.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

const std::string Tail = " 0 2400.000000 GenuineIntel GRO-SMP 100 1920 TomJ 33 0";

// A record as the monitor writes it, with this unit name and vendor.
std::string record(const std::string& unitName, const std::string& vendor) {
    return "2 1 12 " + unitName + " 1 2400.000000 " + vendor + " GRO-SMP 100 1920 TomJ 33 0";
}

TEST(RecordTest, TakesWellFormedRecords) {
    struct Case {
        std::string unitName;
        std::string vendor;
    };
    const Case cases[] = {
        {"p2665_IBX", "GenuineIntel"},
        // GPU3 clients put blanks into unit names.
        {"PEPTIDE (1-42)", "GenuineIntel"},
        {" two  blanks ", "GenuineIntel"},
        {"", "GenuineIntel"},
        // A processor without CPUID leaves the vendor empty.
        {"p1", ""},
        // Some CPUID vendors hold blanks.
        {"p1", "VIA VIA VIA "},
        {"p1", "Geode by NSC"},
        {"PEPTIDE (1-42)", "  Shanghai  "},
        {"", "  Shanghai  "},
        // Numbers in the unit name are not taken for the flag and MHz.
        {"run 0 2.000000 x", "Geode by NSC"},
    };
    for (const Case& c : cases) {
        const std::string text = record(c.unitName, c.vendor);
        RecordParse parsed = parseRecord(text);
        ASSERT_TRUE(parsed.record) << text << ": " << parsed.error;
        const StatusRecord& r = *parsed.record;
        EXPECT_EQ(r.unitName, c.unitName) << text;
        EXPECT_EQ(r.cpuVendor, c.vendor) << text;
        EXPECT_EQ(r.closing, 1) << text;
        EXPECT_DOUBLE_EQ(r.cpuMhz, 2400.0) << text;
        EXPECT_EQ(r.coreName, "GRO-SMP") << text;
        EXPECT_EQ(r.frames, 100) << text;
        EXPECT_EQ(r.userName, "TomJ");
        EXPECT_EQ(r.teamNumber, 33);
        EXPECT_EQ(r.points, 1920);
    }
}

TEST(RecordTest, ReadsEveryNumericField) {
    RecordParse parsed = parseRecord("-7 42 99 p1 1 3193.5 AuthenticAMD GROGPU2 250 -3 u 0 1");
    ASSERT_TRUE(parsed.record);
    const StatusRecord& r = *parsed.record;
    EXPECT_EQ(r.cpuNumber, -7);
    EXPECT_EQ(r.unitCount, 42);
    EXPECT_EQ(r.progressPercent, 99);
    EXPECT_EQ(r.closing, 1);
    EXPECT_DOUBLE_EQ(r.cpuMhz, 3193.5);
    EXPECT_EQ(r.coreName, "GROGPU2");
    EXPECT_EQ(r.frames, 250);
    EXPECT_EQ(r.points, -3);
    EXPECT_EQ(r.trayMode, 1);
}

TEST(RecordTest, RefusesMalformedAndHostileRecords) {
    const std::string cases[] = {
        "",
        "2 1 12 p1 0 2400.0 GenuineIntel GRO-SMP 100 1920 TomJ 33", // 12 fields
        "x 1 12 p1" + Tail,
        "2 1 12.5 p1" + Tail,
        "2 1 +12 p1" + Tail,
        "99999999999 1 12 p1" + Tail, // beyond int
        "2 1 12 p1 0 nan GenuineIntel GRO-SMP 100 1920 TomJ 33 0",
        "2 1 12 p1 0 1e999 GenuineIntel GRO-SMP 100 1920 TomJ 33 0",
        "2 1 12 p1 0 2400.0 GenuineIntel GRO-SMP 100 1920 TomJ 33 0 ", // trailing blank
        "2\t1 12 p1" + Tail,
        // A vendor with blanks is at most the 12 bytes of CPUID, after a
        // flag and MHz as the monitor writes them.
        record("p1", "VIA VIA VIA VIA"),
        "2 1 12 p1 0 2400.5 Geode by NSC GRO-SMP 100 1920 TomJ 33 0",
        "2 1 12 p1 2 2400.000000 Geode by NSC GRO-SMP 100 1920 TomJ 33 0",
        std::string(2047, ' '),
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(parseRecord(text).record) << '"' << text << '"';
    }
}

TEST(RecordTest, BoundsAndCleansText) {
    std::string name = std::string(500, 'A') + "\x01<img src=x onerror=alert(1)>";
    RecordParse parsed = parseRecord("2 1 12 " + name + Tail);
    ASSERT_TRUE(parsed.record);
    EXPECT_EQ(parsed.record->unitName, std::string(MaxUnitNameBytes, 'A'));
    // Latin-1 bytes become UTF-8; control characters become '?'.
    EXPECT_EQ(cleanText("a\x7f\xe9\n", 10), "a?\xc3\xa9?");
    EXPECT_EQ(cleanText("<b>", 10), "<b>"); // escaping is the page's business
}

TEST(RecordTest, FindsTheRecordTextInAMessage) {
    std::string message = "1 2 3" + std::string(1, '\0') + "greeting tail";
    message.resize(companion::MessageSize, '\0');
    EXPECT_EQ(recordText(message), "1 2 3");
    EXPECT_FALSE(recordText(std::string(companion::MessageSize, 'x')));
    // A reader that stops at the first zero byte sees the record alone.
    companion::Extension ext;
    ext.fromApi = true;
    ext.state = "RUN";
    ASSERT_GT(companion::writeExtension(message.data(), message.size(), 5, ext), 0u);
    EXPECT_EQ(recordText(message), "1 2 3");
}

TEST(RecordTest, TakesTheExtensionAndNeverDropsARecordForIt) {
    struct Case {
        const char* name;
        std::string afterRecord; // the bytes after the record's zero byte
        bool present;
        bool fromApi;
        bool ctl;
        const char* state;
        const char* prcg;
    };
    const Case cases[] = {
        {"none", std::string(100, '\0'), false, false, false, "", ""},
        {"api", "VGX1 source=api ctl=1 state=RUN paused=1 prcg=18213/0/12/34\0"s, true, true, true,
         "RUN", "18213/0/12/34"},
        {"file", "VGX1 source=file ctl=0\0"s, true, false, false, "", ""},
        {"hostile state cleaned and bounded",
         "VGX1 source=api state=\x01<b>" + std::string(60, 'S') + "\0"s, true, true, false,
         "?<b>SSSSSSSSSSSSSSSSSSSSSSSSSSSS", ""},
        {"overlong prcg left out", "VGX1 source=api prcg=" + std::string(30, '1') + "/0/0/0\0"s,
         true, true, false, "", ""},
        {"cut off before its zero byte", "VGX1 source=api ctl=1", false, false, false, "", ""},
        {"garbage", "\xff\xfe<script>VGX1 ctl=1\0"s, false, false, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordParse parsed = parseMessage(record("p1", "GenuineIntel") + '\0' + c.afterRecord);
        ASSERT_TRUE(parsed.record) << parsed.error;
        EXPECT_EQ(parsed.record->unitName, "p1");
        const companion::Extension& ext = parsed.record->extension;
        EXPECT_EQ(ext.present, c.present);
        EXPECT_EQ(ext.fromApi, c.fromApi);
        EXPECT_EQ(ext.obeysControl, c.ctl);
        EXPECT_EQ(ext.state, c.state);
        EXPECT_EQ(ext.prcg, c.prcg);
    }
    EXPECT_EQ(parseMessage("2 1 12 p1" + Tail).error, "no zero byte");
}

} // namespace
