#include "store/entry_comment.h"

#include "platform/codepage.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace tk {
namespace {

constexpr QChar kSeparator = u'|';
constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kMaxCommentSize = 0xFFFF;
// Most comments fit in one small read from the end; a single pread of this size costs no more
// than a few bytes would.
constexpr qint64 kFirstRead = 256;

bool readAt(int fd, qint64 offset, char* buf, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, offset + done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        done += n;
    }
    return true;
}

quint16 le16(const char* p) {
    return static_cast<quint16>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

// Finds the end record in the tail: the last "PK\5\6" whose comment length reaches exactly to the
// end of the file. Returns the offset of the record inside tail, or -1.
qint64 findEndRecord(const char* tail, qint64 tailSize) {
    for (qint64 at = tailSize - kEndRecordSize; at >= 0; --at) {
        if (tail[at] == 'P' && std::memcmp(tail + at, "PK\x05\x06", 4) == 0 &&
            at + kEndRecordSize + le16(tail + at + 20) == tailSize) {
            return at;
        }
    }
    return -1;
}

// The bytes of the comment as a program that scans back from the end to the first zero byte would
// see them; for short comments this is the comment after its last NUL, which keeps lists made by
// older readers and this one identical.
QByteArrayView visibleComment(QByteArrayView comment) {
    if (comment.size() >= 256) {
        return comment;
    }
    const qsizetype nul = comment.lastIndexOf('\0');
    return nul < 0 ? comment : comment.sliced(nul + 1);
}

}  // namespace

EntryComment ParseEntryComment(const QString& text) {
    // The usual document file shares one static string instead of a copy per row.
    static const QString defaultDocument = kDocumentFile;
    EntryComment e;
    e.documentFile = defaultDocument;
    const qsizetype first = text.indexOf(kSeparator);
    if (first < 0) {
        e.title = text.isEmpty() ? QStringLiteral("제목 없음") : text;
        return e;
    }
    e.title = text.left(first);
    QStringView rest = QStringView(text).sliced(first + 1);
    const qsizetype second = rest.indexOf(kSeparator);
    if (second >= 0) {
        e.category = rest.left(second).toString();
        rest = rest.sliced(second + 1);
    }
    e.isProtected = !rest.isEmpty() && rest.front() == u'Y';
    const qsizetype third = rest.indexOf(kSeparator);
    if (third >= 0 && rest.sliced(third + 1) != defaultDocument) {
        e.documentFile = rest.sliced(third + 1).toString();
    }
    return e;
}

QString MakeEntryComment(const QString& title, const QString& category, bool isProtected, const QString& documentFile) {
    return title + kSeparator + category + kSeparator + (isProtected ? u'Y' : u'N') + kSeparator + documentFile;
}

bool readEntryCommentFd(int fd, QString* comment) {
    comment->clear();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    const qint64 size = st.st_size;
    if (size < kEndRecordSize) {
        return true;
    }
    std::array<char, kFirstRead> small;
    qint64 tailSize = std::min<qint64>(size, kFirstRead);
    if (!readAt(fd, size - tailSize, small.data(), tailSize)) {
        return false;
    }
    qint64 at = findEndRecord(small.data(), tailSize);
    const char* tail = small.data();
    QByteArray large;
    if (at < 0 && tailSize < size) {
        // A long comment, or no end record at all: search the whole area an end record can be in.
        tailSize = std::min<qint64>(size, kEndRecordSize + kMaxCommentSize);
        large.resize(tailSize);
        if (!readAt(fd, size - tailSize, large.data(), tailSize)) {
            return false;
        }
        tail = large.constData();
        at = findEndRecord(tail, tailSize);
    }
    if (at >= 0) {
        const QByteArrayView bytes(tail + at + kEndRecordSize, tailSize - at - kEndRecordSize);
        *comment = codepage::decodeComment(visibleComment(bytes));
    }
    return true;
}

ReadCommentResult ReadEntryComment(const QString& path, QString* comment) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        comment->clear();
        return ReadCommentResult::CannotOpen;
    }
    const bool ok = readEntryCommentFd(fd, comment);
    ::close(fd);
    return ok ? ReadCommentResult::Ok : ReadCommentResult::CannotOpen;
}

}  // namespace tk
