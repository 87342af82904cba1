// Reads the directory of arbitrary bytes as the component does.
#include "archive/directory_reader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    tk::DirectoryReader reader(buffer, (size & 1) != 0);
    size_t kept = 0;
    reader.onEntry = [&](int, std::unique_ptr<tk::ArchiveDirEntry> entry) {
        kept += static_cast<size_t>(entry->MemberName.size()) + static_cast<size_t>(entry->ExtraCopy.size());
    };
    reader.onWarning = [](int) {};
    try {
        reader.read();
    } catch (const tk::EArchiver&) {
    } catch (const std::bad_alloc&) {
    }
    return kept > (size_t{1} << 40) ? 1 : 0;
}
