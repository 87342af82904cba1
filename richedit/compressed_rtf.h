#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

// The compressed rich text container: the 12-byte signature "CompressRTF ", then blocks, each a
// 32-bit little-endian encoded length L followed by L encoded bytes that decode, on their own, to
// at most 32,768 bytes of RTF.
namespace tk {

inline constexpr char kCompressedSignature[] = "CompressRTF ";
inline constexpr int kCompressedSignatureSize = 12;
// Largest piece of RTF one block carries.
inline constexpr int kCompressedBlockInput = 32768;
// Work-buffer size: room for any encoded block (input + 15) and any decoded block.
inline constexpr int kCompressedBlockBuffer = 32783;

// Answers whether the 12 bytes at the device's current position are the signature; the position is
// restored. Fewer than 12 bytes left means no. The comparison is textual: the bytes up to a zero
// byte must equal the whole signature.
bool IsCompressedStream(QIODevice& stream);

// Opens the file for reading, answers as IsCompressedStream and closes it. When the file cannot be
// opened the answer is false and *opened (when given) is false, with *errorString set.
bool IsCompressedFile(const QString& fileName, bool* opened = nullptr, QString* errorString = nullptr);

// Encodes n bytes (0 <= n <= 32,768) of input into output and returns the encoded length L
// (1 to n + 1). output must have room for n + 15 bytes. input needs no padding after its n bytes.
// The result is the same, byte for byte, as the container's own writer produces.
int CompressBlock(const unsigned char* input, int n, unsigned char* output);

// Decodes one encoded block of length bytes into output, which has room for outputCapacity bytes
// (at most 32,768 are ever written). Returns the decoded length, or -1 when the block is corrupt:
// an item cut short by the end of the block, a copy reaching before the start of the block's
// output, or output beyond outputCapacity or 32,768 bytes. Nothing is allocated.
[[nodiscard]] int DecompressBlock(const unsigned char* input, int length, unsigned char* output,
                                  int outputCapacity = kCompressedBlockInput);

// A whole container (signature and blocks) for the RTF bytes, in 32,768-byte pieces.
QByteArray compressRtf(QByteArrayView rtf);

// Why a container could not be decoded.
enum class CompressedError {
    None,
    NotContainer,  // no signature
    CutShort,      // the data ends inside a block or its length
    BlockTooLong,  // a block length above 32,783
    BlockCorrupt,  // a block that DecompressBlock refuses
    TooLarge,      // the blocks decode to more than a read may hold (rtf::kMaxReadMemory)
};

// What to tell the user of it, in Korean: what happened (with the block's byte offset and the
// length it gave, where they apply) and what to do.
QString compressedErrorText(CompressedError error, qint64 offset = 0, qint64 length = 0);

// Decodes a whole container into *rtf. False, with *errorString (compressedErrorText), when the
// signature is missing, a block length is above 32,783, a block runs past the end of the data, a
// block is corrupt, or the blocks decode to more than rtf::kMaxReadMemory; *rtf then holds the
// blocks decoded before the fault. An empty container (the signature alone) is an empty document.
[[nodiscard]] bool decompressRtf(QByteArrayView container, QByteArray* rtf, QString* errorString = nullptr);

}  // namespace tk
