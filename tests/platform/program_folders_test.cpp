#include "platform/program_folders.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

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
