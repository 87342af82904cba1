// The find rule for one row.
#include "store/entry_find.h"

#include <gtest/gtest.h>

using namespace tk;

TEST(EntryFind, FoldsAsciiLettersOnly) {
    EXPECT_EQ(upperAscii(QStringLiteral("abz AZ 09 äé 한글 ß")), QStringLiteral("ABZ AZ 09 äé 한글 ß"));
    EXPECT_TRUE(containsUpperAscii(QStringLiteral("a Travel diary"), upperAscii(QStringLiteral("DiArY"))));
    EXPECT_FALSE(containsUpperAscii(QStringLiteral("Ärger"), upperAscii(QStringLiteral("ärger"))));
    EXPECT_TRUE(containsUpperAscii(QStringLiteral("x"), QString()));
    EXPECT_FALSE(containsUpperAscii(QStringLiteral("ab"), QStringLiteral("ABC")));
    EXPECT_TRUE(containsUpperAscii(QStringLiteral("aab"), QStringLiteral("AB")));
    // Whole characters: "가나" is B0 A1 B3 AA in the Korean code page and "〕" is A1 B3, its middle
    // bytes; a byte-wise search would find the one in the other.
    EXPECT_FALSE(containsUpperAscii(QStringLiteral("가나"), QStringLiteral("〕")));
}

TEST(EntryFind, TheRuleForOneRow) {
    const EntryRow row{QStringLiteral("Title"), QStringLiteral("분류"), QStringLiteral("20011117"), "TKFile.rtf",
                       false};
    EntryRow locked = row;
    locked.isProtected = true;
    const FindOptions titleOnly;
    EXPECT_TRUE(rowMatchesFind(row, QString(), titleOnly));
    EXPECT_TRUE(rowMatchesFind(row, QStringLiteral("ITL"), titleOnly));
    EXPECT_FALSE(rowMatchesFind(row, QStringLiteral("분류"), titleOnly));
    EXPECT_TRUE(rowMatchesFind(row, QStringLiteral("분류"), FindOptions{false, true, false, false}));
    EXPECT_TRUE(rowMatchesFind(row, QStringLiteral("1117"), FindOptions{false, false, true, false}));
    EXPECT_FALSE(rowMatchesFind(row, QStringLiteral("X"), FindOptions{false, false, false, false}));
    // Only protected entries: the rest never match, not even an empty text.
    const FindOptions locks{true, false, false, true};
    EXPECT_FALSE(rowMatchesFind(row, QString(), locks));
    EXPECT_TRUE(rowMatchesFind(locked, QString(), locks));
    EXPECT_FALSE(rowMatchesFind(locked, QStringLiteral("NONE"), locks));
}
