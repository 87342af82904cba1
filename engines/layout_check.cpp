#include "engines/layout_check.h"

#include "archive/directory_reader.h"
#include "platform/byte_order.h"

#include <QFile>

#include <algorithm>
#include <set>
#include <vector>

namespace tk::engine {
namespace {

constexpr qint64 kLocalSize = 30;
constexpr uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr uint16_t kDescriptorFlag = 0x0008;
// Message numbers of the component.
constexpr int kDuplicateName = 10507;
constexpr int kInconsistent = 10511;

struct Span {
    qint64 start;
    qint64 end;
    QString name;
};

struct Refusal {
    int id = 0;
    QString detail;
};

Refusal inconsistent(const QString& name, const char16_t* what) {
    return {kInconsistent, QStringLiteral("\"%1\" %2").arg(name, QString::fromUtf16(what))};
}

// The local header's sizes, with the Zip64 block's values where a field is all ones.
void localSizes(const QByteArray& header, const QByteArray& extra, uint64_t* packed, uint64_t* original) {
    *packed = le32(header.constData() + 18);
    *original = le32(header.constData() + 22);
    if (*packed != kAllOnes32 && *original != kAllOnes32) {
        return;
    }
    // A local header's Zip64 block holds both sizes, the original one first.
    const QByteArray zip64 = extraBlock(extra, 0x0001);
    if (zip64.size() >= 16) {
        *original = le64(zip64.constData());
        *packed = le64(zip64.constData() + 8);
    }
}

// The descriptor after a member's data: an optional signature, the CRC, and the sizes in 4 or 8
// bytes each. Returns its length when it agrees with the directory, else 0.
qint64 descriptorLength(QFile& file, qint64 at, const ArchiveDirEntry& e) {
    if (!file.seek(at)) {
        return 0;
    }
    const QByteArray d = file.read(24);
    for (const qint64 skip : {4, 0}) {
        if (skip == 4 && (d.size() < 4 || le32(d.constData()) != 0x08074B50)) {
            continue;
        }
        const char* p = d.constData() + skip;
        if (d.size() >= skip + 12 && le32(p) == e.fixed.Crc && le32(p + 4) == e.PackedSize64 &&
            le32(p + 8) == e.OriginalSize64) {
            return skip + 12;
        }
        if (d.size() >= skip + 20 && le32(p) == e.fixed.Crc && le64(p + 4) == e.PackedSize64 &&
            le64(p + 12) == e.OriginalSize64) {
            return skip + 20;
        }
    }
    return 0;
}

// Compares a member's local header with its directory entry and finds where the member ends.
Refusal checkMember(QFile& file, qint64 start, qint64 limit, const ArchiveDirEntry& e, Span* span,
                    bool* ownChecksOnly) {
    const QString& name = e.MemberName;
    // Nothing of a member lies past the central directory; this also keeps the sums below small.
    if (e.LocalHeaderOffset64 > static_cast<uint64_t>(limit - start) ||
        e.PackedSize64 > static_cast<uint64_t>(limit - start)) {
        return inconsistent(name, u"파일이 압축 파일 밖을 가리킴");
    }
    const qint64 pos = start + static_cast<qint64>(e.LocalHeaderOffset64);
    const QByteArray header = file.seek(pos) ? file.read(kLocalSize) : QByteArray();
    if (header.size() != kLocalSize || le32(header.constData()) != 0x04034B50) {
        return inconsistent(name, u"파일의 머리말이 없음");
    }
    const uint16_t nameLength = le16(header.constData() + 26);
    const uint16_t extraLength = le16(header.constData() + 28);
    const QByteArray storedName = file.read(nameLength);
    const QByteArray extra = file.read(extraLength);
    const uint16_t flags = le16(header.constData() + 6);
    if (storedName != e.NameBytes || le16(header.constData() + 8) != e.fixed.Method ||
        le32(header.constData() + 10) != e.fixed.DosDateTime) {
        return inconsistent(name, u"파일의 머리말과 목록이 서로 다름");
    }
    // zip -fz asks for version 4.5 in a folder's local header and 1.0 in the directory.
    *ownChecksOnly = *ownChecksOnly || le16(header.constData() + 4) > e.fixed.NeededVersion;
    uint64_t packed = 0;
    uint64_t original = 0;
    localSizes(header, extra, &packed, &original);
    const uint32_t crc = le32(header.constData() + 14);
    const qint64 dataEnd = pos + kLocalSize + nameLength + extraLength + static_cast<qint64>(e.PackedSize64);
    qint64 end = dataEnd;
    if (flags & kDescriptorFlag) {
        // A writer that could not go back to the header leaves zeros there (some write the one
        // size they knew); the descriptor after the data must then agree with the directory.
        const bool headerAgrees = (crc == 0 || crc == e.fixed.Crc) && (packed == 0 || packed == e.PackedSize64) &&
                                  (original == 0 || original == e.OriginalSize64);
        const qint64 length = headerAgrees ? descriptorLength(file, dataEnd, e) : 0;
        if (length == 0) {
            return inconsistent(name, u"파일 뒤의 크기 기록과 목록이 서로 다름");
        }
        end += length;
        *ownChecksOnly = true;
    } else if (crc != e.fixed.Crc || packed != e.PackedSize64 || original != e.OriginalSize64) {
        return inconsistent(name, u"파일의 크기 기록과 목록이 서로 다름");
    }
    *span = {pos, end, name};
    return {};
}

ArchiveLayout refused(const Refusal& r) {
    ArchiveLayout layout;
    layout.problemId = r.id;
    layout.problemDetail = r.detail.toStdString();
    return layout;
}

}  // namespace

ArchiveLayout checkArchiveLayout(const std::string& archivePath) {
    QFile file(QString::fromStdString(archivePath));
    if (!file.open(QIODevice::ReadOnly)) {
        return refused({11001, {}});
    }
    std::vector<std::unique_ptr<ArchiveDirEntry>> entries;
    DirectoryReader reader(file, true);
    reader.onEntry = [&](int, std::unique_ptr<ArchiveDirEntry> e) { entries.push_back(std::move(e)); };
    try {
        reader.read();
    } catch (const EArchiver& e) {
        return refused({e.MessageId(), {}});
    } catch (...) {
        return refused({10202, {}});
    }
    if (!reader.positionsAgree()) {
        return refused({kInconsistent, QStringLiteral("목록의 위치 기록이 실제 위치와 다름")});
    }
    const qint64 start = reader.archiveStart();
    const qint64 limit = reader.centralDirOffset();
    ArchiveLayout layout;
    std::set<QString> names;
    std::vector<Span> spans;
    for (const auto& e : entries) {
        if (!names.insert(e->MemberName).second) {
            return refused({kDuplicateName, QStringLiteral("\"%1\"").arg(e->MemberName)});
        }
        Span span;
        const Refusal problem = checkMember(file, start, limit, *e, &span, &layout.ownChecksOnly);
        if (problem.id != 0) {
            return refused(problem);
        }
        spans.push_back(span);
        layout.members.push_back({e->NameBytes.toStdString(), e->MemberName.toStdString(), e->fixed.Crc,
                                  e->PackedSize64, e->OriginalSize64});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t i = 0; i < spans.size(); ++i) {
        const qint64 next = i + 1 < spans.size() ? spans[i + 1].start : limit;
        if (spans[i].end > next) {
            return refused(inconsistent(spans[i].name, u"파일이 다른 파일이나 목록과 겹침"));
        }
    }
    layout.start = start;
    layout.length = std::min(reader.endOfArchive(), file.size()) - start;
    return layout;
}

}  // namespace tk::engine
