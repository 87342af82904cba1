#include "richedit/conversion.h"

#include "richedit/compressed_rtf.h"
#include "richtext/rtf_reader.h"

#include <QIODevice>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <vector>

namespace tk {

qint64 TConversion::ConvertIn(QIODevice& stream, char* buffer, qint64 size) {
    return stream.read(buffer, size);
}

qint64 TConversion::ConvertOut(QIODevice& stream, const char* buffer, qint64 size) {
    // A short write (a full disk) is a failure, not a count to be ignored.
    return stream.write(buffer, size) == size ? size : -1;
}

TQEConversion::TQEConversion() : decoded_(kCompressedBlockBuffer, '\0') {}

TQEConversion::~TQEConversion() = default;

void TQEConversion::restart() {
    started_ = false;
    decodedLength_ = 0;
    readPosition_ = 0;
    decodedTotal_ = 0;
    errorString_.clear();
}

bool TQEConversion::refuse(CompressedError error, qint64 offset, qint64 length) {
    errorString_ = compressedErrorText(error, offset, length);
    return false;
}

bool TQEConversion::readBlock(QIODevice& stream) {
    const qint64 at = stream.pos();
    std::array<char, 4> lengthBytes{};
    if (stream.read(lengthBytes.data(), 4) != 4) {
        return refuse(CompressedError::CutShort, at);
    }
    const quint32 length = qFromLittleEndian<quint32>(lengthBytes.data());
    if (length > static_cast<quint32>(kCompressedBlockBuffer)) {
        return refuse(CompressedError::BlockTooLong, at, length);
    }
    std::array<unsigned char, kCompressedBlockBuffer> encoded{};
    if (stream.read(reinterpret_cast<char*>(encoded.data()), length) != static_cast<qint64>(length)) {
        return refuse(CompressedError::CutShort, at);
    }
    const int n = DecompressBlock(encoded.data(), static_cast<int>(length),
                                  reinterpret_cast<unsigned char*>(decoded_.data()), kCompressedBlockInput);
    if (n < 0) {
        return refuse(CompressedError::BlockCorrupt, at);
    }
    // A block of a few dozen bytes can decode to 32,768: the whole is held to what a read may take.
    decodedTotal_ += n;
    if (decodedTotal_ > rtf::kMaxReadMemory) {
        return refuse(CompressedError::TooLarge);
    }
    decodedLength_ = n;
    readPosition_ = 0;
    return true;
}

qint64 TQEConversion::ConvertIn(QIODevice& stream, char* buffer, qint64 size) {
    if (!started_) {
        // The container starts where the load started: skip its signature.
        restart();
        started_ = true;
        if (stream.skip(kCompressedSignatureSize) != kCompressedSignatureSize) {
            refuse(CompressedError::NotContainer);
            return -1;
        }
    }
    qint64 delivered = 0;
    while (delivered < size) {
        if (readPosition_ >= decodedLength_) {
            if (stream.atEnd()) {
                break;
            }
            if (!readBlock(stream)) {
                return -1;
            }
            continue;  // an empty block decodes to nothing; go on to the next one
        }
        const qint64 n = std::min<qint64>(size - delivered, decodedLength_ - readPosition_);
        std::copy_n(decoded_.constData() + readPosition_, n, buffer + delivered);
        readPosition_ += static_cast<int>(n);
        delivered += n;
    }
    return delivered;
}

bool TQEConversion::writeSignatureOnce(QIODevice& stream) {
    if (signatureWritten_) {
        return true;
    }
    signatureWritten_ = true;
    return stream.write(kCompressedSignature, kCompressedSignatureSize) == kCompressedSignatureSize;
}

qint64 TQEConversion::ConvertOut(QIODevice& stream, const char* buffer, qint64 size) {
    if (!writeSignatureOnce(stream)) {
        return -1;
    }
    std::vector<unsigned char> output(kCompressedBlockBuffer);
    for (qint64 done = 0; done < size; done += kCompressedBlockInput) {
        const int n = static_cast<int>(std::min<qint64>(kCompressedBlockInput, size - done));
        std::fill(output.begin(), output.end(), 0);
        const int length = CompressBlock(reinterpret_cast<const unsigned char*>(buffer + done), n, output.data());
        std::array<char, 4> lengthBytes{};
        qToLittleEndian<quint32>(static_cast<quint32>(length), lengthBytes.data());
        if (stream.write(lengthBytes.data(), 4) != 4 ||
            stream.write(reinterpret_cast<const char*>(output.data()), length) != length) {
            return -1;
        }
    }
    return 0;
}

bool TQEConversion::finish(QIODevice& stream) {
    return writeSignatureOnce(stream);
}

// ---- format list ----

namespace {

std::vector<ConversionFormat>& formats() {
    static std::vector<ConversionFormat> list = {
        {QStringLiteral("txt"), [] { return std::make_unique<TConversion>(); }, true},
        {QStringLiteral("rtf"), [] { return std::make_unique<TConversion>(); }, false},
        {QStringLiteral("crt"), [] { return std::make_unique<TQEConversion>(); }, false},
    };
    return list;
}

}  // namespace

const ConversionFormat* FindConversionFormat(const QString& extension) {
    for (const ConversionFormat& format : formats()) {
        if (format.extension == extension) {
            return &format;
        }
    }
    return nullptr;
}

void RegisterConversionFormat(const QString& extension, ConversionFactory conversion, bool plainText) {
    formats().insert(formats().begin(), ConversionFormat{extension.toLower(), std::move(conversion), plainText});
}

}  // namespace tk
