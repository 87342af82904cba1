#include "platform/shell_ops.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tk;
using tk::test::writeFile;

namespace {

QStringList names(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

}  // namespace

TEST(ShellDeleteFiles, StarDotStarEmptiesAFolderWithSubFolders) {
    QTemporaryDir dir;
    writeFile(dir.filePath("TEMP/TKFile.rtf"), "x");
    writeFile(dir.filePath("TEMP/noextension"), "x");
    writeFile(dir.filePath("TEMP/.hidden"), "x");
    writeFile(dir.filePath("TEMP/page_files/img/a.png"), "x");
    EXPECT_TRUE(ShellDeleteFiles(dir.filePath("TEMP/*.*"), false));
    EXPECT_TRUE(names(dir.filePath("TEMP")).isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("TEMP")).isDir());
}

TEST(ShellDeleteFiles, PatternsSinglePathsAndFailures) {
    QTemporaryDir dir;
    writeFile(dir.filePath("a.zip"), "x");
    writeFile(dir.filePath("B.ZIP"), "x");
    writeFile(dir.filePath("c.txt"), "x");
    EXPECT_TRUE(ShellDeleteFiles(dir.filePath("*.zip"), false));
    EXPECT_EQ(names(dir.path()), QStringList{"c.txt"});
    EXPECT_TRUE(ShellDeleteFiles(dir.filePath("c.txt"), false));
    EXPECT_TRUE(names(dir.path()).isEmpty());
    EXPECT_FALSE(ShellDeleteFiles(dir.filePath("missing.zip"), false));
    EXPECT_FALSE(ShellDeleteFiles(QString(), false));
}

TEST(ShellDeleteFiles, LinksAreRemovedNeverFollowed) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    writeFile(outside.filePath("precious.txt"), "keep");
    writeFile(dir.filePath("TEMP/x"), "x");
    ASSERT_TRUE(QFile::link(outside.path(), dir.filePath("TEMP/link")));
    EXPECT_TRUE(ShellDeleteFiles(dir.filePath("TEMP/*.*"), false));
    EXPECT_TRUE(names(dir.filePath("TEMP")).isEmpty());
    EXPECT_TRUE(QFile::exists(outside.filePath("precious.txt")));
}

TEST(ShellDeleteFiles, RecycleMovesToTheTrash) {
    QTemporaryDir dir;
    QTemporaryDir trashHome;
    qputenv("XDG_DATA_HOME", trashHome.path().toUtf8());
    writeFile(dir.filePath("20240101000000.zip"), "entry");
    const bool ok = ShellDeleteFiles(dir.filePath("20240101000000.zip"), true);
    qunsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(ok);
    EXPECT_FALSE(QFile::exists(dir.filePath("20240101000000.zip")));
    EXPECT_TRUE(QFile::exists(trashHome.filePath("Trash/files/20240101000000.zip")));
}

// Points the per-user data folder at dataHome and the working folder at workDir while it lives.
class TrashSetting final {
  public:
    TrashSetting(const QString& dataHome, const QString& workDir) : oldWork_(QDir::currentPath()) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        QDir::setCurrent(workDir);
    }
    ~TrashSetting() {
        qunsetenv("XDG_DATA_HOME");
        QDir::setCurrent(oldWork_);
    }
    Q_DISABLE_COPY_MOVE(TrashSetting)

  private:
    QString oldWork_;
};

// A fresh account has no data folder yet. This was: the entry went to "files/" of the working
// folder and its record to "info/" there, and the delete was reported as done.
TEST(ShellDeleteFiles, RecycleWithoutADataFolderStillReachesTheTrash) {
    QTemporaryDir dir;
    QTemporaryDir home;
    QTemporaryDir work;
    writeFile(dir.filePath("LIST/a/20240101000000.zip"), "entry");
    const QString data = home.filePath("missing/share");
    bool ok = false;
    {
        const TrashSetting setting(data, work.path());
        ok = ShellDeleteFiles(dir.filePath("LIST/a/20240101000000.zip"), true);
    }
    EXPECT_TRUE(ok);
    EXPECT_FALSE(QFile::exists(dir.filePath("LIST/a/20240101000000.zip")));
    EXPECT_EQ(tk::test::readFile(data + "/Trash/files/20240101000000.zip"), "entry");
    EXPECT_TRUE(QFile::exists(data + "/Trash/info/20240101000000.zip.trashinfo"));
    EXPECT_TRUE(names(work.path()).isEmpty()) << names(work.path()).join(' ').toStdString();
}

// This was: with a data folder that cannot hold a trash, the entry left its category for the
// working folder and the delete was reported as done.
TEST(ShellDeleteFiles, RecycleThatCannotReachTheTrashKeepsTheFile) {
    QTemporaryDir dir;
    QTemporaryDir home;
    QTemporaryDir work;
    writeFile(dir.filePath("a.zip"), "entry");
    writeFile(dir.filePath("b.zip"), "entry");
    writeFile(home.filePath("file-not-folder"), "x");
    writeFile(home.filePath("share/Trash"), "a file where the trash should be");
    bool dataIsAFile = true;
    bool trashIsAFile = true;
    {
        const TrashSetting setting(home.filePath("file-not-folder"), work.path());
        dataIsAFile = ShellDeleteFiles(dir.filePath("a.zip"), true);
    }
    {
        const TrashSetting setting(home.filePath("share"), work.path());
        trashIsAFile = ShellDeleteFiles(dir.filePath("*.zip"), true);
    }
    EXPECT_FALSE(dataIsAFile);
    EXPECT_FALSE(trashIsAFile);
    EXPECT_EQ(tk::test::readFile(dir.filePath("a.zip")), "entry");
    EXPECT_EQ(tk::test::readFile(dir.filePath("b.zip")), "entry");
    EXPECT_TRUE(names(work.path()).isEmpty()) << names(work.path()).join(' ').toStdString();
}

// A portable library on another volume is trashed into that volume's own trash; any other place
// is no trash at all.
TEST(IsInTrash, TheUsersTrashOrTheVolumesOwn) {
    const QString uid = QString::number(::getuid());
    const QString data = "/home/u/.local/share";
    EXPECT_TRUE(isInTrash(data + "/Trash/files/1.zip", data, "/"));
    EXPECT_TRUE(isInTrash("/media/usb/.Trash-" + uid + "/files/1.zip", data, "/media/usb"));
    EXPECT_TRUE(isInTrash("/media/usb/.Trash/" + uid + "/files/a", data, "/media/usb/"));
    EXPECT_FALSE(isInTrash("/work/files/1.zip", data, "/"));
    EXPECT_FALSE(isInTrash(data + "/Trash/files", data, "/"));
    EXPECT_FALSE(isInTrash(data + "/Trash/files/../../x.zip", data, "/"));
    EXPECT_FALSE(isInTrash(data + "/Trash/info/1.zip", data, "/"));
    EXPECT_FALSE(isInTrash("/media/usb/.Trash-" + uid + "0/files/1.zip", data, "/media/usb"));
    EXPECT_FALSE(isInTrash("/media/usb/.Trash-" + uid + "/files/1.zip", data, QString()));
}

TEST(MoveFolderInto, MovesOrMergesWithoutOverwriting) {
    QTemporaryDir dir;
    writeFile(dir.filePath("src/a/1.zip"), "moved");
    writeFile(dir.filePath("src/a/deep/2.zip"), "deep");
    writeFile(dir.filePath("dst/a/1.zip"), "kept");
    writeFile(dir.filePath("dst/a/1_.zip"), "kept too");
    writeFile(dir.filePath("dst/a/deep/3.zip"), "x");

    MoveResult r = moveFolderInto(dir.filePath("src/a"), dir.filePath("dst"));
    ASSERT_TRUE(r.ok) << r.errorString.toStdString();
    EXPECT_EQ(r.renamedFiles, 1);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("src/a")));
    EXPECT_EQ(names(dir.filePath("dst/a")), QStringList({"1.zip", "1_.zip", "1__.zip", "deep"}));
    EXPECT_EQ(tk::test::readFile(dir.filePath("dst/a/1.zip")), "kept");
    EXPECT_EQ(tk::test::readFile(dir.filePath("dst/a/1__.zip")), "moved");
    EXPECT_EQ(names(dir.filePath("dst/a/deep")), QStringList({"2.zip", "3.zip"}));

    // Without a clash it is a plain rename.
    writeFile(dir.filePath("src/b/x.zip"), "x");
    r = moveFolderInto(dir.filePath("src/b/"), dir.filePath("dst/"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.renamedFiles, 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("dst/b/x.zip")));

    r = moveFolderInto(dir.filePath("src/missing"), dir.filePath("dst"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.errorString.isEmpty());
}

TEST(FreeFileName, AppendsUnderscoresBeforeTheExtension) {
    QTemporaryDir dir;
    EXPECT_EQ(freeFileName(dir.path(), "a.zip"), "a.zip");
    writeFile(dir.filePath("a.zip"), "x");
    writeFile(dir.filePath("a_.zip"), "x");
    EXPECT_EQ(freeFileName(dir.path(), "a.zip"), "a__.zip");
    writeFile(dir.filePath("README"), "x");
    EXPECT_EQ(freeFileName(dir.path(), "README"), "README_");
}

// "*" and "?" may be part of a file's name on this system; deleting one item takes only that item.
TEST(DeleteItem, WildcardCharactersAreNamesAndLinksGoThemselves) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    writeFile(dir.filePath("*.zip"), "x");
    writeFile(dir.filePath("a?.zip"), "x");
    writeFile(dir.filePath("ab.zip"), "keep");
    writeFile(outside.filePath("target.zip"), "keep");
    ASSERT_TRUE(QFile::link(outside.filePath("target.zip"), dir.filePath("link.zip")));
    EXPECT_TRUE(deleteItem(dir.filePath("*.zip"), false));
    EXPECT_TRUE(deleteItem(dir.filePath("a?.zip"), false));
    EXPECT_TRUE(deleteItem(dir.filePath("link.zip"), false));
    EXPECT_EQ(names(dir.path()), QStringList{"ab.zip"});
    EXPECT_TRUE(QFile::exists(outside.filePath("target.zip")));
    EXPECT_FALSE(deleteItem(dir.filePath("missing.zip"), false));
    EXPECT_FALSE(deleteItem(QString(), false));
}

// An extracted archive can nest folders past PATH_MAX. This was: emptying went by whole paths,
// failed with "file name too long" on the deep tree and left it in the scratch folder for good.
TEST(EmptyFolder, RemovesTreesDeeperThanPathMaxWithoutFollowingLinks) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    writeFile(outside.filePath("precious.txt"), "keep");
    const QString scratch = dir.filePath("TEMP");
    for (int i = 0; i < 50; ++i) {
        writeFile(scratch + QStringLiteral("/wide/%1/x").arg(i), "x");
    }
    tk::test::makeDeepTree(scratch, 2100);
    ASSERT_TRUE(QFile::link(outside.path(), scratch + "/link"));
    ASSERT_TRUE(QFile::link(outside.path(), scratch + "/wide/7/link"));

    EXPECT_TRUE(emptyFolder(scratch + "/"));
    EXPECT_TRUE(names(scratch).isEmpty()) << names(scratch).join(' ').toStdString();
    EXPECT_TRUE(QFile::exists(outside.filePath("precious.txt")));

    tk::test::makeDeepTree(scratch, 2100);
    EXPECT_TRUE(removeTree(scratch));
    EXPECT_FALSE(QFileInfo::exists(scratch));

    // A link in the folder's place is not emptied through.
    ASSERT_TRUE(QFile::link(outside.path(), scratch));
    EXPECT_FALSE(emptyFolder(scratch));
    EXPECT_TRUE(QFile::exists(outside.filePath("precious.txt")));
}
