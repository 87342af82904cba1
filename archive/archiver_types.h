#pragma once

// Option sets, ordinal types, the directory record and the exception of the archive component.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <string>

namespace tk {

// A set over an enumeration whose element n is bit n.
template <typename E>
class EnumSet {
  public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items) {
        for (E e : items) {
            bits_ |= bit(e);
        }
    }
    static constexpr EnumSet fromBits(uint32_t bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr EnumSet& insert(E e) {
        bits_ |= bit(e);
        return *this;
    }
    constexpr EnumSet& remove(E e) {
        bits_ &= ~bit(e);
        return *this;
    }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr uint32_t bits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

  private:
    static constexpr uint32_t bit(E e) { return uint32_t{1} << static_cast<unsigned>(e); }
    uint32_t bits_ = 0;
};

enum class AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddArchiveOnly,
    AddResetArchive,
    AddEncrypt,
    AddSeparateDirs,
    AddVolume,
    AddDiskSpan,
    AddDiskSpanErase,
};
using AddOpts = EnumSet<AddOptsEnum>;

enum class ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = EnumSet<ExtrOptsEnum>;

enum class AddStoreSuffixEnum {
    assGIF,
    assPNG,
    assZ,
    assZIP,
    assZOO,
    assARC,
    assLZH,
    assARJ,
    assTAZ,
    assTGZ,
    assLHA,
    assRAR,
    assACE,
    assCAB,
    assGZ,
    assGZIP,
    assJAR,
    assEXE,
};
using AddStoreExts = EnumSet<AddStoreSuffixEnum>;
// The suffix each element stands for, in enumeration order.
inline constexpr const char* kStoreSuffixes[] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh",  "arj", "taz",
                                                 "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

enum class SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = EnumSet<SFXOptsEnum>;

enum class OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum class CodePageOpts { cpAuto, cpNone, cpOEM };
enum class DeleteOpts { htdFinal, htdAllowUndo };

enum class ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };
enum class UnZipSkipTypes {
    stOnFreshen,
    stNoOverwrite,
    stFileExists,
    stBadPassword,
    stNoEncryptionDLL,
    stCompressionUnknown,
    stUnknownZipHost,
    stZipFileFormatWrong,
    stGeneralExtractError,
};
enum class TPasswordButton { mbOK = 0, mbCancel = 1, mbCancelAll = 2, mbAbort = 3 };

// One central directory entry. The first sixteen fields are a byte-for-byte copy of bytes 4 to 45
// of the entry, in the archive's order and widths.
struct ArchiveDirEntry {
#pragma pack(push, 1)
    struct Fixed {
        uint8_t SpecVersion;
        uint8_t HostSystem;
        uint16_t NeededVersion;
        uint16_t BitFlags;
        uint16_t Method;
        uint32_t DosDateTime;
        uint32_t Crc;
        uint32_t PackedSize;
        uint32_t OriginalSize;
        uint16_t NameLength;
        uint16_t ExtraLength;
        uint16_t CommentLength;
        uint16_t StartVolume;
        uint16_t InternalAttributes;
        uint32_t ExternalAttributes;
        uint32_t LocalHeaderOffset;
    };
#pragma pack(pop)
    Fixed fixed{};
    QString MemberName;
    QString MemberComment;
    bool IsEncrypted = false;
    // The extra field followed by one spare zero byte; empty when the field is empty.
    QByteArray ExtraCopy;
    // The name as stored, before any decoding.
    QByteArray NameBytes;
    // The sizes and the local header's offset with large-archive (Zip64) values applied: a fixed
    // field of all ones stands for the 64-bit value in the extra field.
    uint64_t PackedSize64 = 0;
    uint64_t OriginalSize64 = 0;
    uint64_t LocalHeaderOffset64 = 0;
};
static_assert(sizeof(ArchiveDirEntry::Fixed) == 42);

// The component's exception: a message number, its text, and whether the text is shown.
class EArchiver : public std::exception {
  public:
    explicit EArchiver(int id, bool display = true);
    EArchiver(int id, int detail, bool display = true);
    EArchiver(int id, const QString& detail, bool display = true);

    int MessageId() const { return id_; }
    bool DisplayMessage() const { return display_; }
    const QString& Message() const { return text_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    int id_;
    bool display_;
    QString text_;
    std::string utf8_;
};

// The text of message number id, in Korean: what happened, the detail (a drive, a system error, a
// result) when one is given, what the user can do, and the number. The password prompt's captions
// (10152 to 10158) are plain labels. An unknown number gets a general text that still names it.
QString archiverMessageText(int id, const QString& detail = {});

}  // namespace tk
