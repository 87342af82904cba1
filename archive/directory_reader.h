#pragma once

#include "archive/archiver_types.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <memory>

namespace tk {

// Reads the end record, the archive comment and the central directory from a device. Failures
// raise EArchiver with the message number; warnings go to onWarning and the read goes on.
class DirectoryReader final {
  public:
    DirectoryReader(QIODevice& device, bool useDirOnlyEntries) : device_(device), useDirOnly_(useDirOnlyEntries) {}

    std::function<void(int messageId)> onWarning;
    // Receives every entry kept, with the 1-based number of its central entry.
    std::function<void(int seqNo, std::unique_ptr<ArchiveDirEntry> entry)> onEntry;

    void read();
    // Only finds the end record and the comment after it, without the central directory.
    void readEndRecord() { locateEndRecord(); }

    const QByteArray& commentBytes() const { return comment_; }
    qint64 endRecordPosition() const { return endRecordPos_; }
    qint64 endOfArchive() const { return endOfArchive_; }
    qint64 centralDirOffset() const { return centralDirOffset_; }
    // Where the archive proper begins: after the bytes placed before it (a self-extractor's
    // program) when the archive's own positions do not count them, else 0.
    qint64 archiveStart() const { return archiveStart_; }
    // Whether the positions the archive records (central directory, large-archive record) are
    // where they were found, counted from archiveStart(): a reader that follows the recorded
    // positions then reads the same directory as this one.
    bool positionsAgree() const { return positionsAgree_; }
    bool multiVolume() const { return multiVolume_; }
    uint8_t lastHostSystem() const { return lastHost_; }
    uint8_t lastSpecVersion() const { return lastSpec_; }

  private:
    struct EndValues {
        uint64_t entries;
        uint64_t cdSize;
        uint64_t cdOffset;  // as the archive records it
        qint64 position;    // where the record that gave these values lies
    };
    void locateEndRecord();
    void readZip64EndRecord(EndValues& end);
    bool searchEndRecord(qint64 size);
    void readCentralEntry(int seqNo);
    QByteArray readExactly(qint64 n, int shortReadId);

    QIODevice& device_;
    bool useDirOnly_;
    QByteArray record_;  // the 22 bytes of the end record
    QByteArray comment_;
    qint64 endRecordPos_ = 0;
    qint64 endOfArchive_ = 0;
    qint64 centralDirOffset_ = 0;
    qint64 archiveStart_ = 0;
    bool positionsAgree_ = true;
    uint64_t zip64RecordedAt_ = 0;
    qint64 zip64Position_ = -1;
    bool multiVolume_ = false;
    uint8_t lastHost_ = 0;
    uint8_t lastSpec_ = 0;
};

// Member names and comments: UTF-8 when general purpose bit 11 is set, else the ANSI code page, or
// the DOS code page (437) for bytes that are no ANSI text.
QString decodeMemberText(const QByteArray& bytes, uint16_t bitFlags);

// The data of a zip extra field's block with this tag (0x0001 for Zip64 values), or a null array
// when there is none.
QByteArray extraBlock(const QByteArray& extra, uint16_t tag);

}  // namespace tk
