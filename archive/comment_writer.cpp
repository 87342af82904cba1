// Writing ZipComment: the end record gets the new comment length and the comment follows it.
#include "archive/archiver.h"
#include "archive/atomic_replace.h"
#include "archive/directory_reader.h"
#include "platform/codepage.h"

#include <QFile>
#include <QtEndian>

#include <new>

namespace tk {

void TArchiver::SetZipComment(const QString& comment) {
    // The ANSI and OEM code pages are the same here, so the code-page rule changes no byte.
    const QByteArray bytes = comment.isEmpty() ? QByteArray() : codepage::encodeComment(comment);
    zipComment_ = comment;
    bool rereadAfter = false;
    try {
        if (zipFileName_.isEmpty()) {
            throw EArchiver(11001);
        }
        ArchiveLock lock(zipFileName_);
        if (!takeWriteLock(lock)) {
            // Already reported; nothing was written.
            zipComment_.clear();
            return;
        }
        lock.removeLeftovers();
        refreshEndRecordOrThrow();
        try {
            writeCommentOrThrow(bytes);
        } catch (const EArchiver& e) {
            rereadAfter = e.MessageId() == 11030 || e.MessageId() == 11010;
            throw;
        }
        zipCommentBytes_ = bytes;
        endOfArchive_ = endRecordPos_ + 22 + bytes.size();
    } catch (const EArchiver& e) {
        ReportException(e);
        zipComment_.clear();
    } catch (const std::bad_alloc&) {
        ReportMessage(10103);
        zipComment_.clear();
    }
    if (rereadAfter) {
        ReadDirectory();
    }
}

// Another writer may have replaced the archive since its directory was read: the comment goes on
// the end of the archive as it now is, never on a copy of an older one.
void TArchiver::refreshEndRecordOrThrow() {
    QFile file(zipFileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EArchiver(11002);
    }
    DirectoryReader reader(file, useDirOnlyEntries_);
    reader.readEndRecord();
    endRecordPos_ = reader.endRecordPosition();
    zipCommentBytes_ = reader.commentBytes();
}

void TArchiver::writeCommentOrThrow(const QByteArray& bytes) {
    if (bytes.size() > 0xFFFF) {
        // The length field has 16 bits; a longer comment would leave a record that lies.
        throw EArchiver(11010);
    }
    QFile file(zipFileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EArchiver(11002);
    }
    if (!file.seek(endRecordPos_)) {
        throw EArchiver(11008);
    }
    QByteArray record = file.read(22);
    if (record.size() != 22 || !record.startsWith(QByteArray("PK\x05\x06", 4))) {
        throw EArchiver(11011);
    }
    file.close();
    qToLittleEndian<quint16>(static_cast<quint16>(bytes.size()), record.data() + 20);
    // The archive is replaced whole by a copy with the new tail, never truncated in place, so a
    // crash leaves the old or the new comment and never a broken archive.
    const int failure = replaceFileTail(zipFileName_, endRecordPos_, record + bytes);
    if (failure != 0) {
        throw EArchiver(failure);
    }
}

}  // namespace tk
