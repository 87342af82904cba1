#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace tk;

TEST(Codepage, Cp949RoundTripsHangulAndAscii) {
    const QString text = QStringLiteral("제목 Title 123");
    QByteArray bytes;
    ASSERT_TRUE(codepage::encode(codepage::kAnsi, text, &bytes));
    EXPECT_EQ(bytes, QByteArray("\xC1\xA6\xB8\xF1 Title 123"));
    EXPECT_EQ(codepage::fromAnsi(bytes), text);
}

TEST(Codepage, InvalidBytesBecomeReplacementCharacters) {
    // 0xFF is no CP949 lead byte; a lone lead byte at the end is truncated.
    const QString text =
        codepage::fromAnsi(QByteArray("a\xFF"
                                      "b\xC1"));
    EXPECT_EQ(text, QStringLiteral("a\uFFFDb\uFFFD"));
}

TEST(Codepage, EncodeFailsOnCharactersWithoutForm) {
    QByteArray bytes;
    EXPECT_FALSE(codepage::encode(codepage::kAnsi, QStringLiteral("x\u20AC\U0001F600"), &bytes));
    EXPECT_FALSE(codepage::canEncode(codepage::kAnsi, QStringLiteral("\U0001F600")));
    EXPECT_TRUE(codepage::canEncode(codepage::kAnsi, QStringLiteral("漢字 한글")));
}

TEST(Codepage, CommentsUseCp949OrMarkedUtf8) {
    EXPECT_EQ(codepage::encodeComment(QStringLiteral("가|B|N|TKFile.rtf")), QByteArray("\xB0\xA1|B|N|TKFile.rtf"));
    const QString emoji = QStringLiteral("일기 \U0001F600|K|Y|TKFile.rtf");
    const QByteArray stored = codepage::encodeComment(emoji);
    EXPECT_TRUE(stored.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(codepage::decodeComment(stored), emoji);
    EXPECT_EQ(codepage::decodeComment(QByteArray("\xB0\xA1")), QStringLiteral("가"));
}

TEST(Codepage, BestEffortKeepsEncodableBytesAndUtf8ForTheRest) {
    EXPECT_EQ(codepage::toAnsiBestEffort(QStringLiteral("가\U0001F600")), QByteArray("\xB0\xA1\xF0\x9F\x98\x80"));
}

TEST(Codepage, EveryDecodedPairEncodesBackToItsBytes) {
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QByteArray pair(bytes, 2);
            const QString text = codepage::fromAnsi(pair);
            if (text.size() == 1) {
                QByteArray back;
                ASSERT_TRUE(codepage::encode(codepage::kAnsi, text, &back)) << lead << " " << trail;
                EXPECT_EQ(back, pair) << lead << " " << trail;
                ++characters;
            } else {
                // Not a character: the lead byte is marked and the trail byte read on its own.
                ASSERT_EQ(text.size(), 2);
                EXPECT_EQ(text[0], QChar::ReplacementCharacter);
            }
        }
    }
    // Unified Hangul Code: 8,822 Hangul, 4,888 Hanja and the symbols of KS X 1001.
    EXPECT_GT(characters, 17000);
    EXPECT_EQ(codepage::fromAnsi(QByteArray("\x81\x41")), QStringLiteral("갂"));
    EXPECT_EQ(codepage::fromAnsi(QByteArray("\xC8\xFE")), QStringLiteral("힝"));
}

// Every character set a font can name decodes through a converter: the byte of one letter of each
// script arrives as that letter. Hebrew and Vietnamese converters hold a character back for
// combining; this was an empty result for a Hebrew run of one letter.
TEST(Codepage, EveryFontCharacterSetHasAConverter) {
    struct Case {
        int charset;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {0, "caf\xE9", QStringLiteral("café")},  {77, "\xD5\xA5", QStringLiteral("’•")},
        {78, "\x82\xA0", QStringLiteral("あ")},  {79, "\xC7\xD1", QStringLiteral("한")},
        {80, "\xC4\xE3", QStringLiteral("你")},  {81, "\xA7\x41", QStringLiteral("你")},
        {83, "\xE0", QStringLiteral("א")},       {84, "\xC7", QStringLiteral("ا")},
        {85, "\xE1\xE2", QStringLiteral("αβ")},  {86, "\xDA\xDB", QStringLiteral("Ğğ")},
        {87, "\xA1", QStringLiteral("ก")},       {88, "\x8A", QStringLiteral("ä")},
        {89, "\x8F\xF0", QStringLiteral("Пр")},  {128, "\x82\xA0", QStringLiteral("あ")},
        {129, "\xC7\xD1", QStringLiteral("한")}, {130, "\xD0\x65", QStringLiteral("한")},
        {134, "\xC4\xE3", QStringLiteral("你")}, {136, "\xA7\x41", QStringLiteral("你")},
        {161, "\xE1", QStringLiteral("α")},      {162, "\xD0", QStringLiteral("Ğ")},
        {163, "\xE0", QStringLiteral("à")},      {177, "\xE0", QStringLiteral("א")},
        {178, "\xC7", QStringLiteral("ا")},      {186, "\xF0", QStringLiteral("š")},
        {204, "\xCF", QStringLiteral("П")},      {222, "\xA1", QStringLiteral("ก")},
        {238, "\x9A", QStringLiteral("š")},
    };
    for (const Case& c : cases) {
        const char* name = codepage::charsetCodePage(c.charset);
        ASSERT_NE(name, nullptr) << c.charset;
        EXPECT_EQ(codepage::decode(name, c.bytes), c.text) << c.charset << " " << name;
    }
    EXPECT_EQ(codepage::charsetCodePage(1), nullptr);  // the document's default
    EXPECT_EQ(codepage::charsetCodePage(2), nullptr);  // symbol fonts
    // Code pages by number, including ones iconv names otherwise; none for a number without one.
    EXPECT_STREQ(codepage::codePageCharset(10003), "CP949");
    EXPECT_STREQ(codepage::codePageCharset(1251), "CP1251");
    EXPECT_STREQ(codepage::codePageCharset(65001), "UTF-8");
    EXPECT_EQ(codepage::codePageCharset(12345), nullptr);
}
