#include "richedit/compressed_rtf.h"

#include "richtext/rtf_reader.h"

#include <QFile>
#include <QIODevice>

#include <cstdint>
#include <cstring>

namespace tk {

namespace {

constexpr int kHashSize = 4096;
constexpr int kMaxOffset = 4095;
constexpr int kMaxMatch = 18;
constexpr int kMinRun = 16;
constexpr int kMaxRun = 4095;

inline unsigned hashAt(const unsigned char* p) {
    const uint32_t v = ((((uint32_t(p[0]) << 4) ^ p[1]) << 4) ^ p[2]);
    return ((40543u * v) >> 4) & 0x0FFF;
}

inline void putWord(unsigned char* out, unsigned v) {
    out[0] = static_cast<unsigned char>(v >> 8);
    out[1] = static_cast<unsigned char>(v);
}

// Length of the run of input[x] starting at x, at most kMaxRun.
inline int runLength(const unsigned char* input, int x, int n) {
    if (x + 1 >= n || input[x + 1] != input[x]) {
        return 1;
    }
    const int limit = std::min(kMaxRun, n - x);
    const unsigned char c = input[x];
    int r = 1;
    while (r < limit && input[x + r] == c) {
        ++r;
    }
    return r;
}

inline int matchLength(const unsigned char* input, int x, int p, int n) {
    if (x + kMaxMatch <= n) {
        // Eight bytes at a time; the first differing byte ends the match.
        for (int m = 0; m < 16; m += 8) {
            uint64_t a;
            uint64_t b;
            std::memcpy(&a, input + x + m, 8);
            std::memcpy(&b, input + p + m, 8);
            if (a != b) {
                return m + (__builtin_ctzll(a ^ b) >> 3);
            }
        }
        return input[x + 16] != input[p + 16] ? 16 : input[x + 17] != input[p + 17] ? 17 : 18;
    }
    const int limit = std::min(kMaxMatch, n - x);
    int m = 0;
    while (m < limit && input[x + m] == input[p + m]) {
        ++m;
    }
    return m;
}

int storeBlock(const unsigned char* input, int n, unsigned char* output) {
    output[0] = 0x80;
    if (n > 0) {
        std::memcpy(output + 1, input, size_t(n));
    }
    return n + 1;
}

}  // namespace

bool IsCompressedStream(QIODevice& stream) {
    // peek leaves the position where it was, also on devices that cannot seek.
    const QByteArray head = stream.peek(kCompressedSignatureSize);
    if (head.size() != kCompressedSignatureSize) {
        return false;
    }
    // Compared as text: a zero byte ends the text, so "CompressRT\0..." is not the signature.
    return std::memcmp(head.constData(), kCompressedSignature, kCompressedSignatureSize) == 0;
}

bool IsCompressedFile(const QString& fileName, bool* opened, QString* errorString) {
    QFile file(fileName);
    const bool ok = file.open(QIODevice::ReadOnly);
    if (opened) {
        *opened = ok;
    }
    if (!ok) {
        if (errorString) {
            *errorString = QStringLiteral("%1 파일을 열 수 없습니다(%2). 파일이 있는지, 읽을 권한이 있는지 확인하세요.")
                               .arg(fileName, file.errorString());
        }
        return false;
    }
    return IsCompressedStream(file);
}

int CompressBlock(const unsigned char* input, int n, unsigned char* output) {
    int16_t table[kHashSize];
    std::memset(table, 0xFF, sizeof table);
    output[0] = 0x40;
    int x = 0;
    int y = 3;
    int z = 1;
    int k = 0;
    unsigned cw = 0;
    while (y <= n && x < n) {
        if (k > 15) {
            putWord(output + z, cw);
            z = y;
            y += 2;
            k = 0;
        }
        const int r = runLength(input, x, n);
        if (r >= kMinRun) {
            output[y] = 0;
            output[y + 1] = static_cast<unsigned char>((r - kMinRun) >> 8);
            output[y + 2] = static_cast<unsigned char>(r - kMinRun);
            output[y + 3] = input[x];
            y += 4;
            x += r;
            cw = 2 * cw + 1;
        } else {
            // The last two positions cannot start a match of 3; their hash would read past the
            // input and whatever it finds can neither match nor be looked up again.
            int m = 0;
            int p = -1;
            if (x + 2 < n) {
                const unsigned h = hashAt(input + x);
                p = table[h];
                table[h] = static_cast<int16_t>(x);
                if (p != -1 && x - p <= kMaxOffset) {
                    m = matchLength(input, x, p, n);
                }
            }
            if (m >= 3) {
                putWord(output + y, unsigned(((x - p) << 4) + (m - 3)));
                y += 2;
                x += m;
                cw = 2 * cw + 1;
            } else {
                output[y++] = input[x++];
                cw = 2 * cw;
            }
        }
        ++k;
    }
    cw <<= (16 - k);
    putWord(output + z, cw & 0xFFFF);
    if (n < y) {
        return storeBlock(input, n, output);
    }
    return y;
}

int DecompressBlock(const unsigned char* input, int length, unsigned char* output, int outputCapacity) {
    if (length <= 1) {
        return 0;
    }
    const int capacity = std::min(outputCapacity, kCompressedBlockInput);
    if (input[0] == 0x80) {
        if (length - 1 > capacity) {
            return -1;
        }
        std::memcpy(output, input + 1, size_t(length - 1));
        return length - 1;
    }
    if (length < 3) {
        return -1;  // the first control word is cut off
    }
    int x = 3;
    int y = 0;
    unsigned cw = (unsigned(input[1]) << 8) | input[2];
    int k = 16;
    while (x < length) {
        if (k == 0) {
            if (x + 1 >= length) {
                return -1;
            }
            cw = (unsigned(input[x]) << 8) | input[x + 1];
            x += 2;
            k = 16;
            if (x >= length) {
                break;  // a control word with no item after it adds nothing
            }
        }
        if ((cw & 0x8000) == 0) {
            if (y >= capacity) {
                return -1;
            }
            output[y++] = input[x++];
        } else {
            if (x + 1 >= length) {
                return -1;
            }
            const int o = (int(input[x]) << 4) | (input[x + 1] >> 4);
            if (o == 0) {
                if (x + 3 >= length) {
                    return -1;
                }
                const int count = (int(input[x + 1]) << 8) + input[x + 2] + kMinRun;
                if (count > capacity - y) {
                    return -1;
                }
                std::memset(output + y, input[x + 3], size_t(count));
                y += count;
                x += 4;
            } else {
                const int n = (input[x + 1] & 0x0F) + 3;
                if (o > y || n > capacity - y) {
                    return -1;
                }
                const unsigned char* from = output + y - o;
                unsigned char* to = output + y;
                if (o >= 8 && y + 24 <= capacity) {
                    // Whole words: each reads only bytes already written, and the slack past n
                    // is overwritten by what follows.
                    for (int i = 0; i < n; i += 8) {
                        uint64_t word;
                        std::memcpy(&word, from + i, 8);
                        std::memcpy(to + i, &word, 8);
                    }
                } else {
                    for (int i = 0; i < n; ++i) {
                        to[i] = from[i];
                    }
                }
                y += n;
                x += 2;
            }
        }
        cw = (cw << 1) & 0xFFFF;
        --k;
    }
    return y;
}

QByteArray compressRtf(QByteArrayView rtf) {
    QByteArray out;
    out.reserve(kCompressedSignatureSize + rtf.size() / 2 + 64);
    out.append(kCompressedSignature, kCompressedSignatureSize);
    unsigned char buffer[kCompressedBlockBuffer];
    const auto* data = reinterpret_cast<const unsigned char*>(rtf.data());
    for (qsizetype at = 0; at < rtf.size(); at += kCompressedBlockInput) {
        const int n = int(std::min<qsizetype>(kCompressedBlockInput, rtf.size() - at));
        const int length = CompressBlock(data + at, n, buffer);
        const unsigned char size[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                                       static_cast<unsigned char>(length >> 16),
                                       static_cast<unsigned char>(length >> 24)};
        out.append(reinterpret_cast<const char*>(size), 4);
        out.append(reinterpret_cast<const char*>(buffer), length);
    }
    return out;
}

QString compressedErrorText(CompressedError error, qint64 offset, qint64 length) {
    const QString check = QStringLiteral(" 원본 파일이나 백업을 확인하세요.");
    switch (error) {
        case CompressedError::None:
            break;
        case CompressedError::NotContainer:
            return QStringLiteral(
                "압축된 서식 있는 문서가 아닙니다: \"CompressRTF \"로 시작하지 않습니다. 파일 "
                "형식을 확인하세요.");
        case CompressedError::CutShort:
            return QStringLiteral("압축된 문서가 %1번째 바이트의 블록에서 끊겼습니다. 파일이 잘렸을 수 있습니다.")
                       .arg(offset) +
                   check;
        case CompressedError::BlockTooLong:
            return QStringLiteral(
                       "압축된 문서가 손상되었습니다: %1번째 바이트의 블록 길이가 %2바이트로, "
                       "32,783바이트를 넘습니다.")
                       .arg(offset)
                       .arg(length) +
                   check;
        case CompressedError::BlockCorrupt:
            return QStringLiteral("압축된 문서의 %1번째 바이트에 있는 블록이 손상되어 풀 수 없습니다.").arg(offset) +
                   check;
        case CompressedError::TooLarge:
            return QStringLiteral(
                       "압축을 풀면 문서가 %1 MB를 넘어서 열지 않았습니다. 손상되었거나 일부러 크게 "
                       "부풀린 파일일 수 있으니, 믿을 수 있는 원본인지 확인하세요.")
                .arg(rtf::kMaxReadMemory >> 20);
    }
    return {};
}

bool decompressRtf(QByteArrayView container, QByteArray* rtf, QString* errorString) {
    rtf->clear();
    auto fail = [errorString](CompressedError error, qint64 offset = 0, qint64 length = 0) {
        if (errorString) {
            *errorString = compressedErrorText(error, offset, length);
        }
        return false;
    };
    if (container.size() < kCompressedSignatureSize ||
        std::memcmp(container.data(), kCompressedSignature, kCompressedSignatureSize) != 0) {
        return fail(CompressedError::NotContainer);
    }
    const auto* data = reinterpret_cast<const unsigned char*>(container.data());
    unsigned char buffer[kCompressedBlockInput];
    qsizetype at = kCompressedSignatureSize;
    while (at < container.size()) {
        if (container.size() - at < 4) {
            return fail(CompressedError::CutShort, at);
        }
        const uint32_t length = uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
                                uint32_t(data[at + 3]) << 24;
        if (length > uint32_t(kCompressedBlockBuffer)) {
            return fail(CompressedError::BlockTooLong, at, length);
        }
        if (qsizetype(length) > container.size() - at - 4) {
            return fail(CompressedError::CutShort, at);
        }
        const int decoded = DecompressBlock(data + at + 4, int(length), buffer, kCompressedBlockInput);
        if (decoded < 0) {
            return fail(CompressedError::BlockCorrupt, at);
        }
        if (rtf->size() + decoded > rtf::kMaxReadMemory) {
            return fail(CompressedError::TooLarge);
        }
        rtf->append(reinterpret_cast<const char*>(buffer), decoded);
        at += 4 + qsizetype(length);
    }
    return true;
}

}  // namespace tk
