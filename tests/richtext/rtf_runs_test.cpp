#include "richtext/rtf_reader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace tk;

namespace {

// The fragments of the first block: their texts and font families.
std::vector<std::pair<QString, QString>> fragments(const QByteArray& rtf) {
    QTextDocument document;
    QTextCursor cursor(&document);
    EXPECT_EQ(rtf::readRtf(rtf, cursor), rtf::RtfError::None);
    std::vector<std::pair<QString, QString>> out;
    for (auto it = document.begin().begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        const QStringList families = f.charFormat().fontFamilies().toStringList();
        out.emplace_back(f.text(), families.isEmpty() ? QString() : families.first());
    }
    return out;
}

}  // namespace

TEST(RtfRuns, SpacesAndPunctuationStayWithTheKoreanAroundThem) {
    // As a word processor writes Korean: \hich selects the Latin script, so each space and full
    // stop between Korean words came in the Latin font and split the text into many runs.
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Liberation Serif;}{\\f1\\fnil\\fcharset129 NanumGothic;}}"
        "\\pard\\plain\\dbch\\af1\\loch\\f0\\hich\\af1 "
        "\\uc2\\u-10916\\'c7\\'d1\\u-20992\\'b1\\'db \\u-17608\\'b9\\'ae\\u-16100\\'bc\\'ad. "
        "\\loch\\f0 Latin words\\par}";
    const auto runs = fragments(rtf);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, QStringLiteral("한글 문서. "));
    EXPECT_EQ(runs[0].second, "NanumGothic");
    EXPECT_EQ(runs[1].first, "Latin words");
    EXPECT_EQ(runs[1].second, "Liberation Serif");
}

TEST(RtfRuns, NeutralTextWithoutKoreanBeforeItKeepsTheLatinFont) {
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Liberation Serif;}{\\f1\\fnil\\fcharset129 NanumGothic;}}"
        "\\pard\\plain\\dbch\\af1\\loch\\f0\\hich\\af1 . , \\par}";
    const auto runs = fragments(rtf);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].second, "Liberation Serif");
}
