// Decodes arbitrary bytes as one compressed block (into a buffer of exactly the allowed size, so
// that any write past it is caught) and as a whole container.
#include "richedit/compressed_rtf.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One block is at most the work buffer; the whole container is the whole input.
    const size_t blockSize = std::min(size, size_t(tk::kCompressedBlockBuffer));
    const auto output = std::make_unique<unsigned char[]>(tk::kCompressedBlockInput);
    const int n = tk::DecompressBlock(data, int(blockSize), output.get(), tk::kCompressedBlockInput);
    if (n > tk::kCompressedBlockInput) {
        std::abort();
    }
    // What decodes must encode and decode back to itself.
    if (n > 0) {
        const auto encoded = std::make_unique<unsigned char[]>(size_t(n) + 15);
        const int length = tk::CompressBlock(output.get(), n, encoded.get());
        const auto decoded = std::make_unique<unsigned char[]>(tk::kCompressedBlockInput);
        if (tk::DecompressBlock(encoded.get(), length, decoded.get()) != n ||
            std::memcmp(decoded.get(), output.get(), size_t(n)) != 0) {
            std::abort();
        }
    }
    QByteArray container(tk::kCompressedSignature, tk::kCompressedSignatureSize);
    container.append(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray rtf;
    (void)tk::decompressRtf(container, &rtf);
    return 0;
}
