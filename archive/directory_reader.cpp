#include "archive/directory_reader.h"

#include "platform/byte_order.h"
#include "platform/codepage.h"

#include <algorithm>
#include <climits>

#include <cstring>

namespace tk {

QByteArray extraBlock(const QByteArray& extra, uint16_t tag) {
    qsizetype pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = le16(extra.constData() + pos);
        const uint16_t length = le16(extra.constData() + pos + 2);
        if (pos + 4 + length > extra.size()) {
            break;
        }
        if (id == tag) {
            return extra.mid(pos + 4, length);
        }
        pos += 4 + length;
    }
    return {};
}

namespace {

constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kSearchWindow = 65535 + kEndRecordSize;
constexpr int kCentralSize = 46;
constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr uint16_t kZip64Tag = 0x0001;
constexpr uint16_t kUnicodePathTag = 0x7075;
constexpr uint16_t kUnicodeCommentTag = 0x6375;
constexpr const char* kDosCodePage = "CP437";

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

// The CRC-32 of the zip format, bit by bit: only names and comments are checked with it.
uint32_t crc32Of(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

// Text some tools store twice: in the local code page where the name belongs, and as UTF-8 in an
// extra block that names the CRC-32 of those bytes. The UTF-8 form counts only while it matches.
bool unicodeText(const QByteArray& extra, uint16_t tag, const QByteArray& stored, QString* text) {
    const QByteArray block = extraBlock(extra, tag);
    if (block.size() < 5 || block.at(0) != 1) {
        return false;
    }
    if (le32(block.constData() + 1) != crc32Of(stored)) {
        return false;
    }
    *text = QString::fromUtf8(block.mid(5));
    return true;
}

// Applies the Zip64 block's values to the fields of all ones, in the order the format gives them.
void applyZip64(ArchiveDirEntry& e, const QByteArray& extra) {
    e.OriginalSize64 = e.fixed.OriginalSize;
    e.PackedSize64 = e.fixed.PackedSize;
    e.LocalHeaderOffset64 = e.fixed.LocalHeaderOffset;
    const bool wants[] = {e.fixed.OriginalSize == kAllOnes32, e.fixed.PackedSize == kAllOnes32,
                          e.fixed.LocalHeaderOffset == kAllOnes32};
    if (!wants[0] && !wants[1] && !wants[2]) {
        return;
    }
    const QByteArray block = extraBlock(extra, kZip64Tag);
    uint64_t* targets[] = {&e.OriginalSize64, &e.PackedSize64, &e.LocalHeaderOffset64};
    qsizetype pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (!wants[i]) {
            continue;
        }
        if (pos + 8 > block.size()) {
            throw EArchiver(10201);
        }
        *targets[i] = le64(block.constData() + pos);
        pos += 8;
    }
}

}  // namespace

QString decodeMemberText(const QByteArray& bytes, uint16_t bitFlags) {
    if (bitFlags & kUtf8Flag) {
        return QString::fromUtf8(bytes);
    }
    const QString ansi = codepage::fromAnsi(bytes);
    if (!ansi.contains(QChar::ReplacementCharacter)) {
        return ansi;
    }
    // Not the ANSI code page: DOS tools and many archivers write the original PC code page.
    return codepage::decode(kDosCodePage, bytes);
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
    EndValues end{le16(rec + 10), le32(rec + 12), le32(rec + 16), endRecordPos_};
    readZip64EndRecord(end);
    multiVolume_ = multiVolume_ || volume != 0;
    // For a multi-volume set the central directory would lie on another volume; such sets are not
    // supported, and the single-volume computation below then fails the read cleanly.
    centralDirOffset_ = end.position - static_cast<qint64>(std::min<uint64_t>(end.cdSize, INT64_MAX));
    // Bytes before the archive proper (a self-extractor's program) shift every position the
    // archive records by their length.
    const qint64 recorded = static_cast<qint64>(std::min<uint64_t>(end.cdOffset, INT64_MAX));
    archiveStart_ = centralDirOffset_ > recorded ? centralDirOffset_ - recorded : 0;
    positionsAgree_ = zip64Position_ < 0 ||
                      zip64RecordedAt_ + static_cast<uint64_t>(archiveStart_) == static_cast<uint64_t>(zip64Position_);
    positionsAgree_ = positionsAgree_ && end.cdOffset + static_cast<uint64_t>(archiveStart_) ==
                                             static_cast<uint64_t>(std::max<qint64>(0, centralDirOffset_));
    if (end.cdOffset != static_cast<uint64_t>(centralDirOffset_) && onWarning) {
        onWarning(10203);
    }
    if (centralDirOffset_ < 0 || !device_.seek(centralDirOffset_)) {
        throw EArchiver(10201);
    }
    for (uint64_t seq = 1; seq <= end.entries; ++seq) {
        readCentralEntry(static_cast<int>(std::min<uint64_t>(seq, INT_MAX)));
    }
}

// A large archive (Zip64) keeps the true entry count, directory size and offset in a record of
// its own before the end record, found through the locator just before the end record.
void DirectoryReader::readZip64EndRecord(EndValues& end) {
    constexpr qint64 kLocatorSize = 20;
    constexpr qint64 kZip64EndSize = 56;
    const qint64 locatorPos = endRecordPos_ - kLocatorSize;
    if (locatorPos < 0 || !device_.seek(locatorPos)) {
        return;
    }
    const QByteArray locator = device_.read(kLocatorSize);
    if (locator.size() != kLocatorSize || le32(locator.constData()) != 0x07064B50) {
        return;
    }
    QByteArray record;
    qint64 position = locatorPos - kZip64EndSize;
    if (position >= 0 && device_.seek(position)) {
        record = device_.read(kZip64EndSize);
    }
    if (record.size() != kZip64EndSize || le32(record.constData()) != 0x06064B50) {
        // A record with extensible data ends further from the locator: take its stored place.
        position = static_cast<qint64>(std::min<uint64_t>(le64(locator.constData() + 8), INT64_MAX));
        record = device_.seek(position) ? device_.read(kZip64EndSize) : QByteArray();
    }
    if (record.size() != kZip64EndSize || le32(record.constData()) != 0x06064B50) {
        const bool needed = end.entries == 0xFFFF || end.cdSize == 0xFFFFFFFF || end.cdOffset == 0xFFFFFFFF;
        if (needed) {
            throw EArchiver(11011);
        }
        return;  // four bytes that only look like a locator
    }
    multiVolume_ = multiVolume_ || le32(record.constData() + 16) != 0;
    zip64RecordedAt_ = le64(locator.constData() + 8);
    zip64Position_ = position;
    end = {le64(record.constData() + 32), le64(record.constData() + 40), le64(record.constData() + 48), position};
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
    entry->NameBytes = name;
    entry->MemberName = decodeMemberText(name, f.BitFlags);
    entry->IsEncrypted = (f.BitFlags & 1) != 0;
    QByteArray extra;
    if (f.ExtraLength != 0) {
        extra = readExactly(f.ExtraLength, 10201);
        entry->ExtraCopy = extra;
        entry->ExtraCopy.append('\0');
    }
    applyZip64(*entry, extra);
    if (!(f.BitFlags & kUtf8Flag)) {
        unicodeText(extra, kUnicodePathTag, name, &entry->MemberName);
    }
    if (f.CommentLength != 0) {
        const QByteArray comment = readExactly(f.CommentLength, 11022);
        entry->MemberComment = decodeMemberText(comment, f.BitFlags);
        if (!(f.BitFlags & kUtf8Flag)) {
            unicodeText(extra, kUnicodeCommentTag, comment, &entry->MemberComment);
        }
    }
    const bool dirOnly = entry->MemberName.endsWith(QLatin1Char('/')) || entry->MemberName.endsWith(QLatin1Char('\\'));
    if ((useDirOnly_ || !dirOnly) && onEntry) {
        onEntry(seqNo, std::move(entry));
    }
}

}  // namespace tk
