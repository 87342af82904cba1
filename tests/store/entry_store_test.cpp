// The entry store over a program folder of its own, with the real engines; archives it writes are
// read back with an outside reader (7z), so protection and contents are checked independently.
#include "store/entry_store.h"
#include "archive/archiver_types.h"
#include "archive_test_support.h"
#include "platform/codepage.h"
#include "platform/shell_ops.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tk;
using tk::test::readFile;
using tk::test::runProgram;
using tk::test::writeFile;

namespace {

const QString kDoc = QString(kDocumentFile);
const QByteArray kBody = "{\\rtf1\\ansi 첫 본문}";
const QByteArray kPicture = "\x89PNG picture bytes";

// Sets an environment variable while it lives.
class EnvSetting final {
  public:
    EnvSetting(const char* name, const QString& value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) {
            old_ = qEnvironmentVariable(name);
        }
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvSetting() { old_ ? qputenv(name_, QFile::encodeName(*old_)) : qunsetenv(name_); }
    Q_DISABLE_COPY_MOVE(EnvSetting)

  private:
    const char* name_;
    std::optional<QString> old_;
};

// What an outside reader got out of an archive with a password.
struct Unpacked {
    bool ok = false;  // every member came out
    QMap<QString, QByteArray> files;
};

Unpacked unpack(const QString& archive, const QString& password) {
    QTemporaryDir out;
    Unpacked result;
    const int rc = runProgram(QStringLiteral("7z"), {QStringLiteral("x"), QStringLiteral("-y"),
                                                     QStringLiteral("-p") + password, u"-o" + out.path(), archive});
    result.ok = rc == 0;
    if (result.ok) {
        for (const QString& name : QDir(out.path()).entryList(QDir::Files | QDir::Hidden)) {
            result.files[name] = readFile(out.path() + u'/' + name);
        }
    }
    return result;
}

// Member name -> whether it is encrypted, as the outside reader lists them.
QMap<QString, bool> encryption(const QString& archive) {
    QByteArray listing;
    EXPECT_EQ(runProgram(QStringLiteral("7z"), {QStringLiteral("l"), QStringLiteral("-slt"), archive}, {}, &listing),
              0);
    QMap<QString, bool> result;
    const QStringList lines = QString::fromUtf8(listing).split(u'\n');
    const qsizetype members = lines.indexOf(QStringLiteral("----------"));
    QString path;
    for (qsizetype i = members + 1; members >= 0 && i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("Path = "))) {
            path = lines[i].mid(7);
        } else if (lines[i].startsWith(QStringLiteral("Encrypted = "))) {
            result[path] = lines[i].endsWith(u'+');
        }
    }
    return result;
}

// The comment bytes behind the archive's end record.
QByteArray commentBytes(const QString& archive) {
    const QByteArray bytes = readFile(archive);
    const qsizetype at = bytes.lastIndexOf(QByteArrayView("PK\x05\x06", 4));
    if (at < 0 || at + 22 > bytes.size()) {
        ADD_FAILURE() << "no end record in " << archive.toStdString();
        return {};
    }
    const quint16 length = qFromLittleEndian<quint16>(bytes.constData() + at + 20);
    EXPECT_EQ(at + 22 + length, bytes.size()) << "the comment does not end the file";
    return bytes.mid(at + 22, length);
}

QStringList everything(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

int modeOf(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

class EntryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(tk::test::haveProgram(QStringLiteral("7z"))) << "make deps installs p7zip-full";
        // A Korean folder name catches paths that lose their encoding on the way to the engines.
        program = dir.path() + QStringLiteral("/보관함/");
        scratch = dir.path() + QStringLiteral("/scratch/");
    }

    void startStore() {
        ASSERT_TRUE(store.start(program, scratch)) << store.errorString().toStdString();
        category = store.categoryFolder(QStringLiteral("일기"));
        ASSERT_TRUE(QDir().mkpath(category));
    }

    // A new rich-text entry in the category; its body and any extra files come from a folder of
    // their own. Returns the archive path.
    QString newEntry(const QString& title, const QString& password, const QStringList& extra = {}) {
        const QString source = dir.path() + QStringLiteral("/source/");
        EXPECT_TRUE(removeTree(source));
        writeFile(source + kDoc, kBody);
        for (const QString& name : extra) {
            writeFile(source + name, kPicture);
        }
        const EntryComment comment{title, QStringLiteral("생활"), !password.isEmpty(), kDoc};
        QString name;
        EXPECT_TRUE(
            store.create(category, comment, password, BodyFiles{source, QStringList{kDoc} + extra}, &created, &name))
            << store.errorString().toStdString();
        return created.archivePath;
    }

    QString retitleFolder() const {
        const QStringList found =
            QDir(scratch).entryList({QStringLiteral(".retitle-*")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
        return found.size() == 1 ? scratch + found.front() + u'/' : QString();
    }

    QTemporaryDir dir;
    QString program;
    QString scratch;
    QString category;
    EntryStore store;
    EntryRef created;
};

// --- start and stop ---

TEST_F(EntryStoreTest, StartMakesThePrivateFoldersAndClearsWhatAnEarlierRunLeft) {
    const QString list = program + QStringLiteral("LIST/");
    const QString leftover = QStringLiteral(".20240101000000.zip.tkpart-Ab3xZ9");
    for (const QString& folder : {QString(), QStringLiteral("a/"), QStringLiteral("a/b/"), QStringLiteral("a/b/c/")}) {
        writeFile(list + folder + leftover, "half written");
        writeFile(list + folder + QStringLiteral("20240101000000.zip"), "an entry");
        // Only the exact pattern is a leftover: a marker with seven characters after it is not.
        writeFile(list + folder + QStringLiteral(".x.zip.tkpart-1234567"), "kept");
    }
    // A link in the library is no category: what it points at is not cleaned.
    const QString outside = dir.path() + QStringLiteral("/outside/");
    writeFile(outside + leftover, "someone else's");
    ASSERT_TRUE(QFile::link(QDir::cleanPath(outside), list + QStringLiteral("link")));
    // The scratch folder still holds a decrypted entry, a folder of one, and a link out of it.
    writeFile(scratch + kDoc, "decrypted");
    writeFile(scratch + QStringLiteral("page_files/a.png"), "x");
    writeFile(outside + QStringLiteral("keep.txt"), "not in the scratch folder");
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("keep.txt"), scratch + QStringLiteral("link.txt")));
    ASSERT_TRUE(QFile::setPermissions(scratch, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                   QFileDevice::ExeOther));

    ASSERT_TRUE(store.start(program, scratch)) << store.errorString().toStdString();
    EXPECT_TRUE(store.isStarted());
    EXPECT_EQ(store.libraryDir(), list);
    EXPECT_EQ(store.scratchDir(), scratch);
    EXPECT_EQ(modeOf(scratch), 0700);
    EXPECT_EQ(everything(scratch), QStringList());
    EXPECT_EQ(readFile(outside + QStringLiteral("keep.txt")), "not in the scratch folder");
    EXPECT_TRUE(QFileInfo::exists(outside + leftover));
    for (const QString& folder : {QString(), QStringLiteral("a/"), QStringLiteral("a/b/"), QStringLiteral("a/b/c/")}) {
        EXPECT_FALSE(QFileInfo::exists(list + folder + leftover)) << folder.toStdString();
        EXPECT_TRUE(QFileInfo::exists(list + folder + QStringLiteral("20240101000000.zip")));
        EXPECT_TRUE(QFileInfo::exists(list + folder + QStringLiteral(".x.zip.tkpart-1234567")));
    }
}

TEST_F(EntryStoreTest, WithoutAScratchFolderItIsTempInTheProgramFolder) {
    ASSERT_TRUE(store.start(dir.path() + QStringLiteral("/p"))) << store.errorString().toStdString();
    EXPECT_EQ(store.programDir(), dir.path() + QStringLiteral("/p/"));
    EXPECT_EQ(store.scratchDir(), dir.path() + QStringLiteral("/p/TEMP/"));
    EXPECT_EQ(store.richBodyFile(), dir.path() + QStringLiteral("/p/TEMP/TKFile.rtf"));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/p/LIST")).isDir());
    EXPECT_EQ(modeOf(dir.path() + QStringLiteral("/p/TEMP")), 0700);
}

// An archive with "d/" 2,100 times in a member name once left a tree deeper than PATH_MAX in the
// scratch folder. This was: every start after it failed with "프로그램 시작 오류", as the tree
// could not be emptied, until the user removed the folder by hand.
TEST_F(EntryStoreTest, ATreeDeeperThanPathMaxInTheScratchFolderIsEmptiedAtStartAndStop) {
    ASSERT_TRUE(QDir().mkpath(scratch));
    tk::test::makeDeepTree(scratch, 2100);
    writeFile(scratch + kDoc, "decrypted");
    ASSERT_TRUE(store.start(program, scratch)) << store.errorString().toStdString();
    EXPECT_EQ(everything(scratch), QStringList());
    tk::test::makeDeepTree(scratch, 2100);
    store.stop();
    EXPECT_EQ(everything(scratch), QStringList());
}

TEST_F(EntryStoreTest, OneStoreAtATimePerProgramFolder) {
    startStore();
    writeFile(scratch + kDoc, "the first copy's open entry");

    EntryStore second;
    EXPECT_FALSE(second.start(program, dir.path() + QStringLiteral("/other-scratch/")));
    EXPECT_EQ(second.error(), EntryError::AlreadyRunning);
    EXPECT_EQ(second.errorString(), QStringLiteral("TOMEKEEP이 이미 실행 중입니다.\n같은 폴더를 쓰는 TOMEKEEP은 "
                                                   "하나만 실행할 수 있습니다."));
    EXPECT_FALSE(second.isStarted());
    EXPECT_EQ(readFile(scratch + kDoc), "the first copy's open entry");

    store.stop();
    EXPECT_FALSE(store.isStarted());
    EXPECT_EQ(everything(scratch), QStringList());
    EntryStore third;
    EXPECT_TRUE(third.start(program, scratch)) << third.errorString().toStdString();
}

// A copy that crashed left its lock file behind; the next start must not be refused for ever.
TEST_F(EntryStoreTest, ALockLeftByACopyThatEndedIsTakenOver) {
    QLockFile model(dir.path() + QStringLiteral("/model.lock"));
    ASSERT_TRUE(model.tryLock(0));
    QByteArray contents = readFile(dir.path() + QStringLiteral("/model.lock"));
    model.unlock();
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 pid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    contents = QByteArray::number(pid) + contents.mid(contents.indexOf('\n'));
    writeFile(program + QStringLiteral("TOMEKEEP.lock"), contents);

    EXPECT_TRUE(store.start(program, scratch)) << store.errorString().toStdString();
}

TEST_F(EntryStoreTest, ALibraryThatIsAFileIsRefused) {
    writeFile(program + QStringLiteral("LIST"), "not a folder");
    EXPECT_FALSE(store.start(program, scratch));
    EXPECT_EQ(store.error(), EntryError::Folder);
    EXPECT_EQ(store.errorString(), program + QStringLiteral("LIST/폴더를 만들수 없습니다."));
    EXPECT_FALSE(store.isStarted());
}

// This was: the refusal ended in the platform's English reason, "(…/scratch/ is not a folder of
// its own)", and did not say what to do.
TEST_F(EntryStoreTest, AScratchFolderThatIsALinkIsRefusedAndWhatItPointsAtIsLeftAlone) {
    const QString target = dir.path() + QStringLiteral("/elsewhere");
    writeFile(target + QStringLiteral("/notes.txt"), "the user's own file");
    ASSERT_TRUE(QFile::link(target, dir.path() + QStringLiteral("/scratch")));

    EXPECT_FALSE(store.start(program, scratch));
    EXPECT_EQ(store.error(), EntryError::Folder);
    EXPECT_EQ(store.errorString(),
              scratch + QStringLiteral("폴더를 만들수 없습니다.\n작업 폴더는 이 사용자만 쓸 수 있는 폴더여야 "
                                       "합니다. 같은 이름의 링크나 파일이 있거나 다른 사용자의 폴더이면 지우거나 "
                                       "옮긴 뒤 다시 시작하세요."));
    EXPECT_EQ(readFile(target + QStringLiteral("/notes.txt")), "the user's own file");
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/scratch")).isSymLink());
}

// --- create ---

TEST_F(EntryStoreTest, CreateWritesTheBodyTheProtectionAndTheCommentExactly) {
    startStore();
    const QString plain = newEntry(QStringLiteral("오늘의 일기"), {});
    EXPECT_EQ(created.archivePath, plain);
    EXPECT_EQ(created.password, QString());
    EXPECT_EQ(created.documentFile, kDoc);
    EXPECT_EQ(created.title, QStringLiteral("오늘의 일기"));
    EXPECT_EQ(QFileInfo(plain).absolutePath() + u'/', category);
    EXPECT_EQ(commentBytes(plain), codepage::encodeComment(QStringLiteral("오늘의 일기|생활|N|TKFile.rtf")));
    EXPECT_EQ(encryption(plain), (QMap<QString, bool>{{kDoc, false}}));
    EXPECT_EQ(unpack(plain, {}).files, (QMap<QString, QByteArray>{{kDoc, kBody}}));

    const QString locked = newEntry(QStringLiteral("비밀"), QStringLiteral("암호123"), {QStringLiteral("pic.png")});
    EXPECT_EQ(created.password, QStringLiteral("암호123"));
    EXPECT_EQ(commentBytes(locked),
              codepage::encodeComment(MakeEntryComment(QStringLiteral("비밀"), QStringLiteral("생활"), true, kDoc)));
    EXPECT_EQ(encryption(locked), (QMap<QString, bool>{{kDoc, true}, {QStringLiteral("pic.png"), true}}));
    EXPECT_EQ(unpack(locked, QStringLiteral("암호123")).files,
              (QMap<QString, QByteArray>{{kDoc, kBody}, {QStringLiteral("pic.png"), kPicture}}));
    EXPECT_FALSE(unpack(locked, QStringLiteral("암호124")).ok);
    EXPECT_FALSE(unpack(locked, {}).ok);
}

TEST_F(EntryStoreTest, ArchivesAreNamedAfterTheSecondAndAnUnderscoreTellsTwoInOneSecondApart) {
    startStore();
    const QRegularExpression pattern(QStringLiteral("^\\d{14}_*$"));
    bool sameSecond = false;
    for (int attempt = 0; attempt < 3 && !sameSecond; ++attempt) {
        const QString first = QFileInfo(newEntry(QStringLiteral("하나"), {})).completeBaseName();
        const QString second = QFileInfo(newEntry(QStringLiteral("둘"), {})).completeBaseName();
        ASSERT_TRUE(pattern.match(first).hasMatch()) << first.toStdString();
        ASSERT_TRUE(pattern.match(second).hasMatch()) << second.toStdString();
        const QDateTime when = QDateTime::fromString(first.left(14), QStringLiteral("yyyyMMddHHmmss"));
        ASSERT_TRUE(when.isValid());
        EXPECT_LE(std::abs(when.secsTo(QDateTime::currentDateTime())), 5);
        // A second that ticked over between the two gives no underscore: try again.
        if (second.left(14) == first.left(14)) {
            sameSecond = true;
            EXPECT_EQ(second, first + u'_');
        }
    }
    EXPECT_TRUE(sameSecond);

    // newArchiveName on its own: every name taken in this second adds one more underscore.
    const QString folder = dir.path() + QStringLiteral("/names/");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString name = EntryStore::newArchiveName(folder);
        ASSERT_EQ(name.size(), 14);
        writeFile(EntryStore::archivePath(folder, name), "x");
        writeFile(EntryStore::archivePath(folder, name + u'_'), "x");
        const QString next = EntryStore::newArchiveName(folder);
        if (next.left(14) == name) {
            EXPECT_EQ(next, name + QStringLiteral("__"));
            break;
        }
    }
}

TEST_F(EntryStoreTest, CreateIntoAMissingCategoryWritesNothing) {
    startStore();
    writeFile(store.richBodyFile(), kBody);
    const QString missing = store.categoryFolder(QStringLiteral("지운 분류"));
    EntryRef ref;
    QString name;
    EXPECT_FALSE(store.create(missing, EntryComment{QStringLiteral("제목"), {}, false, kDoc}, {}, store.richBody(),
                              &ref, &name));
    EXPECT_EQ(store.error(), EntryError::Folder);
    EXPECT_EQ(store.errorString(), QStringLiteral("글을 저장할 분류 폴더가 없습니다.\n") + missing +
                                       QStringLiteral("\n분류를 다시 고른 뒤 저장하세요."));
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(everything(store.libraryDir()), QStringList{QStringLiteral("일기")});
    EXPECT_FALSE(ref.isValid());
    EXPECT_TRUE(name.isEmpty());

    // No body to add: the add fails and leaves no archive either.
    ASSERT_TRUE(QFile::remove(store.richBodyFile()));
    EXPECT_FALSE(store.create(category, EntryComment{QStringLiteral("제목"), {}, false, kDoc}, {}, store.richBody(),
                              &ref, &name));
    EXPECT_EQ(store.error(), EntryError::Add);
    EXPECT_TRUE(
        store.errorString().startsWith(QStringLiteral("Error in Add; Fatal DLL Exception in mainunit\n글을 "
                                                      "저장하지 못했습니다.")))
        << store.errorString().toStdString();
    EXPECT_EQ(everything(category), QStringList());
}

// A comment longer than the end record's 16-bit length cannot be written: the archive the add made
// must not stay behind as an untitled entry.
TEST_F(EntryStoreTest, ACommentThatCannotBeWrittenLeavesNoArchive) {
    startStore();
    writeFile(store.richBodyFile(), kBody);
    EntryRef ref;
    QString name;
    EXPECT_FALSE(store.create(category, EntryComment{QString(70000, u'가'), {}, false, kDoc}, {}, store.richBody(),
                              &ref, &name));
    EXPECT_EQ(store.error(), EntryError::Comment);
    EXPECT_EQ(store.errorString(), QStringLiteral("글의 제목과 분류를 글 보관 파일에 쓰지 못했습니다.\n(") +
                                       archiverMessageText(11010) + u')');
    EXPECT_EQ(everything(category), QStringList());
    EXPECT_FALSE(ref.isValid());
}

// This was: a category "가|Y" was written as "제목|가|Y|N|TKFile.rtf", read back as a protected
// entry whose document file is "N|TKFile.rtf", and the entry could never be opened again.
TEST_F(EntryStoreTest, ASeparatorInTheTitleOrCategoryIsRefusedBeforeAnythingIsWritten) {
    startStore();
    const QString refused = QStringLiteral("제목과 분류에는 \"|\"를 쓸 수 없습니다. \"|\"를 빼고 다시 저장하세요.");
    writeFile(store.richBodyFile(), kBody);
    EntryRef ref;
    QString name;
    EXPECT_FALSE(store.create(category, EntryComment{QStringLiteral("제목"), QStringLiteral("가|Y"), false, kDoc}, {},
                              store.richBody(), &ref, &name));
    EXPECT_EQ(store.error(), EntryError::BadTitle);
    EXPECT_EQ(store.errorString(), refused);
    EXPECT_EQ(everything(category), QStringList());

    const QString path = newEntry(QStringLiteral("제목"), QStringLiteral("pw"));
    const QByteArray before = readFile(path);
    for (const EntryComment& comment : {EntryComment{QStringLiteral("새|제목"), {}, false, kDoc},
                                        EntryComment{QStringLiteral("제목"), QStringLiteral("|"), false, kDoc}}) {
        ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("pw"))) << store.errorString().toStdString();
        EXPECT_FALSE(store.finishRetitle(comment, {}, &ref));
        EXPECT_EQ(store.error(), EntryError::BadTitle);
        EXPECT_EQ(store.errorString(), refused);
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(everything(scratch), QStringList{kDoc});  // the work folder is gone
    }
}

// --- open ---

TEST_F(EntryStoreTest, OpenExtractsIntoTheEmptiedScratchFolder) {
    startStore();
    const QString path = newEntry(QStringLiteral("비밀"), QStringLiteral("pw"), {QStringLiteral("pic.png")});
    writeFile(scratch + QStringLiteral("stale.htm"), "the entry opened before");

    EntryRef opened;
    QString body;
    ASSERT_TRUE(store.open(path, EntryComment{QStringLiteral("비밀"), QStringLiteral("생활"), true, kDoc},
                           QStringLiteral("pw"), &opened, &body))
        << store.errorString().toStdString();
    EXPECT_EQ(store.error(), EntryError::None);
    EXPECT_EQ(body, scratch + kDoc);
    EXPECT_EQ(readFile(body), kBody);
    EXPECT_EQ(modeOf(body), 0600);  // decrypted text is for this user only
    EXPECT_EQ(everything(scratch), (QStringList{QStringLiteral("pic.png"), kDoc}));
    EXPECT_EQ(opened.archivePath, path);
    EXPECT_EQ(opened.password, QStringLiteral("pw"));
    EXPECT_EQ(opened.documentFile, kDoc);
    EXPECT_EQ(opened.title, QStringLiteral("비밀"));
    EXPECT_TRUE(opened.isProtected());
    EXPECT_FALSE(opened.isWeb());
}

TEST_F(EntryStoreTest, OpenFailuresSayWhatWentWrong) {
    startStore();
    const QString path = newEntry(QStringLiteral("비밀"), QStringLiteral("pw"));
    const EntryComment comment{QStringLiteral("비밀"), {}, true, kDoc};
    EntryRef opened;
    QString body;

    for (const QString& wrong : {QStringLiteral("pW"), QString()}) {
        EXPECT_FALSE(store.open(path, comment, wrong, &opened, &body));
        EXPECT_EQ(store.error(), EntryError::WrongPassword);
        EXPECT_EQ(store.errorString(), QStringLiteral("암호가 틀렸습니다."));
        EXPECT_FALSE(QFileInfo::exists(scratch + kDoc));
    }

    writeFile(scratch + QStringLiteral("open.htm"), "still shown");
    EXPECT_FALSE(store.open(category + QStringLiteral("20000101000000.zip"), comment, {}, &opened, &body));
    EXPECT_EQ(store.error(), EntryError::Missing);
    EXPECT_EQ(store.errorString(), QStringLiteral("이 파일이 존재하지 않습니다."));
    EXPECT_TRUE(QFileInfo::exists(scratch + QStringLiteral("open.htm")));

    const QString damaged = category + QStringLiteral("19990101000000.zip");
    writeFile(damaged, "This is not an archive at all, only some text in a file named like one.");
    EXPECT_TRUE(store.checkArchive(path));
    EXPECT_FALSE(store.checkArchive(damaged));
    EXPECT_EQ(store.error(), EntryError::Unreadable);
    EXPECT_FALSE(store.open(damaged, comment, {}, &opened, &body));
    EXPECT_EQ(store.error(), EntryError::Unreadable);
    EXPECT_EQ(store.errorString(), QStringLiteral("\"19990101000000.zip\" 파일을 압축 파일로 읽을 수 없습니다. 파일이 "
                                                  "손상되었거나 글 보관 파일이 아닙니다.\n(") +
                                       archiverMessageText(11036) + u')');
    EXPECT_FALSE(opened.isValid());
}

TEST_F(EntryStoreTest, ADocumentNameThatIsNoPlainFileNameIsNeverOpened) {
    startStore();
    const QString path = newEntry(QStringLiteral("제목"), {});
    writeFile(scratch + QStringLiteral("open.htm"), "still shown");
    for (const QString& name :
         {QStringLiteral("../x.html"), QStringLiteral("a/b.html"), QString(), QStringLiteral(".."), QStringLiteral("."),
          QStringLiteral("x\\y.html"), QStringLiteral("a\nb.html"), QStringLiteral("tab\t.html"),
          QStringLiteral("/etc/passwd")}) {
        EntryRef opened;
        QString body;
        EXPECT_FALSE(store.open(path, EntryComment{QStringLiteral("제목"), {}, false, name}, {}, &opened, &body))
            << name.toStdString();
        EXPECT_EQ(store.error(), EntryError::BadDocument);
        EXPECT_EQ(store.errorString(), QStringLiteral("이 글이 가리키는 문서 파일 이름 \"%1\"은 올바른 파일 이름이 "
                                                      "아니어서 열지 않았습니다.\n글 보관 파일이 손상되었거나 다른 "
                                                      "프로그램이 만든 것입니다.")
                                           .arg(name));
        EXPECT_EQ(everything(scratch), QStringList{QStringLiteral("open.htm")});
        EXPECT_FALSE(opened.isValid());
    }
}

TEST_F(EntryStoreTest, ABodyMissingFromTheArchiveStopsTheOpen) {
    startStore();
    const QString path = category + QStringLiteral("20240101000000.zip");
    tk::test::writeLibzipArchive(path, {{"page.htm", "<p>a page</p>"}}, nullptr, 0,
                                 codepage::encodeComment(QStringLiteral("웹|분류|N|TKFile.rtf")));
    EntryRef opened;
    QString body;
    EXPECT_FALSE(store.open(path, EntryComment{QStringLiteral("웹"), {}, false, kDoc}, {}, &opened, &body));
    EXPECT_EQ(store.error(), EntryError::Extract);
    EXPECT_TRUE(store.errorString().startsWith(
        QStringLiteral("Error in Extract; Fatal DLL Exception in mainunit\n문서 파일 \"TKFile.rtf\"을 글 보관 파일에서 "
                       "꺼내지 못했습니다.")))
        << store.errorString().toStdString();
    EXPECT_FALSE(opened.isValid());
}

// --- saveBody ---

TEST_F(EntryStoreTest, SavingKeepsTheProtectionAndTheCommentByteForByte) {
    startStore();
    const QString path = newEntry(QStringLiteral("비밀 일기"), QStringLiteral("pw"), {QStringLiteral("pic.png")});
    const QByteArray comment = commentBytes(path);
    EntryRef opened;
    QString body;
    ASSERT_TRUE(
        store.open(path, ParseEntryComment(codepage::decodeComment(comment)), QStringLiteral("pw"), &opened, &body));

    writeFile(store.richBodyFile(), "{\\rtf1 고친 본문}");
    ASSERT_TRUE(store.saveBody(opened, store.richBody())) << store.errorString().toStdString();
    EXPECT_EQ(commentBytes(path), comment);
    EXPECT_EQ(encryption(path), (QMap<QString, bool>{{kDoc, true}, {QStringLiteral("pic.png"), true}}));
    EXPECT_EQ(unpack(path, QStringLiteral("pw")).files,
              (QMap<QString, QByteArray>{{kDoc, "{\\rtf1 고친 본문}"}, {QStringLiteral("pic.png"), kPicture}}));
    EXPECT_FALSE(unpack(path, {}).ok);

    const QString plain = newEntry(QStringLiteral("공개"), {});
    writeFile(store.richBodyFile(), "plain again");
    ASSERT_TRUE(store.saveBody(created, store.richBody())) << store.errorString().toStdString();
    EXPECT_EQ(encryption(plain), (QMap<QString, bool>{{kDoc, false}}));
    EXPECT_EQ(unpack(plain, {}).files[kDoc], "plain again");
}

TEST_F(EntryStoreTest, SavingIntoAnArchiveThatIsGoneMakesNoNewOne) {
    startStore();
    const QString path = newEntry(QStringLiteral("제목"), {});
    ASSERT_TRUE(QFile::remove(path));
    writeFile(store.richBodyFile(), kBody);
    EXPECT_FALSE(store.saveBody(created, store.richBody()));
    EXPECT_EQ(store.error(), EntryError::Missing);
    EXPECT_EQ(store.errorString(),
              QStringLiteral("저장할 글의 보관 파일이 없습니다. 지워졌거나 다른 곳으로 옮겨졌습니다.\n") + path);
    EXPECT_EQ(everything(category), QStringList());
}

// --- retitle ---

TEST_F(EntryStoreTest, RetitleTurnsProtectionOnForEveryFileAndLeavesTheOpenDocumentAlone) {
    startStore();
    const QString path = newEntry(QStringLiteral("공개"), {}, {QStringLiteral("pic.png")});
    EntryRef opened;
    QString body;
    ASSERT_TRUE(store.open(path, EntryComment{QStringLiteral("공개"), {}, false, kDoc}, {}, &opened, &body));
    writeFile(body, "being edited");

    ASSERT_TRUE(store.beginRetitle(path, kDoc, {})) << store.errorString().toStdString();
    EXPECT_FALSE(retitleFolder().isEmpty());
    EntryRef retitled;
    ASSERT_TRUE(store.finishRetitle(EntryComment{QStringLiteral("비공개"), QStringLiteral("분류"), true, kDoc},
                                    QStringLiteral("새 암호"), &retitled))
        << store.errorString().toStdString();

    EXPECT_EQ(retitled.archivePath, path);
    EXPECT_EQ(retitled.password, QStringLiteral("새 암호"));
    EXPECT_EQ(retitled.documentFile, kDoc);
    EXPECT_EQ(retitled.title, QStringLiteral("비공개"));
    EXPECT_EQ(commentBytes(path), codepage::encodeComment(QStringLiteral("비공개|분류|Y|TKFile.rtf")));
    EXPECT_EQ(encryption(path), (QMap<QString, bool>{{kDoc, true}, {QStringLiteral("pic.png"), true}}));
    EXPECT_EQ(unpack(path, QStringLiteral("새 암호")).files,
              (QMap<QString, QByteArray>{{kDoc, kBody}, {QStringLiteral("pic.png"), kPicture}}));
    // The scratch folder is as the open and the editor left it, without the work folder.
    EXPECT_EQ(everything(scratch), (QStringList{QStringLiteral("pic.png"), kDoc}));
    EXPECT_EQ(readFile(body), "being edited");
}

TEST_F(EntryStoreTest, RetitleChangesThePasswordAndTurnsProtectionOff) {
    startStore();
    const QString path = newEntry(QStringLiteral("비밀"), QStringLiteral("old"), {QStringLiteral("pic.png")});
    EntryRef retitled;

    ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("old"))) << store.errorString().toStdString();
    ASSERT_TRUE(
        store.finishRetitle(EntryComment{QStringLiteral("비밀"), {}, true, kDoc}, QStringLiteral("new"), &retitled))
        << store.errorString().toStdString();
    EXPECT_TRUE(unpack(path, QStringLiteral("new")).ok);
    EXPECT_FALSE(unpack(path, QStringLiteral("old")).ok);  // neither member kept the old password

    ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("new"))) << store.errorString().toStdString();
    ASSERT_TRUE(store.finishRetitle(EntryComment{QStringLiteral("공개"), {}, false, kDoc}, {}, &retitled))
        << store.errorString().toStdString();
    EXPECT_FALSE(retitled.isProtected());
    EXPECT_EQ(commentBytes(path), codepage::encodeComment(QStringLiteral("공개||N|TKFile.rtf")));
    EXPECT_EQ(encryption(path), (QMap<QString, bool>{{kDoc, false}, {QStringLiteral("pic.png"), false}}));
    EXPECT_EQ(unpack(path, {}).files,
              (QMap<QString, QByteArray>{{kDoc, kBody}, {QStringLiteral("pic.png"), kPicture}}));
    EXPECT_EQ(everything(scratch), QStringList());
}

TEST_F(EntryStoreTest, RetitleFailuresChangeNothing) {
    startStore();
    const QString path = newEntry(QStringLiteral("비밀"), QStringLiteral("pw"));
    const QByteArray before = readFile(path);

    EXPECT_FALSE(store.beginRetitle(path, kDoc, QStringLiteral("wrong")));
    EXPECT_EQ(store.error(), EntryError::WrongPassword);
    EXPECT_EQ(store.errorString(), QStringLiteral("암호가 틀렸습니다."));
    EXPECT_EQ(everything(scratch), QStringList());
    EntryRef retitled;
    EXPECT_FALSE(store.finishRetitle(EntryComment{QStringLiteral("새 제목"), {}, false, kDoc}, {}, &retitled));
    EXPECT_EQ(readFile(path), before);

    EXPECT_FALSE(store.beginRetitle(path, QStringLiteral("../TKFile.rtf"), QStringLiteral("pw")));
    EXPECT_EQ(store.error(), EntryError::BadDocument);
    EXPECT_FALSE(store.beginRetitle(path, QStringLiteral("page.htm"), QStringLiteral("pw")));
    EXPECT_EQ(store.error(), EntryError::Extract);
    EXPECT_EQ(everything(scratch), QStringList());

    // Cancelled in the dialog: the work folder goes, the archive stays.
    ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("pw")));
    store.discardRetitle();
    EXPECT_EQ(everything(scratch), QStringList());
    EXPECT_EQ(readFile(path), before);

    // The files could not be added back: the comment must not claim a protection they lack.
    ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("pw")));
    ASSERT_FALSE(retitleFolder().isEmpty());
    ASSERT_TRUE(emptyFolder(retitleFolder()));
    EXPECT_FALSE(store.finishRetitle(EntryComment{QStringLiteral("공개"), {}, false, kDoc}, {}, &retitled));
    EXPECT_EQ(store.error(), EntryError::Add);
    EXPECT_TRUE(store.errorString().startsWith(QStringLiteral("Error in Add; Fatal DLL Exception in mainunit\n")));
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(everything(scratch), QStringList());
    EXPECT_FALSE(retitled.isValid());
}

// This was: the files went back encrypted with the new password while the comment, which could not
// be written, still said "N": the list offered no password prompt and the entry could not be opened.
TEST_F(EntryStoreTest, ARetitleWhoseCommentCannotBeWrittenPutsTheOldProtectionBack) {
    startStore();
    const QString path = newEntry(QStringLiteral("공개"), {}, {QStringLiteral("pic.png")});
    const QByteArray comment = commentBytes(path);
    ASSERT_TRUE(store.beginRetitle(path, kDoc, {})) << store.errorString().toStdString();
    EntryRef retitled;
    EXPECT_FALSE(
        store.finishRetitle(EntryComment{QString(70000, u'가'), {}, true, kDoc}, QStringLiteral("pw"), &retitled));
    EXPECT_EQ(store.error(), EntryError::Comment);
    EXPECT_EQ(store.errorString(), QStringLiteral("글의 제목과 분류를 글 보관 파일에 쓰지 못했습니다.\n(") +
                                       archiverMessageText(11010) + u')');
    EXPECT_FALSE(retitled.isValid());
    EXPECT_EQ(commentBytes(path), comment);
    EXPECT_EQ(encryption(path), (QMap<QString, bool>{{kDoc, false}, {QStringLiteral("pic.png"), false}}));
    EXPECT_EQ(unpack(path, {}).files,
              (QMap<QString, QByteArray>{{kDoc, kBody}, {QStringLiteral("pic.png"), kPicture}}));
    EXPECT_EQ(everything(scratch), QStringList());
}

// --- remove ---

TEST_F(EntryStoreTest, RemoveForGoodOrToTheTrash) {
    startStore();
    const EnvSetting home("HOME", dir.path());
    const EnvSetting data("XDG_DATA_HOME", dir.path() + QStringLiteral("/data"));
    const QString gone = newEntry(QStringLiteral("하나"), {});
    ASSERT_TRUE(store.remove(gone, false)) << store.errorString().toStdString();
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/data/Trash")));

    const QString trashed = newEntry(QStringLiteral("둘"), {});
    const QByteArray bytes = readFile(trashed);
    ASSERT_TRUE(store.remove(trashed, true)) << store.errorString().toStdString();
    EXPECT_FALSE(QFileInfo::exists(trashed));
    EXPECT_EQ(readFile(dir.path() + QStringLiteral("/data/Trash/files/") + QFileInfo(trashed).fileName()), bytes);

    EXPECT_FALSE(store.remove(trashed, true));
    EXPECT_EQ(store.error(), EntryError::Missing);
    EXPECT_EQ(store.errorString(), QStringLiteral("이 파일이 존재하지 않습니다."));
}

// A writer at work would put a deleted entry back with its rename; the delete waits for it.
TEST_F(EntryStoreTest, ADeleteWaitsForAWriterAtWork) {
    startStore();
    const QString entry = newEntry(QStringLiteral("하나"), {});
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ArchiveLock lock(entry);
        const char locked = lock.acquire(0) == ArchiveLock::Result::Locked ? 'y' : 'n';
        (void)::write(ready[1], &locked, 1);
        ::usleep(300000);
        lock.release();
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    EXPECT_EQ(locked, 'y');
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(store.remove(entry, false)) << store.errorString().toStdString();
    EXPECT_GE(timer.elapsed(), 200);
    ::waitpid(writer, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(everything(category), QStringList());
}

TEST_F(EntryStoreTest, AnEntryThatCannotReachTheTrashStays) {
    startStore();
    const QString path = newEntry(QStringLiteral("하나"), {});
    // The data folder cannot be made below a file, so there is no trash to move to.
    writeFile(dir.path() + QStringLiteral("/afile"), "x");
    const EnvSetting home("HOME", dir.path());
    const EnvSetting data("XDG_DATA_HOME", dir.path() + QStringLiteral("/afile/data"));
    EXPECT_FALSE(store.remove(path, true));
    EXPECT_EQ(store.error(), EntryError::Trash);
    EXPECT_EQ(store.errorString(), QStringLiteral("글을 휴지통으로 옮길 수 없어서 지우지 않았습니다.\n설정에서 휴지통 "
                                                  "사용을 끄면 바로 지울 수 있습니다."));
    EXPECT_TRUE(QFileInfo(path).isFile());
}

// --- names and paths ---

TEST(EntryStoreNames, PlainFileNames) {
    for (const char* name : {"TKFile.rtf", "page.htm", "서울 여행.html", "a..b.htm", ".hidden.htm", "x y"}) {
        EXPECT_TRUE(EntryStore::isPlainFileName(QString::fromUtf8(name))) << name;
    }
    for (const QString& name :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../x.html"), QStringLiteral("a/b.html"),
          QStringLiteral("/x.html"), QStringLiteral("x/"), QStringLiteral("x\\y"), QStringLiteral("..\\x.html"),
          QStringLiteral("a\tb"), QStringLiteral("a\rb"), QString(QChar(0x7F)),
          QString(QStringLiteral("a") + QChar(0x85))}) {
        EXPECT_FALSE(EntryStore::isPlainFileName(name)) << name.toStdString();
    }
}

// This was: a folder that reached out of the library through ".." came back as the category
// path "../elsewhere".
TEST(EntryStoreNames, CategoryFoldersAndPaths) {
    QTemporaryDir dir;
    EntryStore store;
    ASSERT_TRUE(store.start(dir.path(), dir.path() + QStringLiteral("/scratch")));
    const QString list = dir.path() + QStringLiteral("/LIST/");
    EXPECT_EQ(store.categoryFolder(QStringLiteral("일기/2024/봄")), list + QStringLiteral("일기/2024/봄/"));
    EXPECT_EQ(store.categoryPathOf(list + QStringLiteral("일기/2024/봄/")), QStringLiteral("일기/2024/봄"));
    EXPECT_EQ(store.categoryPathOf(list + QStringLiteral("일기")), QStringLiteral("일기"));
    EXPECT_EQ(store.categoryPathOf(store.categoryFolder(QStringLiteral("a/b"))), QStringLiteral("a/b"));
    EXPECT_EQ(store.categoryPathOf(list), QString());
    EXPECT_EQ(store.categoryPathOf(dir.path() + QStringLiteral("/LIST2/x/")), QString());
    EXPECT_EQ(store.categoryPathOf(dir.path() + QStringLiteral("/")), QString());
    EXPECT_EQ(store.categoryPathOf(list + QStringLiteral("../elsewhere/")), QString());
    EXPECT_EQ(store.categoryPathOf(list + QStringLiteral("a/../../elsewhere/")), QString());
    EXPECT_EQ(store.categoryPathOf(list + QStringLiteral("./")), QString());
    EXPECT_EQ(EntryStore::archivePath(list + QStringLiteral("a"), QStringLiteral("20240101000000")),
              list + QStringLiteral("a/20240101000000.zip"));
}

}  // namespace

// --- without a program folder ---

namespace {

QStringList namesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Points XDG_RUNTIME_DIR at a private folder of the test while it lives.
class PrivateRuntime final {
  public:
    PrivateRuntime() : old_(qgetenv("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
    }
    ~PrivateRuntime() { old_.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", old_); }
    Q_DISABLE_COPY_MOVE(PrivateRuntime)
    QString path() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
    QByteArray old_;
};

}  // namespace

// Without a program folder the store takes no lock and makes no library; its scratch folder is a
// new private one, and stop() removes it with whatever was opened in it.
TEST(EntryStorePrivate, AScratchFolderOfItsOwnThatGoesAtStop) {
    const PrivateRuntime runtime;
    EntryStore store;
    ASSERT_TRUE(store.startPrivate()) << store.errorString().toStdString();
    const QString scratch = store.scratchDir();
    EXPECT_TRUE(scratch.startsWith(runtime.path() + "/tomekeep-")) << scratch.toStdString();
    EXPECT_TRUE(store.programDir().isEmpty());
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(scratch).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    writeFile(store.richBodyFile(), "{\\rtf1 decrypted}");
    writeFile(scratch + "page_files/a.png", "x");
    store.stop();
    EXPECT_FALSE(QFileInfo::exists(scratch));
    EXPECT_TRUE(namesOf(runtime.path()).isEmpty());
}

// A running program keeps its lock and its scratch folder while a private store comes and goes.
TEST(EntryStorePrivate, LeavesARunningProgramAlone) {
    const PrivateRuntime runtime;
    QTemporaryDir program;
    EntryStore running;
    ASSERT_TRUE(running.start(program.path(), program.filePath("scratch"))) << running.errorString().toStdString();
    writeFile(running.richBodyFile(), "open in the editor");
    {
        EntryStore companion;
        ASSERT_TRUE(companion.startPrivate()) << companion.errorString().toStdString();
        EXPECT_NE(companion.scratchDir(), running.scratchDir());
    }
    EXPECT_EQ(tk::test::readFile(running.richBodyFile()), "open in the editor");
    EntryStore second;
    EXPECT_FALSE(second.start(program.path(), program.filePath("scratch2")));
    EXPECT_EQ(second.error(), EntryError::AlreadyRunning);
}

// An archive named "*.zip" is a file like any other. This was: deleting it deleted every .zip in
// its folder, and a folder given as an entry went with all it held.
TEST(EntryStoreRemove, DeletesExactlyTheOneArchive) {
    QTemporaryDir dir;
    writeFile(dir.filePath("*.zip"), "odd name");
    writeFile(dir.filePath("2024?.zip"), "odd name");
    writeFile(dir.filePath("20240101000000.zip"), "keep");
    writeFile(dir.filePath("folder.zip/inside.txt"), "keep");
    EntryStore store;
    EXPECT_TRUE(store.remove(dir.filePath("*.zip"), false));
    EXPECT_TRUE(store.remove(dir.filePath("2024?.zip"), false));
    EXPECT_EQ(namesOf(dir.path()), (QStringList{"20240101000000.zip", "folder.zip"}));

    EXPECT_FALSE(store.remove(dir.filePath("folder.zip"), false));
    EXPECT_EQ(store.error(), EntryError::Delete);
    EXPECT_EQ(store.errorString(), QString::fromUtf8("\"folder.zip\"은 글 보관 파일이 아니라 폴더여서 지우지 "
                                                     "않았습니다. 지울 글의 보관 파일(.zip)을 고르세요."));
    EXPECT_TRUE(QFile::exists(dir.filePath("folder.zip/inside.txt")));

    EXPECT_FALSE(store.remove(dir.filePath("missing.zip"), false));
    EXPECT_EQ(store.error(), EntryError::Missing);
}

// --- telling of changes ---

// The search index is told of every archive the store wrote; a write that failed and left the
// archive as it was must not make it read the entry again or drop it.
TEST_F(EntryStoreTest, TheChangeListenerHearsEveryWriteThatChangedAnArchiveAndNoFailedOne) {
    startStore();
    QStringList heard;
    store.setChangeListener([&heard](const QString& path, bool removed) {
        heard.append((removed ? QStringLiteral("removed ") : QStringLiteral("changed ")) + QFileInfo(path).fileName());
    });
    const QString path = newEntry(QStringLiteral("하나"), {});
    const QString name = QFileInfo(path).fileName();
    EXPECT_EQ(heard, QStringList{"changed " + name});

    heard.clear();
    writeFile(store.richBodyFile(), kBody);
    ASSERT_TRUE(store.saveBody(created, store.richBody())) << store.errorString().toStdString();
    EntryRef retitled;
    ASSERT_TRUE(store.beginRetitle(path, kDoc, {})) << store.errorString().toStdString();
    EXPECT_EQ(heard, QStringList{"changed " + name});  // beginning a retitle writes nothing
    ASSERT_TRUE(
        store.finishRetitle(EntryComment{QStringLiteral("둘"), {}, true, kDoc}, QStringLiteral("pw"), &retitled))
        << store.errorString().toStdString();
    EXPECT_EQ(heard, (QStringList{"changed " + name, "changed " + name}));

    heard.clear();
    // A retitle whose files could not go back, a new entry in a missing category, a save into a
    // missing archive: nothing changed on disk.
    ASSERT_TRUE(store.beginRetitle(path, kDoc, QStringLiteral("pw")));
    ASSERT_TRUE(emptyFolder(retitleFolder()));
    EXPECT_FALSE(store.finishRetitle(EntryComment{QStringLiteral("셋"), {}, false, kDoc}, {}, &retitled));
    QString newName;
    EXPECT_FALSE(store.create(category + QStringLiteral("없음/"), EntryComment{QStringLiteral("넷"), {}, false, kDoc},
                              {}, store.richBody(), &created, &newName));
    const QString other = newEntry(QStringLiteral("다섯"), {});
    heard.clear();
    ASSERT_TRUE(QFile::remove(other));
    EXPECT_FALSE(store.saveBody(created, store.richBody()));
    EXPECT_FALSE(store.remove(other, false));
    EXPECT_EQ(heard, QStringList());

    ASSERT_TRUE(store.remove(path, false)) << store.errorString().toStdString();
    EXPECT_EQ(heard, QStringList{"removed " + name});
}
