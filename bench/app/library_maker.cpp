#include "bench/app/library_maker.h"

#include "platform/codepage.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tk::bench {
namespace {

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// A complete archive with one stored member and the comment.
QByteArray archive(const QByteArray& body, const QByteArray& comment) {
    const QByteArray name("TKFile.rtf");
    const quint32 crc = 0;  // the list never reads members
    QByteArray out("PK\x03\x04", 4);
    put16(out, 10);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, crc);
    put32(out, body.size());
    put32(out, body.size());
    put16(out, name.size());
    put16(out, 0);
    out += name + body;
    const quint32 directory = out.size();
    out.append("PK\x01\x02", 4);
    put16(out, 20);
    put16(out, 10);
    for (int i = 0; i < 4; ++i) {
        put16(out, 0);
    }
    put32(out, crc);
    put32(out, body.size());
    put32(out, body.size());
    put16(out, name.size());
    for (int i = 0; i < 4; ++i) {
        put16(out, 0);
    }
    put32(out, 0);
    put32(out, 0);
    out += name;
    const quint32 directorySize = out.size() - directory;
    out.append("PK\x05\x06", 4);
    put32(out, 0);
    put16(out, 1);
    put16(out, 1);
    put32(out, directorySize);
    put32(out, directory);
    put16(out, comment.size());
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
