// Pure helpers of the tool: flag translation, index naming, padding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/text.h"
#include "indexing/indexing.h"

TEST(TranslateKeyFlags, EngineKeyFlagsBecomeDictionaryIndexFlags) {
    struct Row {
        uint16_t in, out;
        const char* why;
    };
    const Row rows[] = {
        {0x0423, 0x0027, "dups, modifiable, ACS and case-insensitive"},
        {0x0014, 0x0010, "segmented kept, legacy binary dropped"},
        {0x0208, 0x0008, "null and manual land on the same bit"},
        {0x0080, 0x0000, "repeating duplicates dropped"},
        {0x0103, 0x0103, "extended type kept"},
        // Every single bit.
        {0x0001, 0x0001, "duplicates"},
        {0x0002, 0x0002, "modifiable"},
        {0x0004, 0x0000, "legacy binary"},
        {0x0008, 0x0008, "null"},
        {0x0010, 0x0010, "segmented"},
        {0x0020, 0x0004, "ACS"},
        {0x0040, 0x0040, "descending"},
        {0x0080, 0x0000, "repeating duplicates"},
        {0x0100, 0x0100, "extended type"},
        {0x0200, 0x0008, "manual"},
        {0x0400, 0x0020, "case-insensitive"},
        {0x0800, 0x0800, "bit 11"},
        {0x1000, 0x1000, "bit 12"},
        {0x2000, 0x2000, "bit 13"},
        {0x4000, 0x4000, "bit 14"},
        {0x8000, 0x8000, "bit 15"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(translateKeyFlags(r.in), r.out);
    }
}

TEST(MakeIndexName, EveryNamingTypeCutsAndPadsToTwenty) {
    struct Row {
        int type;
        const char* table;
        uint16_t number;
        const char* name;  // before padding
    };
    const Row rows[] = {
        {0, "CUSTOMER", 0, "key0"},
        {1, "CUSTOMER", 0, "index0"},
        {2, "CUSTOMER", 0, "CUSTOMER0"},
        {3, "CUSTOMER", 0, "CUSTOMER_key0"},
        {10, "CUSTOMER", 0, "key_0"},
        {11, "CUSTOMER", 0, "index_0"},
        {12, "CUSTOMER", 0, "CUSTOMER_0"},
        {13, "CUSTOMER", 0, "CUSTOMER_key_0"},
        {7, "CUSTOMER", 5, "key5"},     // unknown types name like type 0
        {-3, "CUSTOMER", 5, "key5"},
        {2, "ABCDEFGHIJKLMNOPQRST", 12, "ABCDEFGHIJKLMNOPQR12"},
        {3, "ABCDEFGHIJKLMNOPQRST", 12, "ABCDEFGHIJKLMN_key12"},
        {12, "ABCDEFGHIJKLMNOPQRST", 12, "ABCDEFGHIJKLMNOPQ_12"},
        {13, "ABCDEFGHIJKLMNOPQRST", 12, "ABCDEFGHIJKLM_key_12"},
        {2, "ABCDEFGHIJKLMNOPQRST", 7, "ABCDEFGHIJKLMNOPQRS7"},
        {2, "ABCDEFGHIJKLMNOPQRST", 123, "ABCDEFGHIJKLMNOPQ123"},
        // 1000 and more still count as three digits: 21 characters, 20 kept.
        {2, "ABCDEFGHIJKLMNOPQRST", 1000, "ABCDEFGHIJKLMNOPQ100"},
        {13, "ABCDEFGHIJKLMNOPQRST", 65535, "ABCDEFGHIJKL_key_655"},
        // Trailing blanks of a table name are not part of it.
        {2, "ORDERS              ", 3, "ORDERS3"},
        {13, "ORDERS  ", 3, "ORDERS_key_3"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.table) + " type " + std::to_string(r.type) + " number " + std::to_string(r.number));
        char out[21];
        std::memset(out, '#', sizeof out);
        makeIndexName(r.type, r.table, r.number, out);
        std::string expected = r.name;
        expected.resize(20, ' ');
        EXPECT_EQ(std::string(out, 20), expected);
        EXPECT_EQ(out[20], '#') << "nothing is written past the 20 characters";
    }
}

TEST(FixedWidthText, PadRightAndTrimRight) {
    char buf[32];
    std::strcpy(buf, "ABC");
    buf[10] = '\0';
    padRight(buf, 10);
    EXPECT_EQ(std::string(buf), "ABC       ");
    std::strcpy(buf, "LONGER THAN SIX");
    padRight(buf, 6);
    EXPECT_EQ(std::string(buf), "LONGER THAN SIX") << "never shortens";

    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {{"NAME   ", "NAME"}, {"A B  ", "A B"}, {"    ", " "}, {"", ""}, {"X", "X"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.in);
        std::strcpy(buf, r.in);
        trimRight(buf);
        EXPECT_EQ(std::string(buf), r.out);
    }
    EXPECT_STREQ(messageCopy("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_STREQ(messageCopy("DATA.DAT      ", 64), "DATA.DAT");
}
