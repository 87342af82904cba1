#pragma once

#include "richedit/compressed_rtf.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace tk {

// Moves bytes between the rich text control and a stream. The plain conversion passes them
// through. Both operations return the count of bytes delivered or taken, or -1 on a failure.
class TConversion {
  public:
    TConversion() = default;
    virtual ~TConversion() = default;
    TConversion(const TConversion&) = delete;
    TConversion& operator=(const TConversion&) = delete;

    // Reads up to size bytes into buffer.
    virtual qint64 ConvertIn(QIODevice& stream, char* buffer, qint64 size);
    // Writes the size bytes of buffer.
    virtual qint64 ConvertOut(QIODevice& stream, const char* buffer, qint64 size);

    // Called before every pass over a stream (a load and its retry start afresh).
    virtual void restart() {}
    // Why the last ConvertIn failed, in words for the user; empty when the stream itself failed.
    virtual QString errorString() const { return {}; }
    // Called after the last ConvertOut of a save.
    [[nodiscard]] virtual bool finish(QIODevice& stream) { return true; }
};

// The compressed rich text container: decodes on the way in and encodes on the way out.
class TQEConversion final : public TConversion {
  public:
    TQEConversion();
    ~TQEConversion() override;

    // Delivers decoded bytes; -1 when the container is corrupt, cut short inside a block, or would
    // decode to more than a read may hold (rtf::kMaxReadMemory). errorString() then says which.
    qint64 ConvertIn(QIODevice& stream, char* buffer, qint64 size) override;
    // Encodes and writes the bytes, in blocks of at most 32,768 bytes. Returns 0, as the control
    // expects of this conversion (it never hands the same bytes over again), or -1 on a failure.
    qint64 ConvertOut(QIODevice& stream, const char* buffer, qint64 size) override;
    void restart() override;
    QString errorString() const override { return errorString_; }
    // Writes the signature when no bytes were written at all, so that an empty document is still
    // a container.
    [[nodiscard]] bool finish(QIODevice& stream) override;

  private:
    [[nodiscard]] bool readBlock(QIODevice& stream);
    [[nodiscard]] bool writeSignatureOnce(QIODevice& stream);
    bool refuse(CompressedError error, qint64 offset = 0, qint64 length = 0);

    QByteArray decoded_;  // the current block's decoded bytes
    int decodedLength_ = 0;
    int readPosition_ = 0;
    qint64 decodedTotal_ = 0;  // bytes decoded since the start of the container
    QString errorString_;
    bool started_ = false;
    bool signatureWritten_ = false;
};

using ConversionFactory = std::function<std::unique_ptr<TConversion>()>;

// The format list: extension (lower case, no dot) to conversion and plain-text flag.
struct ConversionFormat {
    QString extension;
    ConversionFactory conversion;
    bool plainText = false;
};

// Finds the format of an extension; nullptr when there is none.
const ConversionFormat* FindConversionFormat(const QString& extension);
// Adds a format ahead of those already known.
void RegisterConversionFormat(const QString& extension, ConversionFactory conversion, bool plainText);

}  // namespace tk
