#include "platform/program_folders.h"

#include "platform/paths.h"
#include "platform/shell_ops.h"
#include "platform/system_error.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tk {
namespace {

bool isPortableCopy(const QString& folder) {
    return !folder.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK) == 0 &&
           QFileInfo(withTrailingSlash(folder) + QStringLiteral("LIST")).isDir();
}

// True for a real folder (not a link) of the user's own that nobody else may enter.
bool isOwnPrivateFolder(const QString& folder) {
    struct stat st;
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

QString asidePrefix(const QString& path) {
    return QFileInfo(path).fileName() + QStringLiteral(".aside-");
}

// Renames the folder at path to a new name beside it: path + ".aside-" and six random characters.
bool setAside(const QString& path, QString* aside) {
    QByteArray target =
        QFile::encodeName(QFileInfo(path).absolutePath() + u'/' + asidePrefix(path) + QStringLiteral("XXXXXX"));
    // mkdtemp reserves a free name; the rename replaces that empty folder.
    if (::mkdtemp(target.data()) == nullptr) {
        return false;
    }
    if (::rename(QFile::encodeName(path).constData(), target.constData()) != 0) {
        ::rmdir(target.constData());
        return false;
    }
    *aside = QFile::decodeName(target);
    return true;
}

// Folders an earlier start had to set aside go once they can be removed.
void removeEarlierAside(const QString& path) {
    const QString parent = QFileInfo(path).absolutePath();
    const QStringList found =
        QDir(parent).entryList({asidePrefix(path) + QStringLiteral("??????")},
                               QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::CaseSensitive);
    for (const QString& name : found) {
        if (!removeTree(parent + u'/' + name)) {
            qWarning("could not remove %s/%s", qPrintable(parent), qPrintable(name));
        }
    }
}

}  // namespace

QString resolveProgramDir(const QString& executableDir) {
    const QString home = qEnvironmentVariable("TOMEKEEP_HOME");
    if (!home.isEmpty()) {
        return withTrailingSlash(QDir(home).absolutePath());
    }
    if (isPortableCopy(executableDir)) {
        return withTrailingSlash(executableDir);
    }
    return withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString resolveProgramDir() {
    return resolveProgramDir(QCoreApplication::applicationDirPath());
}

QString resolveScratchDir(const QString& programDir) {
    const QString program = withTrailingSlash(QDir::cleanPath(programDir));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !isOwnPrivateFolder(runtime)) {
        return program + QStringLiteral("TEMP/");
    }
    const QByteArray hash = QCryptographicHash::hash(program.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return withTrailingSlash(runtime) + QStringLiteral("TOMEKEEP-") + QString::fromLatin1(hash) + u'/';
}

bool preparePrivateFolder(const QString& folder, QString* error) {
    // A trailing "/" would make lstat follow a link in the folder's place.
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0) {
        if (::mkdir(native.constData(), 0700) != 0) {
            *error = QStringLiteral("cannot create %1").arg(folder);
            return false;
        }
        return true;
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
        *error = QStringLiteral("%1 is not a folder of its own").arg(folder);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        *error = QStringLiteral("%1 belongs to another user").arg(folder);
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        *error = QStringLiteral("cannot make %1 private").arg(folder);
        return false;
    }
    if (!emptyFolder(path)) {
        // What stays (a file the system will not let go) must not stop every later start: the
        // folder goes aside whole, still private, and a fresh one takes its place.
        QString aside;
        if (!setAside(path, &aside)) {
            *error = QStringLiteral("cannot empty %1 nor move it aside").arg(folder);
            return false;
        }
        qWarning("scratch folder %s could not be emptied; moved to %s", qPrintable(folder), qPrintable(aside));
        if (::mkdir(native.constData(), 0700) != 0) {
            *error = QStringLiteral("cannot create %1").arg(folder);
            return false;
        }
        return true;
    }
    removeEarlierAside(path);
    return true;
}

bool makePrivateTempFolder(const QString& namePrefix, QString* folder, QString* error) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && isOwnPrivateFolder(runtime) ? runtime : QDir::tempPath();
    QByteArray pattern = QFile::encodeName(withTrailingSlash(base) + namePrefix + QStringLiteral("XXXXXX"));
    // mkdtemp makes the folder with mode 0700 under a name nobody else can have taken.
    if (::mkdtemp(pattern.data()) == nullptr) {
        *error =
            QStringLiteral("%1 폴더 안에 임시 폴더를 만들 수 없음: %2").arg(base, platform::systemErrorText(errno));
        return false;
    }
    *folder = withTrailingSlash(QFile::decodeName(pattern));
    return true;
}

}  // namespace tk
