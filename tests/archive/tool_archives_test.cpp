// Archives that zip, 7-Zip, Python's zipfile and hand-made bytes give (tests/data/zip, remade by its
// regenerate.sh): each extracts as the component lists it, or the refusal says why.
#include "archive_test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <zlib.h>

#include <map>

namespace tk::test {
namespace {

const QString kMethod = QStringLiteral("이 프로그램이 풀 수 없는 압축 방식이라 풀지 않았습니다: \"c.txt\", ");

struct ToolArchive {
    const char* file;
    int extracted;           // members written; -1: every member listed
    const char16_t* reason;  // what the refusal says, when something is refused
    bool sevenZipExtracts;   // whether `7z x` extracts it all
};

const ToolArchive kArchives[] = {
    {"zip_plain.zip", -1, nullptr, true},
    {"zip_bzip2.zip", -1, nullptr, true},
    {"7z_deflate.zip", -1, nullptr, true},
    {"7z_bzip2.zip", -1, nullptr, true},
    {"py_stored.zip", -1, nullptr, true},
    {"py_bzip2.zip", -1, nullptr, true},
    {"py_zip64.zip", -1, nullptr, true},
    {"py_stream.zip", -1, nullptr, true},
    {"py_stream_zip64.zip", -1, nullptr, true},
    // This was: not even listed (11015): the directory was looked for where the large-archive
    // records lie.
    {"zip_zip64.zip", -1, nullptr, true},
    {"hand_zip64_central.zip", -1, nullptr, true},
    // This was: listed, then refused as "Zip archive inconsistent": its folders' local headers
    // ask for a later version than the directory does.
    {"zip_zip64_folders.zip", -1, nullptr, true},
    // This was: not listed (11015), and once listed its member, read from a pipe, refused as a
    // special file.
    {"zip_stdin.zip", -1, nullptr, true},
    // This was: listed, then refused as "Zip archive inconsistent": the sizes follow the data.
    {"zip_descriptors.zip", -1, nullptr, true},
    {"zip_descriptor_folders.zip", -1, nullptr, true},
    // This was: listed, then refused as "member header missing": the positions do not count the
    // program before the archive. 7-Zip does not open it; Python's zipfile does.
    {"zip_prefix.zip", -1, nullptr, false},
    {"zip_prefix_fixed.zip", -1, nullptr, true},
    // This was: listed, then refused as "Zip archive inconsistent" for the bytes after it.
    {"zip_trailing.zip", -1, nullptr, true},
    // These were refused in English, "compression method not supported", naming no method.
    {"7z_lzma.zip", 1, u"LZMA 방식(14번)", true},
    {"py_lzma.zip", 0, u"LZMA 방식(14번)", true},
    {"7z_ppmd.zip", 1, u"PPMd 방식(98번)", true},
    {"7z_deflate64.zip", 1, u"Deflate64 방식(9번)", true},
    {"hand_xz.zip", 1, u"XZ 방식(95번)", true},
    {"hand_zstd.zip", 1, u"Zstandard 방식(93번)", true},
    // This was: "cannot be read: File already exists". 7-Zip writes one over the other.
    {"hand_duplicate.zip", 0,
     u"압축 파일 안에 이름이 같은 파일이 둘 이상 있어 어느 파일도 풀지 않았습니다: \"a.txt\". 압축 파일을 만든 "
     u"프로그램에서 이름이 겹치지 않게 다시 만드십시오. (10507)",
     true},
    // This was: "c.txt: bad CRC; the file was not written".
    {"hand_crc.zip", 1, u"압축 파일 안의 파일이 CRC 검사에서 손상된 것으로 나와 풀지 않았습니다: \"c.txt\".", false},
    // This was: "c.txt: Zlib error: ...".
    {"hand_damaged.zip", 1, u"압축 파일 안의 파일이 손상되어 풀지 않았습니다: \"c.txt\".", false},
};

QString dataFile(const char* name) {
    return QStringLiteral(TK_TEST_DATA "/zip/") + QString::fromLatin1(name);
}

uint32_t crcOf(const QByteArray& bytes) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), bytes.size()));
}

// Every file below folder, by its path there, with its bytes.
std::map<QString, QByteArray> filesBelow(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files[QDir(folder).relativeFilePath(file)] = readFile(file);
    }
    return files;
}

class ToolArchivesTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        archiver.SetUnattended(true);
    }
};

// Each member written is the one listed, with its listed size and CRC; the refused ones say why.
TEST_F(ToolArchivesTest, EachExtractsAsItListsOrSaysWhyNot) {
    for (const ToolArchive& a : kArchives) {
        SCOPED_TRACE(a.file);
        messages.clear();
        archiver.SetZipFileName(dataFile(a.file));
        ASSERT_FALSE(archiver.ZipFileName().isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
        std::map<QString, std::pair<uint32_t, uint64_t>> listed;  // CRC and size by name
        for (int i = 0; i < archiver.EntryCount(); ++i) {
            const ArchiveDirEntry& e = archiver.DirEntry(i);
            listed[e.MemberName] = {e.fixed.Crc, e.OriginalSize64};
        }
        const QString out = path(QString::fromLatin1(a.file));
        const int written = extract(dataFile(a.file), out);
        const QString said = messages.join(QLatin1Char('\n'));
        EXPECT_EQ(written, a.extracted < 0 ? archiver.EntryCount() : a.extracted) << said.toStdString();
        if (a.reason) {
            EXPECT_TRUE(said.contains(QString::fromUtf16(a.reason))) << said.toStdString();
        }
        const std::map<QString, QByteArray> files = filesBelow(out);
        EXPECT_EQ(static_cast<int>(files.size()), written);
        for (const auto& [name, bytes] : files) {
            ASSERT_TRUE(listed.count(name)) << name.toStdString();
            EXPECT_EQ(crcOf(bytes), listed[name].first) << name.toStdString();
            EXPECT_EQ(static_cast<uint64_t>(bytes.size()), listed[name].second) << name.toStdString();
        }
    }
}

// This was: "caf\x82.txt" listed and written as "caf\uFFFD.txt", and a name whose UTF-8 form
// another tool kept in an extra field listed by its stored form but written by the UTF-8 one.
TEST_F(ToolArchivesTest, NamesListAndExtractAlike) {
    const QStringList names{QStringLiteral("한글.txt"), QStringLiteral("café.txt"), QStringLiteral("유니코드.txt"),
                            QStringLiteral("확장.txt")};
    archiver.SetZipFileName(dataFile("hand_names.zip"));
    QStringList listed;
    for (int i = 0; i < archiver.EntryCount(); ++i) {
        listed << archiver.DirEntry(i).MemberName;
    }
    EXPECT_EQ(listed, names);
    ASSERT_EQ(extract(dataFile("hand_names.zip"), path(QStringLiteral("out"))), 4);
    QStringList written = QDir(path(QStringLiteral("out"))).entryList(QDir::Files);
    QStringList expected = names;
    written.sort();
    expected.sort();
    EXPECT_EQ(written, expected);
}

// The descriptor after a streamed member stands in for its local header's sizes, so one that
// disagrees with the directory is refused like a local header that does. This was: extracted,
// the descriptor never read (7-Zip and Python's zipfile extract it too).
TEST_F(ToolArchivesTest, AStreamedMemberWhoseDescriptorDisagreesIsRefused) {
    QByteArray bytes = readFile(dataFile("py_stream.zip"));
    const qsizetype descriptor = bytes.indexOf(QByteArray("PK\x07\x08", 4));
    ASSERT_GT(descriptor, 0);
    bytes[descriptor + 4] = static_cast<char>(bytes[descriptor + 4] ^ 1);  // its CRC
    writeFile(path(QStringLiteral("bad.zip")), bytes);
    EXPECT_EQ(extract(path(QStringLiteral("bad.zip")), path(QStringLiteral("out"))), 0);
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(QStringLiteral("(10511)")))
        << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
}

// Adding rewrites the archive through libzip, which keeps its consistency checks there. This was:
// "File already exists" for duplicate names and "Zip archive inconsistent" for a stream's sizes.
TEST_F(ToolArchivesTest, AddingToAnArchiveItCannotRewriteSaysWhyAndChangesNothing) {
    writeFile(path(QStringLiteral("new.txt")), "new");
    const std::pair<const char*, QString> cases[] = {
        {"hand_duplicate.zip", QStringLiteral("이름이 같은 파일이 둘 이상 있음")},
        {"zip_descriptors.zip", QStringLiteral("구조가 앞뒤가 맞지 않음")},
    };
    for (const auto& [file, why] : cases) {
        SCOPED_TRACE(file);
        messages.clear();
        const QString archive = path(QString::fromLatin1(file));
        ASSERT_TRUE(QFile::copy(dataFile(file), archive));
        EXPECT_EQ(add(archive, dir.path(), {QStringLiteral("new.txt")}), 0);
        const QString said = messages.join(QLatin1Char('\n'));
        EXPECT_TRUE(said.contains(QStringLiteral("압축 파일을 그대로 읽을 수 없어 파일을 넣지 않았습니다: ") + why))
            << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("(10306)")));
        EXPECT_EQ(readFile(archive), readFile(dataFile(file)));
    }
}

// Failures of adding are told in Korean with their reason. This was "nothing to do" for files that
// matched nothing and libzip's English text for an archive that could not be written.
TEST_F(ToolArchivesTest, AddingFailuresSayWhyInKorean) {
    const QString archive = path(QStringLiteral("new.zip"));
    EXPECT_EQ(add(archive, dir.path(), {QStringLiteral("missing.txt")}), 0);
    QString said = messages.join(QLatin1Char('\n'));
    EXPECT_TRUE(said.contains(QStringLiteral("추가할 파일을 찾지 못해 아무것도 넣지 않았습니다.")))
        << said.toStdString();
    EXPECT_FALSE(QFile::exists(archive));
    messages.clear();
    writeFile(path(QStringLiteral("new.txt")), "new");
    EXPECT_EQ(add(path(QStringLiteral("no folder/new.zip")), dir.path(), {QStringLiteral("new.txt")}), 0);
    said = messages.join(QLatin1Char('\n'));
    EXPECT_TRUE(said.contains(QStringLiteral(": 파일이나 폴더가 없음"))) << said.toStdString();
    // Paths aside, no English words.
    static const QRegularExpression pathPart(QStringLiteral("/[^:]*"));
    static const QRegularExpression english(QStringLiteral("[A-Za-z]{4,}"));
    EXPECT_FALSE(QString(said).remove(pathPart).contains(english)) << said.toStdString();
}

// Without libzip's own checks (for a streamed archive) the directory libzip follows must still be
// the one checked: a recorded position past where the directory lies is refused.
TEST_F(ToolArchivesTest, AStreamedArchiveWhoseDirectoryIsRecordedElsewhereIsRefused) {
    QByteArray bytes = readFile(dataFile("py_stream.zip"));
    const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
    ASSERT_GT(end, 0);
    bytes[end + 16] = static_cast<char>(bytes[end + 16] + 1);  // the central directory's offset
    writeFile(path(QStringLiteral("moved.zip")), bytes);
    EXPECT_EQ(extract(path(QStringLiteral("moved.zip")), path(QStringLiteral("out"))), 0);
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(QStringLiteral("(10511)")))
        << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
}

// What a user at a terminal gets: what 7-Zip extracts, with the same names and bytes; the rest
// refused with its reason, and the members that could be read written as 7-Zip writes them.
TEST_F(ToolArchivesTest, CommandLineExtractsWhatSevenZipExtracts) {
    if (!haveProgram(QStringLiteral("7z"))) {
        GTEST_SKIP() << "7z is not installed (make deps installs it)";
    }
    const QString cli = binDir() + QStringLiteral("/tomekeep-cli");
    for (const ToolArchive& a : kArchives) {
        SCOPED_TRACE(a.file);
        const QString seven = path(QStringLiteral("7z-") + QString::fromLatin1(a.file));
        const QString ours = path(QStringLiteral("cli-") + QString::fromLatin1(a.file));
        QByteArray sevenSaid, said;
        const int sevenCode = runProgram(QStringLiteral("7z"),
                                         {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-bd"),
                                          QStringLiteral("-o") + seven, dataFile(a.file)},
                                         {}, &sevenSaid);
        EXPECT_EQ(sevenCode == 0, a.sevenZipExtracts) << sevenSaid.toStdString();
        const int code = runProgram(cli, {QStringLiteral("extract"), dataFile(a.file), ours}, {}, &said);
        const std::map<QString, QByteArray> written = filesBelow(ours);
        if (!a.reason) {
            EXPECT_EQ(code, 0) << said.toStdString();
            if (a.sevenZipExtracts) {
                EXPECT_EQ(written, filesBelow(seven));
            }
            continue;
        }
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(QString::fromUtf8(said).contains(QString::fromUtf16(a.reason))) << said.toStdString();
        EXPECT_EQ(static_cast<int>(written.size()), a.extracted);
        const std::map<QString, QByteArray> sevenWrote = filesBelow(seven);
        for (const auto& [name, bytes] : written) {
            EXPECT_TRUE(sevenWrote.count(name) && sevenWrote.at(name) == bytes) << name.toStdString();
        }
    }
}

// This was: the engine's load failure said twice, then "파일 0개를 풀었습니다." as if the archive
// were empty.
TEST_F(ToolArchivesTest, CommandLineWithoutItsEngineSaysSoAndCountsNothing) {
    const QString alone = path(QStringLiteral("alone"));
    QDir().mkpath(alone);
    ASSERT_TRUE(QFile::copy(binDir() + QStringLiteral("/tomekeep-cli"), alone + QStringLiteral("/tomekeep-cli")));
    QByteArray said;
    EXPECT_EQ(
        runProgram(alone + QStringLiteral("/tomekeep-cli"),
                   {QStringLiteral("extract"), dataFile("zip_plain.zip"), path(QStringLiteral("out"))}, {}, &said),
        1);
    const QString text = QString::fromUtf8(said);
    EXPECT_EQ(text.count(QStringLiteral("압축 풀기 엔진 libunzeng.so를 불러올 수 없습니다")), 1) << said.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("압축 풀기 엔진을 쓸 수 없어 아무 파일도 풀지 않았습니다.")));
    EXPECT_FALSE(text.contains(QStringLiteral("개를 풀었습니다"))) << said.toStdString();
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
}

}  // namespace
}  // namespace tk::test
