#include "bench/app/library_maker.h"

#include "platform/byte_order.h"
#include "platform/codepage.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tk::bench {
namespace {

// A complete archive with one stored member and the comment.
QByteArray archive(const QByteArray& body, const QByteArray& comment) {
    const QByteArray name("TKFile.rtf");
    const quint32 crc = 0;  // the list never reads members
    QByteArray out("PK\x03\x04", 4);
    appendLe(out, quint16(10));
    appendLe(out, quint16(0));
    appendLe(out, quint16(0));
    appendLe(out, quint16(0));
    appendLe(out, quint16(0));
    appendLe(out, quint32(crc));
    appendLe(out, quint32(body.size()));
    appendLe(out, quint32(body.size()));
    appendLe(out, quint16(name.size()));
    appendLe(out, quint16(0));
    out += name + body;
    const quint32 directory = out.size();
    out.append("PK\x01\x02", 4);
    appendLe(out, quint16(20));
    appendLe(out, quint16(10));
    for (int i = 0; i < 4; ++i) {
        appendLe(out, quint16(0));
    }
    appendLe(out, quint32(crc));
    appendLe(out, quint32(body.size()));
    appendLe(out, quint32(body.size()));
    appendLe(out, quint16(name.size()));
    for (int i = 0; i < 4; ++i) {
        appendLe(out, quint16(0));
    }
    appendLe(out, quint32(0));
    appendLe(out, quint32(0));
    out += name;
    const quint32 directorySize = out.size() - directory;
    out.append("PK\x05\x06", 4);
    appendLe(out, quint32(0));
    appendLe(out, quint16(1));
    appendLe(out, quint16(1));
    appendLe(out, quint32(directorySize));
    appendLe(out, quint32(directory));
    appendLe(out, quint16(comment.size()));
    return out + comment;
}

}  // namespace

void makeEntryArchives(const QString& folder, int count) {
    QDir().mkpath(folder);
    const QByteArray body = QByteArray("{\\rtf1\\ansi\\ansicpg949 ") + QByteArray(900, 'x') + "}";
    const QStringList words = {QStringLiteral("봄날"),  QStringLiteral("일기"),   QStringLiteral("여행"),
                               QStringLiteral("Notes"), QStringLiteral("회의록"), QStringLiteral("book")};
    std::srand(7);
    for (int i = 0; i < count; ++i) {
        const QString title = words[std::rand() % words.size()] + u' ' + QString::number(std::rand() % 100000) + u' ' +
                              words[std::rand() % words.size()];
        const QString comment = title + QStringLiteral("|분류 ") + QString::number(i % 20) +
                                (i % 3 == 0 ? QStringLiteral("|Y|TKFile.rtf") : QStringLiteral("|N|TKFile.rtf"));
        const QString name = QStringLiteral("2024%1.zip").arg(i, 10, 10, QLatin1Char('0'));
        QFile f(folder + u'/' + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(archive(body, codepage::encodeComment(comment))) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
            std::exit(1);
        }
    }
}

size_t readEveryArchiveTail(const QString& folder) {
    size_t bytes = 0;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return 0;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        char buf[256];
        const int fd = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_CLOEXEC);
        struct stat st;
        ::fstat(fd, &st);
        const ssize_t n = ::pread(fd, buf, sizeof buf, st.st_size - static_cast<off_t>(sizeof buf));
        ::close(fd);
        bytes += n > 0 ? static_cast<size_t>(n) : 0;
    }
    ::closedir(dir);
    return bytes;
}

}  // namespace tk::bench
