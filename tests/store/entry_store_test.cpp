// The entry store without a program folder, and deleting exactly one entry archive.
#include "store/entry_store.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tk;
using tk::test::writeFile;

namespace {

QStringList names(const QString& folder) {
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
    EXPECT_TRUE(names(runtime.path()).isEmpty());
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
    EXPECT_EQ(names(dir.path()), (QStringList{"20240101000000.zip", "folder.zip"}));

    EXPECT_FALSE(store.remove(dir.filePath("folder.zip"), false));
    EXPECT_EQ(store.error(), EntryError::Delete);
    EXPECT_EQ(store.errorString(), QString::fromUtf8("\"folder.zip\"은 글 보관 파일이 아니라 폴더여서 지우지 "
                                                     "않았습니다. 지울 글의 보관 파일(.zip)을 고르세요."));
    EXPECT_TRUE(QFile::exists(dir.filePath("folder.zip/inside.txt")));

    EXPECT_FALSE(store.remove(dir.filePath("missing.zip"), false));
    EXPECT_EQ(store.error(), EntryError::Missing);
}

// "|" separates the fields of the entry comment. This was: a category "a|b" made an entry whose
// comment read back as unprotected with the document file "Y|TKFile.rtf", which never opened again.
TEST(EntryStoreComment, ASeparatorInTitleOrCategoryIsRefused) {
    const PrivateRuntime runtime;
    QTemporaryDir folder;
    EntryStore store;
    ASSERT_TRUE(store.startPrivate()) << store.errorString().toStdString();
    writeFile(store.richBodyFile(), "{\\rtf1 body}");
    EntryRef created;
    QString name;
    const EntryComment broken{"T", "a|b", true, QString(kDocumentFile)};
    EXPECT_FALSE(store.create(folder.path(), broken, "pw", store.richBody(), &created, &name));
    EXPECT_EQ(store.error(), EntryError::BadTitle);
    EXPECT_EQ(store.errorString(),
              QString::fromUtf8("제목과 분류에는 \"|\"를 쓸 수 없습니다. \"|\"를 빼고 다시 저장하세요."));
    EXPECT_EQ(names(folder.path()), QStringList());

    ASSERT_TRUE(store.create(folder.path(), EntryComment{"T", "c", true, QString(kDocumentFile)}, "pw",
                             store.richBody(), &created, &name))
        << store.errorString().toStdString();
    const QByteArray before = tk::test::readFile(created.archivePath);
    ASSERT_TRUE(store.beginRetitle(created.archivePath, QString(kDocumentFile), "pw"));
    EXPECT_FALSE(store.finishRetitle(EntryComment{"a|b", "c", true, QString(kDocumentFile)}, "pw", &created));
    EXPECT_EQ(store.error(), EntryError::BadTitle);
    EXPECT_EQ(tk::test::readFile(created.archivePath), before);
    EXPECT_EQ(names(store.scratchDir()), QStringList{"TKFile.rtf"});  // the work folder is gone
}
