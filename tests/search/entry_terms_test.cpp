// An entry's terms match, term for term, what the Xapian term generator alone makes of the same
// title, category and body: the same words, frequencies and positions, on text the fast reading
// takes and on text it leaves to the generator, and on random mixtures of both.
#include "search/search_terms.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <xapian.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Entry {
    QString title;
    QString category;
    QString body;
};

// "term wdf positions..." lines of a document, and the generator's position after it.
std::string describe(const Xapian::Document& document, Xapian::termpos end) {
    std::string text;
    for (auto it = document.termlist_begin(); it != document.termlist_end(); ++it) {
        text += *it + " wdf=" + std::to_string(it.get_wdf());
        for (auto pos = it.positionlist_begin(); pos != it.positionlist_end(); ++pos) {
            text += ' ' + std::to_string(*pos);
        }
        text += '\n';
    }
    return text + "end=" + std::to_string(end) + '\n';
}

std::string byGenerator(const Entry& entry) {
    Xapian::TermGenerator generator;
    generator.set_flags(Xapian::TermGenerator::FLAG_CJK_NGRAM);
    Xapian::Document document;
    generator.set_document(document);
    generator.index_text(entry.title.toStdString());
    generator.increase_termpos(100);
    generator.index_text(entry.category.toStdString());
    generator.increase_termpos(100);
    generator.index_text(entry.body.toStdString());
    return describe(document, generator.get_termpos());
}

std::string byEntry(const Entry& entry) {
    Xapian::TermGenerator generator = tk::search::makeTermGenerator();
    Xapian::Document document;
    generator.set_document(document);
    tk::search::indexEntryText(generator, entry.title, entry.category, entry.body);
    return describe(document, generator.get_termpos());
}

// Pieces of text where the two ways of reading could part: Korean with particles and punctuation,
// words in any case, acronyms, joined words and numbers, words too long to keep, other scripts and
// spaces the generator reads as CJK, letters outside the BMP, and separators of every kind.
const QStringList& pieces() {
    static const QStringList list = {
        QString::fromUtf8("제주여행기를"),
        QString::fromUtf8("여행을"),
        QString::fromUtf8("썼다."),
        QString::fromUtf8("(여행)"),
        QString::fromUtf8("'인용'"),
        QString::fromUtf8("\"따옴표\","),
        QString::fromUtf8("여행"),
        QString::fromUtf8("가"),
        QStringLiteral("Quick"),
        QStringLiteral("BROWN"),
        QStringLiteral("fOx."),
        QStringLiteral("C++"),
        QStringLiteral("C#"),
        QStringLiteral("AT&T"),
        QStringLiteral("U.S.A."),
        QStringLiteral("A."),
        QStringLiteral("I"),
        QStringLiteral("3.14"),
        QStringLiteral("1,000"),
        QStringLiteral("e-mail"),
        QStringLiteral("under_score"),
        QStringLiteral("it's"),
        QStringLiteral("word'"),
        QStringLiteral("...!?"),
        QStringLiteral("_"),
        QStringLiteral("+"),
        QStringLiteral("x+"),
        QStringLiteral("#tag"),
        QStringLiteral("$5"),
        QStringLiteral("2024"),
        QString(64, u'a'),
        QString(65, u'B'),
        QString::fromUtf8("2024년"),
        QString::fromUtf8("abc여행"),
        QString::fromUtf8("여행abc"),
        QString::fromUtf8("여행.abc"),
        QString::fromUtf8("東京タワー"),
        QString::fromUtf8("여행\u3000제주"),
        QString::fromUtf8("여행\u00a0제주"),
        QString::fromUtf8("ＡＢＣ"),
        QString::fromUtf8("Café"),
        QString::fromUtf8("😀여행"),
        QString::fromUtf8("ㅋㅋㅋ"),
        QString::fromUtf8("한\u0301글"),
        QString::fromUtf8("文字"),
        QString::fromUtf8("《책》"),
        QString::fromUtf8("…"),
        QString::fromUtf8("\u200b"),
        QStringLiteral("Ω"),
        QString::fromUtf8("r'인"),
        QString::fromUtf8("x&여행"),
        QString::fromUtf8("4'東"),
    };
    return list;
}

const QStringList& separators() {
    static const QStringList list = {
        QStringLiteral(" "),    QStringLiteral("  "), QStringLiteral("\n"), QStringLiteral("\t"),
        QStringLiteral("\r\n"), QStringLiteral(""),   QStringLiteral(","),  QString::fromUtf8("\u3000"),
    };
    return list;
}

QString randomText(QRandomGenerator& random, int pieceCount) {
    QString text;
    for (int i = 0; i < pieceCount; ++i) {
        text += pieces().at(random.bounded(pieces().size()));
        text += separators().at(random.bounded(separators().size()));
    }
    return text;
}

}  // namespace

TEST(EntryTermsTest, MatchTheGeneratorOnEveryKindOfText) {
    const std::vector<Entry> entries = {
        {{}, {}, {}},
        {QString::fromUtf8("제주 여행"), QString::fromUtf8("일기"),
         QString::fromUtf8("지난 여름 제주여행기를 썼다.\nThe Quick Brown Fox jumps.")},
        {QStringLiteral("Notes"), {}, QStringLiteral("quick notes, QUICK NOTES; nothing else")},
        {{}, {}, QString::fromUtf8("여행 여행을 여행기 여행")},
        {QString::fromUtf8("2024년 U.S.A. 여행"), QStringLiteral("C++"), QString::fromUtf8("AT&T 3.14 東京タワー")},
        // After a CJK character the generator reads on across spaces: no acronym right after a
        // Korean run, and a word joined to one by an apostrophe goes on into the next word.
        {QString::fromUtf8("끝 U.S.A."), QString::fromUtf8("r'인\n4"), QString::fromUtf8("r'인 여행 ... 4 U.S.A. 끝")},
    };
    for (const Entry& entry : entries) {
        EXPECT_EQ(byEntry(entry), byGenerator(entry)) << entry.body.toStdString();
    }
    for (const QString& piece : pieces()) {
        const Entry entry{piece, piece, QStringLiteral("x ") + piece + QString::fromUtf8(" 끝 ") + piece};
        EXPECT_EQ(byEntry(entry), byGenerator(entry)) << piece.toStdString();
    }
}

// Thousands of different syllables and pairs, as a long entry of varied Korean has, with words
// repeated far apart: counted terms keep their positions however many there are.
TEST(EntryTermsTest, MatchTheGeneratorOnManyDifferentSyllables) {
    QString body;
    for (char16_t c = 0xAC00, n = 0; c <= 0xD7A3; c += 7, ++n) {
        body += QChar(c);
        if (n % 3 == 2) {
            body += n % 5 ? u' ' : u'\n';
        }
    }
    body += QString::fromUtf8(" 가나다 English words, 가나다");
    const Entry entry{QString::fromUtf8("가나다"), QString::fromUtf8("분류"), body + body};
    EXPECT_EQ(byEntry(entry), byGenerator(entry));
}

TEST(EntryTermsTest, MatchTheGeneratorOnRandomText) {
    QRandomGenerator random(20261208);
    for (int round = 0; round < 3000; ++round) {
        const Entry entry{randomText(random, 3), randomText(random, 2), randomText(random, 60)};
        ASSERT_EQ(byEntry(entry), byGenerator(entry))
            << "title: " << entry.title.toStdString() << "\ncategory: " << entry.category.toStdString()
            << "\nbody: " << entry.body.toStdString();
    }
}
