#include "richedit/compressed_rtf.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace tk;

namespace {

QByteArray compress(const QByteArray& in) {
    QByteArray out(in.size() + 15, '\0');
    const int n = CompressBlock(reinterpret_cast<const unsigned char*>(in.constData()), int(in.size()),
                                reinterpret_cast<unsigned char*>(out.data()));
    out.truncate(n);
    return out;
}

// Decodes into an exactly sized heap buffer so that AddressSanitizer sees any write past it.
int decompress(const QByteArray& in, QByteArray* out, int capacity = kCompressedBlockInput) {
    out->resize(capacity);
    const int n = DecompressBlock(reinterpret_cast<const unsigned char*>(in.constData()), int(in.size()),
                                  reinterpret_cast<unsigned char*>(out->data()), capacity);
    if (n >= 0) {
        out->truncate(n);
    }
    return n;
}

QByteArray roundTrip(const QByteArray& in) {
    QByteArray out;
    EXPECT_GE(decompress(compress(in), &out), 0);
    return out;
}

QByteArray sampleRtf(int size) {
    QByteArray text;
    int i = 0;
    while (text.size() < size) {
        text += "{\\rtf1\\ansi\\ansicpg949 \\f0\\fs20 \\'c7\\'d1\\'b1\\'db line " + QByteArray::number(i++) +
                " \\b bold\\b0 \\par\r\n";
    }
    text.truncate(size);
    return text;
}

}  // namespace

TEST(CompressedRtfBlock, KnownEncodings) {
    // Three literals, then one copy item: offset 3, length 9, under the control word 0x1000.
    EXPECT_EQ(compress("abcabcabcabc"), QByteArray::fromHex("4010006162630036"));
    // Fewer than 3 bytes, and the empty piece, are always stored.
    EXPECT_EQ(compress(""), QByteArray::fromHex("80"));
    EXPECT_EQ(compress("ab"), QByteArray::fromHex("806162"));
    // A run of 20 equal bytes is one run item with count 20 - 16.
    EXPECT_EQ(compress(QByteArray(20, 'x')), QByteArray::fromHex("40"
                                                                 "8000"
                                                                 "00000478"));
}

TEST(CompressedRtfBlock, EqualBytesBecomeRunsOfAtMost4095) {
    const QByteArray in(32768, 'z');
    const QByteArray out = compress(in);
    // Eight run items of 4,095 bytes, then the last 8 bytes as literals (too few for a run).
    ASSERT_EQ(out[0], '\x40');
    EXPECT_EQ(out.mid(3, 4), QByteArray::fromHex("000fef7a"));
    EXPECT_LT(out.size(), 64);
    EXPECT_EQ(roundTrip(in), in);
}

TEST(CompressedRtfBlock, RandomBytesAreStored) {
    QByteArray in(32768, '\0');
    QRandomGenerator rng(7);
    for (char& c : in) {
        c = char(rng.bounded(256));
    }
    const QByteArray out = compress(in);
    ASSERT_EQ(out.size(), in.size() + 1);
    EXPECT_EQ(out[0], '\x80');
    EXPECT_EQ(out.mid(1), in);
    EXPECT_EQ(roundTrip(in), in);
}

TEST(CompressedRtfBlock, RoundTripsEverySizeAndShape) {
    QRandomGenerator rng(11);
    for (int size : {1, 2, 3, 4, 15, 16, 17, 18, 19, 100, 4095, 4096, 4097, 32767, 32768}) {
        const QByteArray rtf = sampleRtf(size);
        EXPECT_EQ(roundTrip(rtf), rtf) << size;
        // Overlapping copies and runs mixed with literals.
        QByteArray mixed;
        while (mixed.size() < size) {
            const int kind = int(rng.bounded(3));
            if (kind == 0) {
                mixed.append(QByteArray(int(rng.bounded(1, 40)), char(rng.bounded(4))));
            } else if (kind == 1 && !mixed.isEmpty()) {
                const int from = int(rng.bounded(mixed.size()));
                mixed.append(mixed.mid(from, int(rng.bounded(1, 30))));
            } else {
                mixed.append(char(rng.bounded(256)));
            }
        }
        mixed.truncate(size);
        EXPECT_EQ(roundTrip(mixed), mixed) << size;
    }
}

TEST(CompressedRtfBlock, CompressedRtfIsSmaller) {
    const QByteArray rtf = sampleRtf(32768);
    const QByteArray out = compress(rtf);
    EXPECT_EQ(out[0], '\x40');
    EXPECT_LT(out.size(), rtf.size() / 3);
}

TEST(CompressedRtfBlock, CorruptBlocksAreRefused) {
    QByteArray out;
    // A copy reaching before the start of the output: offset 1 with nothing decoded yet.
    EXPECT_EQ(decompress(QByteArray::fromHex("40800000 10"), &out), -1);
    // Offset 4 after 3 literals.
    EXPECT_EQ(decompress(QByteArray::fromHex("4010006162630040"), &out), -1);
    // A copy item cut after its first byte, a run item cut after three.
    EXPECT_EQ(decompress(QByteArray::fromHex("40100061626300"), &out), -1);
    EXPECT_EQ(decompress(QByteArray::fromHex("4080000000"), &out), -1);
    EXPECT_EQ(decompress(QByteArray::fromHex("40800000000078"), &out), 16);
    // A control word cut in half, and a compressed block too short to hold its first control word.
    EXPECT_EQ(decompress(QByteArray::fromHex("40000061626364656667686970717273747576"
                                             "80"),
                         &out),
              -1);
    EXPECT_EQ(decompress(QByteArray::fromHex("4000"), &out), -1);
    // Runs beyond the room: 9 runs of 4,111 bytes exceed 32,768; so does a run past a small buffer.
    QByteArray big = QByteArray::fromHex("40ff80");
    for (int i = 0; i < 9; ++i) {
        big += QByteArray::fromHex("000fff41");
    }
    EXPECT_EQ(decompress(big, &out, kCompressedBlockBuffer), -1);
    EXPECT_EQ(decompress(QByteArray::fromHex("40800000000078"), &out, 15), -1);
    // A stored block longer than the room.
    EXPECT_EQ(decompress(QByteArray("\x80" + QByteArray(40, 'a')), &out, 39), -1);
    EXPECT_EQ(decompress(QByteArray("\x80" + QByteArray(39, 'a')), &out, 39), 39);
    // Empty and one-byte blocks decode to nothing.
    EXPECT_EQ(decompress(QByteArray(), &out), 0);
    EXPECT_EQ(decompress("\x40", &out), 0);
}

TEST(CompressedRtfContainer, WholeDocumentsRoundTrip) {
    const QByteArray rtf = sampleRtf(100000);
    const QByteArray container = compressRtf(rtf);
    EXPECT_TRUE(container.startsWith("CompressRTF "));
    QByteArray back;
    QString error;
    ASSERT_TRUE(decompressRtf(container, &back, &error)) << error.toStdString();
    EXPECT_EQ(back, rtf);
    // An empty document is the signature alone.
    EXPECT_EQ(compressRtf(QByteArray()), QByteArray("CompressRTF "));
    ASSERT_TRUE(decompressRtf("CompressRTF ", &back));
    EXPECT_TRUE(back.isEmpty());
}

// Each fault is told in Korean with the byte where its block starts, and what to do.
TEST(CompressedRtfContainer, BrokenContainersFail) {
    const QByteArray good = compressRtf(sampleRtf(40000));
    const qint64 second = 12 + 4 + qFromLittleEndian<quint32>(good.constData() + 12);  // the last block
    QByteArray back;
    QString error;
    EXPECT_FALSE(decompressRtf("CompressRTF", &back, &error));
    EXPECT_EQ(error, QStringLiteral("압축된 서식 있는 문서가 아닙니다: \"CompressRTF \"로 시작하지 않습니다. 파일 "
                                    "형식을 확인하세요."));
    EXPECT_FALSE(decompressRtf(good.left(good.size() - 1), &back, &error));
    EXPECT_EQ(error, QStringLiteral("압축된 문서가 %1번째 바이트의 블록에서 끊겼습니다. 파일이 잘렸을 수 있습니다. "
                                    "원본 파일이나 백업을 확인하세요.")
                         .arg(second));
    EXPECT_EQ(back.size(), 32768);  // the blocks before the fault
    EXPECT_FALSE(decompressRtf(QByteArray(good + QByteArray("\x01\x00", 2)), &back, &error));
    EXPECT_EQ(error, compressedErrorText(CompressedError::CutShort, good.size()));
    // A declared length above 32,783 is refused before anything is read or allocated.
    EXPECT_FALSE(decompressRtf(QByteArray(QByteArray("CompressRTF \x10\x80\x00\x00", 16) + QByteArray(40000, 'a')),
                               &back, &error));
    EXPECT_EQ(error, QStringLiteral("압축된 문서가 손상되었습니다: 12번째 바이트의 블록 길이가 32784바이트로, "
                                    "32,783바이트를 넘습니다. 원본 파일이나 백업을 확인하세요."));
    EXPECT_FALSE(decompressRtf(QByteArray("CompressRTF \x05\x00\x00\x00\x40\x80\x00\x00\x10", 21), &back, &error));
    EXPECT_EQ(error, QStringLiteral("압축된 문서의 12번째 바이트에 있는 블록이 손상되어 풀 수 없습니다. 원본 파일이나 "
                                    "백업을 확인하세요."));
}

TEST(CompressedRtfSignature, StreamsAndFiles) {
    QByteArray data("xxCompressRTF {\\rtf1}");
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_FALSE(IsCompressedStream(buffer));
    buffer.seek(2);
    EXPECT_TRUE(IsCompressedStream(buffer));
    EXPECT_EQ(buffer.pos(), 2);
    buffer.seek(10);
    EXPECT_FALSE(IsCompressedStream(buffer));  // fewer than 12 bytes left
    EXPECT_EQ(buffer.pos(), 10);

    QTemporaryDir dir;
    const QString path = dir.filePath("body.rtf");
    tk::test::writeFile(path, compressRtf("{\\rtf1 x}"));
    bool opened = false;
    EXPECT_TRUE(IsCompressedFile(path, &opened));
    EXPECT_TRUE(opened);
    // "CompressRTF" followed by anything but a space is an ordinary file.
    tk::test::writeFile(path, "CompressRTF_{\\rtf1 x}");
    EXPECT_FALSE(IsCompressedFile(path));
    tk::test::writeFile(path, QByteArray("CompressRT\0 ", 12));
    EXPECT_FALSE(IsCompressedFile(path));
    QString error;
    EXPECT_FALSE(IsCompressedFile(dir.filePath("missing.crt"), &opened, &error));
    EXPECT_FALSE(opened);
    EXPECT_FALSE(error.isEmpty());
}
