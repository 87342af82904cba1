#include "platform/shell_ops.h"

#include "platform/system_error.h"
#include "platform/tree_removal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace tk {
namespace {

bool lexists(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isRealDir(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList childNames(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

// A trailing "/" would make the system follow a link in the folder's place.
QString withoutTrailingSlash(const QString& path) {
    QString out = path;
    while (out.size() > 1 && out.endsWith(u'/')) {
        out.chop(1);
    }
    return out;
}

bool isDirectChild(const QString& path, const QString& folder) {
    const QString prefix = QDir::cleanPath(folder) + u'/';
    return path.size() > prefix.size() && path.startsWith(prefix) && path.indexOf(u'/', prefix.size()) < 0;
}

// Undoes a move to a place that is no trash: the item goes back, the record written beside it and
// the folders made for them go away.
void putBack(const QString& trashed, const QString& original) {
    if (::rename(QFile::encodeName(trashed).constData(), QFile::encodeName(original).constData()) != 0) {
        return;
    }
    const QString files = QFileInfo(trashed).absolutePath();
    const QString info = QFileInfo(files).absolutePath() + QStringLiteral("/info");
    QFile::remove(joined(info, QFileInfo(trashed).fileName() + QStringLiteral(".trashinfo")));
    QDir().rmdir(files);
    QDir().rmdir(info);
}

bool moveToTrash(const QString& path) {
    // Without the data folder Qt cannot make the user's trash and takes the working folder for it.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) {
        return false;
    }
    const QString volume = QStorageInfo(path).rootPath();
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed)) {
        return false;
    }
    trashed = QFileInfo(trashed).absoluteFilePath();
    if (isInTrash(trashed, data, volume)) {
        return true;
    }
    putBack(trashed, path);
    return false;
}

bool deleteOne(const QString& path, bool recycle) {
    if (recycle) {
        return moveToTrash(path);
    }
    return removeTree(path);
}

bool mergeInto(const QString& source, const QString& dest, MoveResult& result) {
    for (const QString& name : childNames(source)) {
        const QString from = joined(source, name);
        QString to = joined(dest, name);
        if (isRealDir(from) && isRealDir(to)) {
            if (!mergeInto(from, to, result)) {
                return false;
            }
            continue;
        }
        if (lexists(to)) {
            to = joined(dest, freeFileName(dest, name));
            ++result.renamedFiles;
        }
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
            result.errorString = platform::systemErrorText(errno);
            return false;
        }
    }
    if (!QDir().rmdir(source)) {
        result.errorString = QStringLiteral("cannot remove %1").arg(source);
        return false;
    }
    return true;
}

}  // namespace

bool removeTree(const QString& path) {
    struct stat st;
    const QByteArray native = QFile::encodeName(withoutTrailingSlash(path));
    if (::lstat(native.constData(), &st) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(st.st_mode)) {
        return ::unlink(native.constData()) == 0;
    }
    return emptyFolder(path) && ::rmdir(native.constData()) == 0;
}

bool emptyFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(withoutTrailingSlash(folder)).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = emptyFolderAt(fd);
    ::close(fd);
    return ok;
}

bool isInTrash(const QString& path, const QString& dataDir, const QString& volumeRoot) {
    const QString item = QDir::cleanPath(path);
    if (isDirectChild(item, dataDir + QStringLiteral("/Trash/files"))) {
        return true;
    }
    if (volumeRoot.isEmpty()) {
        return false;
    }
    const QString uid = QString::number(::getuid());
    return isDirectChild(item, volumeRoot + QStringLiteral("/.Trash/") + uid + QStringLiteral("/files")) ||
           isDirectChild(item, volumeRoot + QStringLiteral("/.Trash-") + uid + QStringLiteral("/files"));
}

bool deleteItem(const QString& path, bool recycle) {
    return !path.isEmpty() && lexists(path) && deleteOne(path, recycle);
}

bool ShellDeleteFiles(const QString& pattern, bool recycle) {
    if (pattern.isEmpty()) {
        return false;
    }
    const qsizetype slash = pattern.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QStringLiteral(".") : pattern.left(slash + 1);
    const QString namePattern = pattern.mid(slash + 1);
    const bool wild = namePattern.contains(u'*') || namePattern.contains(u'?');
    if (!wild) {
        return deleteItem(pattern, recycle);
    }
    const QString glob = namePattern == QLatin1String("*.*") ? QStringLiteral("*") : namePattern;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(glob),
                                QRegularExpression::CaseInsensitiveOption);
    bool ok = true;
    for (const QString& name : childNames(folder)) {
        if (re.match(name).hasMatch()) {
            ok = deleteOne(joined(folder, name), recycle) && ok;
        }
    }
    return ok;
}

QString freeFileName(const QString& folder, const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString ext = dot > 0 ? fileName.mid(dot) : QString();
    QString candidate = fileName;
    QString underscores;
    while (lexists(joined(folder, candidate))) {
        underscores += u'_';
        candidate = base + underscores + ext;
    }
    return candidate;
}

MoveResult moveFolderInto(const QString& source, const QString& destDir) {
    MoveResult result;
    QString src = source;
    while (src.endsWith(u'/') && src.size() > 1) {
        src.chop(1);
    }
    const QString target = joined(destDir, QFileInfo(src).fileName());
    if (!isRealDir(target)) {
        if (::rename(QFile::encodeName(src).constData(), QFile::encodeName(target).constData()) != 0) {
            result.errorString = platform::systemErrorText(errno);
            return result;
        }
        result.ok = true;
        return result;
    }
    result.ok = mergeInto(src, target, result);
    return result;
}

}  // namespace tk
