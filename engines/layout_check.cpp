#include "engines/layout_check.h"

#include "archive/directory_reader.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace tk::engine {
namespace {

struct Span {
    qint64 start;
    qint64 end;
};

constexpr uint32_t kZip64Marker = 0xFFFFFFFF;

}  // namespace

LayoutCheck checkMemberLayout(const std::string& archivePath) {
    QFile file(QString::fromStdString(archivePath));
    if (!file.open(QIODevice::ReadOnly)) {
        return {"cannot be opened"};
    }
    std::vector<ArchiveDirEntry::Fixed> entries;
    DirectoryReader reader(file, true);
    bool trailingBytes = false;
    reader.onWarning = [&](int id) { trailingBytes = trailingBytes || id == 10204; };
    reader.onEntry = [&](int, std::unique_ptr<ArchiveDirEntry> e) { entries.push_back(e->fixed); };
    try {
        reader.read();
    } catch (...) {
        return {};  // what this reader cannot follow (Zip64) libzip has checked on its own
    }
    std::vector<Span> spans;
    for (const ArchiveDirEntry::Fixed& e : entries) {
        if (e.PackedSize == kZip64Marker || e.LocalHeaderOffset == kZip64Marker) {
            return {};
        }
        if (!file.seek(e.LocalHeaderOffset)) {
            return {"member outside the archive"};
        }
        const QByteArray header = file.read(30);
        if (header.size() != 30 || qFromLittleEndian<quint32>(header.constData()) != 0x04034B50) {
            return {"member header missing"};
        }
        const qint64 dataStart = static_cast<qint64>(e.LocalHeaderOffset) + 30 +
                                 qFromLittleEndian<quint16>(header.constData() + 26) +
                                 qFromLittleEndian<quint16>(header.constData() + 28);
        spans.push_back({static_cast<qint64>(e.LocalHeaderOffset), dataStart + e.PackedSize});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t i = 0; i < spans.size(); ++i) {
        const qint64 limit = i + 1 < spans.size() ? spans[i + 1].start : reader.centralDirOffset();
        if (spans[i].end > limit) {
            return {"members overlap"};
        }
    }
    LayoutCheck result;
    if (!trailingBytes && reader.endOfArchive() < file.size()) {
        result.paddedLength = reader.endOfArchive();
    }
    return result;
}

}  // namespace tk::engine
