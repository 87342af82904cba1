#include "archive/directory_reader.h"

#include "platform/codepage.h"

#include <QtEndian>

#include <cstring>

namespace tk {
namespace {

constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kSearchWindow = 65535 + kEndRecordSize;
constexpr int kCentralSize = 46;
constexpr uint16_t kUtf8Flag = 0x0800;

uint16_t le16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}
uint32_t le32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}
bool isEndSignature(const char* p) {
    return p[0] == 'P' && p[1] == 'K' && p[2] == 5 && p[3] == 6;
}

// A transfer may pad a file with zeros up to a multiple of 512 bytes.
bool isZeroPadding(const QByteArray& window, qint64 windowStart, qint64 endOfArchive, qint64 size) {
    if (size % 512 != 0 || endOfArchive >= size || size - endOfArchive >= 512) {
        return false;
    }
    for (qint64 pos = endOfArchive - windowStart; pos < window.size(); ++pos) {
        if (pos >= 0 && window.at(pos) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

QString decodeMemberText(const QByteArray& bytes, uint16_t bitFlags) {
    if (bitFlags & kUtf8Flag) {
        return QString::fromUtf8(bytes);
    }
    return codepage::fromAnsi(bytes);
}

QByteArray DirectoryReader::readExactly(qint64 n, int shortReadId) {
    QByteArray bytes = device_.read(n);
    if (bytes.size() != n) {
        throw EArchiver(shortReadId);
    }
    return bytes;
}

void DirectoryReader::read() {
    locateEndRecord();
    const char* rec = record_.constData();
    const uint16_t volume = le16(rec + 4);
    const uint16_t cdVolume = le16(rec + 6);
    const uint16_t total = le16(rec + 10);
    const uint32_t cdSize = le32(rec + 12);
    const uint32_t storedOffset = le32(rec + 16);
    multiVolume_ = multiVolume_ || volume != 0;
    // For a multi-volume set the central directory would lie on another volume; such sets are not
    // supported, and the single-volume computation below then fails the read cleanly.
    (void)cdVolume;
    centralDirOffset_ = endRecordPos_ - static_cast<qint64>(cdSize);
    if (static_cast<qint64>(storedOffset) != centralDirOffset_ && onWarning) {
        onWarning(10203);
    }
    if (centralDirOffset_ < 0 || !device_.seek(centralDirOffset_)) {
        throw EArchiver(10201);
    }
    for (int seq = 1; seq <= total; ++seq) {
        readCentralEntry(seq);
    }
}

void DirectoryReader::locateEndRecord() {
    comment_.clear();
    endRecordPos_ = 0;
    const qint64 size = device_.size();
    if (device_.seek(0)) {
        const QByteArray head = device_.read(8);
        multiVolume_ =
            head.size() == 8 && le32(head.constData()) == 0x08074B50 && le32(head.constData() + 4) == 0x04034B50;
    }
    endOfArchive_ = size;
    if (size >= kEndRecordSize && device_.seek(size - kEndRecordSize)) {
        const QByteArray tail = device_.read(kEndRecordSize);
        if (tail.size() == kEndRecordSize && isEndSignature(tail.constData())) {
            endRecordPos_ = size - kEndRecordSize;
            record_ = tail;
            return;
        }
    }
    if (!searchEndRecord(size)) {
        throw EArchiver(multiVolume_ ? 11045 : 11036);
    }
}

bool DirectoryReader::searchEndRecord(qint64 size) {
    const qint64 window = std::min(size, kSearchWindow);
    if (!device_.seek(size - window)) {
        throw EArchiver(11008);
    }
    const QByteArray bytes = device_.read(window);
    if (bytes.size() != window) {
        throw EArchiver(11011);
    }
    for (qint64 i = window - 23; i >= 0; --i) {
        if (!isEndSignature(bytes.constData() + i)) {
            continue;
        }
        const qint64 windowStart = size - window;
        endRecordPos_ = windowStart + i;
        record_ = bytes.mid(i, kEndRecordSize);
        const uint16_t commentLength = le16(record_.constData() + 20);
        endOfArchive_ = endRecordPos_ + kEndRecordSize + commentLength;
        if (endOfArchive_ != size && !isZeroPadding(bytes, windowStart, endOfArchive_, size) && onWarning) {
            onWarning(10204);
        }
        if (commentLength != 0) {
            QByteArray comment = bytes.mid(i + kEndRecordSize, commentLength);
            const qsizetype zero = comment.indexOf('\0');
            comment_ = zero >= 0 ? comment.left(zero) : comment;
        }
        return true;
    }
    return false;
}

void DirectoryReader::readCentralEntry(int seqNo) {
    const QByteArray fixed = readExactly(kCentralSize, 11013);
    if (le32(fixed.constData()) != 0x02014B50) {
        throw EArchiver(11015);
    }
    auto entry = std::make_unique<ArchiveDirEntry>();
    std::memcpy(&entry->fixed, fixed.constData() + 4, sizeof(ArchiveDirEntry::Fixed));
    const ArchiveDirEntry::Fixed& f = entry->fixed;
    const QByteArray name = readExactly(f.NameLength, 11017);
    lastHost_ = f.HostSystem;
    lastSpec_ = f.SpecVersion;
    entry->MemberName = decodeMemberText(name, f.BitFlags);
    entry->IsEncrypted = (f.BitFlags & 1) != 0;
    if (f.ExtraLength != 0) {
        entry->ExtraCopy = readExactly(f.ExtraLength, 10201);
        entry->ExtraCopy.append('\0');
    }
    if (f.CommentLength != 0) {
        entry->MemberComment = decodeMemberText(readExactly(f.CommentLength, 11022), f.BitFlags);
    }
    const bool dirOnly = entry->MemberName.endsWith(QLatin1Char('/')) || entry->MemberName.endsWith(QLatin1Char('\\'));
    if ((useDirOnly_ || !dirOnly) && onEntry) {
        onEntry(seqNo, std::move(entry));
    }
}

}  // namespace tk
