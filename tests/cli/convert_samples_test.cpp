// tomekeep-cli convert on documents other programs write: each sample reads as the text kept
// beside it, and that text is the text LibreOffice reads of the same file.
#include "richtext/symbol_fonts.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const QString kRtfData = QStringLiteral(TK_TEST_DATA "/rtf");

// Every sample: the kinds of document other programs write, and the older fixtures written by
// word processors.
QStringList samples() {
    QStringList paths;
    for (const QString& folder : QStringList{kRtfData + QStringLiteral("/classes"), kRtfData}) {
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name)) {
            paths.append(folder + u'/' + name);
        }
    }
    return paths;
}

QString withoutSuffix(const QString& path) {
    return path.left(path.size() - 4);
}

QString fileText(const QString& path) {
    QString text = QString::fromUtf8(tk::test::readFile(path));
    text.remove(QChar(0xFEFF));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text;
}

// Text as every exporter agrees on it: composed characters, white space collapsed, no indents and
// no empty lines (LibreOffice indents list paragraphs and leaves empty paragraphs empty lines).
QStringList lines(const QString& text) {
    static const QRegularExpression space(QStringLiteral("[\\s\\x{00A0}]+"));
    QStringList result;
    for (QString line : text.normalized(QString::NormalizationForm_C).split(u'\n')) {
        line = line.replace(space, QStringLiteral(" ")).trimmed();
        if (!line.isEmpty()) {
            result.append(line);
        }
    }
    return result;
}

using tk::rtf::symbolfont::Font;

// Where LibreOffice reads a sample otherwise, and why. With replacements, its text with what it
// misreads replaced by what the document holds must be ours; with a symbol font, its text with the
// font's glyph codes (U+F0xx, which it keeps) read as the glyphs they show; with neither, its text
// must stay the one kept beside the sample (NAME.lo.txt), whose difference from ours was looked at.
struct LibreOfficeReading {
    std::vector<std::pair<QString, QString>> replacements;
    const char* why;
    Font glyphs = Font::None;
};

QString withGlyphs(const QString& text, Font font) {
    QString result;
    for (const char32_t c : text.toUcs4()) {
        tk::rtf::symbolfont::appendCharacter(
            &result, c >= 0xF020 && c <= 0xF0FF ? tk::rtf::symbolfont::glyphCharacter(font, c - 0xF000) : c);
    }
    return result;
}

const std::map<QString, LibreOfficeReading>& libreOfficeReadings() {
    static const std::map<QString, LibreOfficeReading> readings = {
        {QStringLiteral("codepage_fonts_mac"),
         {{{QStringLiteral("‰eätina"), QStringLiteral("Čeština")},
           {QStringLiteral("ђусский"), QStringLiteral("Русский")}},
          "LibreOffice reads the Mac Central European and Cyrillic font character sets in the Windows ones"}},
        {QStringLiteral("footnote_lo"),
         {{}, "LibreOffice's text export leaves the notes' texts out and doubles a note's own mark"}},
        {QStringLiteral("footnote_handmade"),
         {{}, "LibreOffice leaves the notes' texts out and counts a note with its own mark among the numbered ones"}},
        {QStringLiteral("pn_wordpad"),
         {{}, "LibreOffice numbers the lettered list on from the numbered one before it (4., 5. for A., B.)"}},
        {QStringLiteral("pn_outline"),
         {{}, "LibreOffice drops the outline's numbers and shows its lower levels as 1. to 4."}},
        {QStringLiteral("nested_table_lo"),
         {{}, "LibreOffice loses the second row of the inner table of its own file"}},
        {QStringLiteral("nested_table_malformed"), {{}, "LibreOffice drops most of the inner tables' text"}},
        {QStringLiteral("nested_table_row_ended_twice"), {{}, "LibreOffice cannot open the file"}},
        {QStringLiteral("symbol_symbol"), {{}, "LibreOffice keeps Symbol's glyph codes", Font::Symbol}},
        {QStringLiteral("symbol_bytes"), {{}, "LibreOffice keeps Symbol's glyph codes", Font::Symbol}},
        {QStringLiteral("symbol_wingdings"), {{}, "LibreOffice keeps Wingdings' glyph codes", Font::Wingdings}},
        {QStringLiteral("symbol_wingdings2"), {{}, "LibreOffice keeps Wingdings 2's glyph codes", Font::Wingdings2}},
        {QStringLiteral("symbol_wingdings3"), {{}, "LibreOffice keeps Wingdings 3's glyph codes", Font::Wingdings3}},
        {QStringLiteral("symbol_webdings"), {{}, "LibreOffice keeps Webdings' glyph codes", Font::Webdings}},
        {QStringLiteral("symbol_other"), {{}, "an unknown symbol font's glyph codes are kept by both", Font::Other}},
        {QStringLiteral("symbol_latin1"),
         {{}, "LibreOffice shows Symbol text written as Latin-1 characters as those letters"}},
        {QStringLiteral("symbol_field"),
         {{},
          "LibreOffice shows no character for an empty SYMBOL field, glyph codes for the rest, reads \\j codes in "
          "another code page and shows a result beside the symbol"}},
    };
    return readings;
}

class ConvertSamplesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(root.filePath("run")));
        QFile::setPermissions(root.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", root.filePath("run"));
    }

    // The program's text of an RTF file, or an empty string with a failure.
    QString convert(const QString& rtf) {
        const QString out = root.filePath(QFileInfo(rtf).completeBaseName() + QStringLiteral(".txt"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli"),
                      {QStringLiteral("convert"), rtf, out});
        EXPECT_TRUE(process.waitForFinished(60000)) << rtf.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << rtf.toStdString() << ": " << process.readAllStandardError().toStdString();
        return fileText(out);
    }

    QTemporaryDir root;
    QProcessEnvironment env;
};

TEST_F(ConvertSamplesTest, EachSampleReadsAsItsText) {
    const QStringList all = samples();
    ASSERT_GE(all.size(), 10);
    for (const QString& rtf : all) {
        const QString expected = withoutSuffix(rtf) + QStringLiteral(".txt");
        if (QFileInfo(rtf).dir().dirName() != QLatin1String("classes")) {
            continue;  // the older fixtures keep the writing program's own text export instead
        }
        ASSERT_TRUE(QFile::exists(expected)) << expected.toStdString();
        EXPECT_EQ(convert(rtf), fileText(expected)) << rtf.toStdString();
    }
}

// LibreOffice is run on all samples at once, as a user converting them to text would.
TEST_F(ConvertSamplesTest, TextIsLibreOfficesText) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        GTEST_SKIP() << "soffice is not installed";
    }
    const QStringList all = samples();
    const QString outDir = root.filePath("libreoffice");
    QTemporaryDir profile;
    QProcess office;
    office.start(soffice, QStringList{"-env:UserInstallation=file://" + profile.path(), "--headless", "--convert-to",
                                      "txt:Text (encoded):UTF8", "--outdir", outDir} +
                              all);
    ASSERT_TRUE(office.waitForFinished(600000));
    ASSERT_EQ(office.exitCode(), 0) << office.readAllStandardError().toStdString();
    for (const QString& rtf : all) {
        const QString name = QFileInfo(rtf).completeBaseName();
        // A file LibreOffice cannot open leaves no text behind.
        const QString theirFile = outDir + u'/' + name + QStringLiteral(".txt");
        QString theirs = QFile::exists(theirFile) ? fileText(theirFile) : QString();
        const auto it = libreOfficeReadings().find(name);
        if (it != libreOfficeReadings().end() && it->second.replacements.empty() && it->second.glyphs == Font::None) {
            EXPECT_EQ(lines(theirs), lines(fileText(withoutSuffix(rtf) + QStringLiteral(".lo.txt"))))
                << name.toStdString() << ": " << it->second.why;
            EXPECT_NE(lines(convert(rtf)), lines(theirs)) << name.toStdString() << " now reads as LibreOffice's";
            continue;
        }
        if (it != libreOfficeReadings().end()) {
            if (it->second.glyphs != Font::None) {
                theirs = withGlyphs(theirs, it->second.glyphs);
            }
            for (const auto& [read, held] : it->second.replacements) {
                EXPECT_TRUE(theirs.contains(read)) << name.toStdString() << ": " << it->second.why;
                theirs.replace(read, held);
            }
        }
        EXPECT_EQ(lines(convert(rtf)), lines(theirs)) << rtf.toStdString();
    }
}

}  // namespace
