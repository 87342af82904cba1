#include "platform/program_folders.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tk;

namespace {

// Sets an environment variable while it lives; an empty optional unsets it.
class EnvSetting final {
  public:
    EnvSetting(const char* name, const std::optional<QString>& value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) {
            old_ = qEnvironmentVariable(name);
        }
        value ? qputenv(name, QFile::encodeName(*value)) : qunsetenv(name);
    }
    ~EnvSetting() { old_ ? qputenv(name_, QFile::encodeName(*old_)) : qunsetenv(name_); }
    Q_DISABLE_COPY_MOVE(EnvSetting)

  private:
    const char* name_;
    std::optional<QString> old_;
};

}  // namespace

// A build folder is writable but holds no library. This was: the build folder became the program
// folder, and "make clean" wiped the library made there.
TEST(ResolveProgramDir, TheExecutablesFolderOnlyForAPortableCopy) {
    QTemporaryDir dir;
    const EnvSetting home("TOMEKEEP_HOME", std::nullopt);
    const EnvSetting data("XDG_DATA_HOME", dir.filePath("data"));
    const QString userDir = dir.filePath("data/TOMEKEEP/");

    ASSERT_TRUE(QDir().mkpath(dir.filePath("build/bin")));
    EXPECT_EQ(resolveProgramDir(dir.filePath("build/bin")), userDir);

    ASSERT_TRUE(QDir().mkpath(dir.filePath("portable/LIST")));
    EXPECT_EQ(resolveProgramDir(dir.filePath("portable")), dir.filePath("portable/"));

    tk::test::writeFile(dir.filePath("notalibrary/LIST"), "a file, not a folder");
    EXPECT_EQ(resolveProgramDir(dir.filePath("notalibrary")), userDir);
    EXPECT_EQ(resolveProgramDir(QString()), userDir);
}

TEST(ResolveProgramDir, AReadOnlyPortableCopyUsesTheUsersFolder) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write anywhere";
    }
    QTemporaryDir dir;
    const EnvSetting home("TOMEKEEP_HOME", std::nullopt);
    const EnvSetting data("XDG_DATA_HOME", dir.filePath("data"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("cd/LIST")));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("cd"), QFile::ReadOwner | QFile::ExeOwner));
    const QString resolved = resolveProgramDir(dir.filePath("cd"));
    QFile::setPermissions(dir.filePath("cd"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(resolved, dir.filePath("data/TOMEKEEP/"));
}

TEST(ResolveProgramDir, TomekeepHomeOverridesBoth) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("portable/LIST")));
    const EnvSetting home("TOMEKEEP_HOME", dir.filePath("elsewhere"));
    EXPECT_EQ(resolveProgramDir(dir.filePath("portable")), dir.filePath("elsewhere/"));
    EXPECT_EQ(resolveProgramDir(), dir.filePath("elsewhere/"));
}

namespace {

// A folder that passes for the user's runtime folder: owned by the user, mode 0700.
QString privateRuntime(const QTemporaryDir& dir) {
    const QString runtime = dir.filePath("run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return runtime;
}

}  // namespace

// The name must not change between versions: the folder a previous run left is emptied at start.
TEST(ResolveScratchDir, BelowTheRuntimeFolderNamedAfterTheProgramFolder) {
    QTemporaryDir dir;
    const QString runtime = privateRuntime(dir);
    const EnvSetting env("XDG_RUNTIME_DIR", runtime);
    EXPECT_EQ(resolveScratchDir("/home/me/.local/share/TOMEKEEP/"), runtime + "/TOMEKEEP-e866cece23ed6fa6/");
    EXPECT_EQ(resolveScratchDir("/home/me/.local/share/TOMEKEEP"), runtime + "/TOMEKEEP-e866cece23ed6fa6/");
    EXPECT_NE(resolveScratchDir("/media/usb/TOMEKEEP/"), resolveScratchDir("/home/me/.local/share/TOMEKEEP/"));
    EXPECT_TRUE(resolveScratchDir("/media/usb/TOMEKEEP/").startsWith(runtime + "/TOMEKEEP-"));

    const QString scratch = resolveScratchDir(dir.filePath("prog"));
    QString error;
    ASSERT_TRUE(preparePrivateFolder(scratch, &error)) << error.toStdString();
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(scratch).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Anything but the user's own private folder is passed over for ProgramDir + "TEMP/".
TEST(ResolveScratchDir, TheProgramFolderWithoutAPrivateRuntimeFolder) {
    QTemporaryDir dir;
    const QString program = dir.filePath("prog/");
    const QString fallback = program + "TEMP/";
    {
        const EnvSetting env("XDG_RUNTIME_DIR", std::nullopt);
        EXPECT_EQ(resolveScratchDir(program), fallback);
    }
    const QString runtime = privateRuntime(dir);
    ASSERT_TRUE(QFile::link(runtime, dir.filePath("link")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("open")));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                                QFile::ReadOther | QFile::ExeOther));
    tk::test::writeFile(dir.filePath("file"), "x");
    for (const QString& bad :
         {QString(), dir.filePath("missing"), dir.filePath("link"), dir.filePath("open"), dir.filePath("file")}) {
        const EnvSetting env("XDG_RUNTIME_DIR", bad);
        EXPECT_EQ(resolveScratchDir(program), fallback) << bad.toStdString();
    }
    if (::geteuid() == 0) {
        // The superuser can hand the folder to another user.
        ASSERT_EQ(::chown(QFile::encodeName(runtime).constData(), 65534, 65534), 0);
        const EnvSetting env("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(resolveScratchDir(program), fallback);
    }
}

// A folder of one's own for work without a program folder: below the private runtime folder when
// there is one, else below the system's temporary folder; never one that already existed.
TEST(MakePrivateTempFolder, NewAndPrivateBelowTheRuntimeOrTheTemporaryFolder) {
    QTemporaryDir dir;
    const QString runtime = privateRuntime(dir);
    const QString temp = dir.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(temp));
    const EnvSetting tmpdir("TMPDIR", temp);
    QString first, second, error;
    {
        const EnvSetting env("XDG_RUNTIME_DIR", runtime);
        ASSERT_TRUE(makePrivateTempFolder("tk-", &first, &error)) << error.toStdString();
        ASSERT_TRUE(makePrivateTempFolder("tk-", &second, &error)) << error.toStdString();
    }
    EXPECT_TRUE(first.startsWith(runtime + "/tk-")) << first.toStdString();
    EXPECT_TRUE(first.endsWith(u'/'));
    EXPECT_NE(first, second);
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(first).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A runtime folder others may enter is passed over.
    ASSERT_TRUE(QFile::setPermissions(
        runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    for (const std::optional<QString>& value : {std::optional<QString>(), std::optional<QString>(runtime)}) {
        const EnvSetting env("XDG_RUNTIME_DIR", value);
        QString folder;
        ASSERT_TRUE(makePrivateTempFolder("tk-", &folder, &error)) << error.toStdString();
        EXPECT_TRUE(folder.startsWith(temp + "/tk-")) << folder.toStdString();
    }

    const EnvSetting noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    tk::test::writeFile(dir.filePath("file"), "a file, not a folder");
    const EnvSetting notAFolder("TMPDIR", dir.filePath("file"));
    QString none;
    EXPECT_FALSE(makePrivateTempFolder("tk-", &none, &error));
    EXPECT_TRUE(error.contains(dir.filePath("file"))) << error.toStdString();
}

namespace {

// Holds the open-file limit at the files open now while it lives: nothing more can be opened, so
// no folder can be walked, as when the system will not let a file go.
class NoFreeDescriptors final {
  public:
    NoFreeDescriptors() {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(lowestFree);
        rlimit tight = old_;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        ::setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~NoFreeDescriptors() { ::setrlimit(RLIMIT_NOFILE, &old_); }
    Q_DISABLE_COPY_MOVE(NoFreeDescriptors)

  private:
    rlimit old_{};
};

QStringList asideFolders(const QString& parent) {
    return QDir(parent).entryList({"TEMP.aside-*"}, QDir::Dirs | QDir::Hidden);
}

}  // namespace

// This was: a scratch folder that could not be emptied stopped every start with "프로그램 시작
// 오류" until the user removed it by hand.
TEST(PreparePrivateFolder, OneThatCannotBeEmptiedIsSetAsideForAFreshOne) {
    QTemporaryDir dir;
    const QString scratch = dir.filePath("TEMP/");
    tk::test::writeFile(scratch + "TKFile.rtf", "decrypted");
    QString error;
    bool prepared = false;
    {
        const NoFreeDescriptors limit;
        prepared = preparePrivateFolder(scratch, &error);
    }
    ASSERT_TRUE(prepared) << error.toStdString();
    EXPECT_TRUE(QDir(scratch).isEmpty());
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(dir.filePath("TEMP")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const QStringList aside = asideFolders(dir.path());
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(tk::test::readFile(dir.filePath(aside.front() + "/TKFile.rtf")), "decrypted");
    ASSERT_EQ(::lstat(QFile::encodeName(dir.filePath(aside.front())).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The next start removes what was set aside.
    ASSERT_TRUE(preparePrivateFolder(scratch, &error)) << error.toStdString();
    EXPECT_TRUE(asideFolders(dir.path()).isEmpty());
    EXPECT_TRUE(QDir(scratch).isEmpty());
}
