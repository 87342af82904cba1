// Streaming the rich edit window's content in and out through a callback, as RTF or plain text.
#include "platform/codepage.h"
#include "richtext/rich_edit_model.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QStringDecoder>
#include <QTextDocument>

#include <algorithm>

namespace tk::richedit {
namespace {

// Bytes asked of or handed to the callback at a time.
constexpr qint32 kStreamBuffer = 65536;

// Stream errors the window reports in dwError when the callback itself did not fail.
constexpr quint32 kErrorNotRtf = 0x8001;
constexpr quint32 kErrorBadRtf = 0x8002;

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF", 3);
constexpr QByteArrayView kUtf16Bom("\xFF\xFE", 2);

// Reads everything the callback gives, up to the most a read may hold. False when the callback
// failed or there was more; stream.dwError says which.
bool readAll(EditStream& stream, QByteArray* data) {
    // Each piece is read straight into the end of the data (which grows by doubling): documents
    // with pictures are tens of megabytes, and every copy of them counts.
    for (;;) {
        const qsizetype at = data->size();
        data->resize(at + kStreamBuffer);
        qint32 got = 0;
        const quint32 result = stream.callback(data->data() + at, kStreamBuffer, &got);
        got = std::clamp(got, 0, kStreamBuffer);
        data->truncate(at + got);
        if (result != 0) {
            stream.dwError = result;
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (data->size() > rtf::kMaxReadMemory) {
            data->clear();
            stream.dwError = kStreamTooLarge;
            stream.errorText = rtf::tooLargeText();
            return false;
        }
    }
}

// Plain text's byte form, from the stream flags.
enum class TextBytes { Ansi, Utf16, Utf8 };

TextBytes textBytes(int flags) {
    if (flags & SF_UNICODE) {
        return TextBytes::Utf16;
    }
    const int codePage = (static_cast<unsigned>(flags) >> 16) & 0xFFFF;
    return (flags & SF_USECODEPAGE) && codePage == CP_UTF8 ? TextBytes::Utf8 : TextBytes::Ansi;
}

QString decodePlainText(const QByteArray& data, TextBytes form) {
    if (form == TextBytes::Utf8) {
        return QString::fromUtf8(data.startsWith(kUtf8Bom) ? QByteArrayView(data).sliced(3) : QByteArrayView(data));
    }
    if (form == TextBytes::Utf16 || data.startsWith(kUtf16Bom)) {
        const QByteArrayView body = data.startsWith(kUtf16Bom) ? QByteArrayView(data).sliced(2) : QByteArrayView(data);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(body.data()), body.size() / 2);
    }
    if (data.startsWith(kUtf8Bom)) {
        return QString::fromUtf8(QByteArrayView(data).sliced(3));
    }
    // Text that is valid UTF-8 and not plain ASCII is taken as UTF-8: today's programs write it
    // without a byte-order mark, and Korean CP949 text is practically never valid UTF-8.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        return text;
    }
    return codepage::fromAnsi(data);
}

// Plain text as bytes: UTF-16 or UTF-8 (without a byte-order mark) when asked for; else the ANSI
// code page when every character has a form there, otherwise UTF-8 with its byte-order mark, so
// that nothing typed turns into "?".
QByteArray encodePlainText(const QString& text, TextBytes form) {
    if (form == TextBytes::Utf16) {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    if (form == TextBytes::Utf8) {
        return text.toUtf8();
    }
    QByteArray out;
    if (codepage::encode(codepage::kAnsi, text, &out)) {
        return out;
    }
    return kUtf8Bom.toByteArray() + text.toUtf8();
}

QString plainTextForStream(const QString& range) {
    QString text;
    text.reserve(range.size() + range.size() / 32);
    for (const QChar ch : range) {
        if (ch == QLatin1Char('\r')) {
            text += QLatin1String("\r\n");
        } else if (ch != QChar::ObjectReplacementCharacter) {
            text += ch;
        }
    }
    return text;
}

// What plain text costs while it is put in: the bytes read, the text decoded from them and the
// copy whose line breaks become paragraph breaks, the document's own text, and its paragraphs.
qint64 plainTextMemory(const QByteArray& data, const QString& text) {
    const qint64 paragraphs = std::max(text.count(QLatin1Char('\n')), text.count(QLatin1Char('\r'))) + 1;
    return data.size() + text.size() * (4 + rtf::kCharacterMemory) + paragraphs * rtf::kParagraphMemory;
}

}  // namespace

qint64 RichEditModel::streamIn(int flags, EditStream& stream) {
    stream.dwError = 0;
    stream.errorText.clear();
    QByteArray data;
    if (!readAll(stream, &data)) {
        return 0;
    }
    const bool rtf = (flags & SF_RTF) != 0;
    const bool selectionOnly = (flags & SFF_SELECTION) != 0;
    if (rtf && !rtf::looksLikeRtf(data)) {
        stream.dwError = kErrorNotRtf;
        return 0;
    }
    // A document sure to take more than a read may is refused before the document it would
    // replace is touched.
    QString text;
    if (!rtf) {
        text = decodePlainText(data, textBytes(flags));
    }
    if ((rtf ? rtf::leastReadMemory(data) : plainTextMemory(data, text)) > rtf::kMaxReadMemory) {
        stream.dwError = kStreamTooLarge;
        stream.errorText = rtf::tooLargeText();
        return 0;
    }
    if (!selectionOnly) {
        beginBulkLoad();
    }
    QTextCursor c = selectionOnly ? textCursor() : QTextCursor(document_);
    const int before = textLength();
    int start = 0;
    // A document refused part way (it grew past the cap while it was built) is not kept in part.
    auto refuse = [&](const QString& why) {
        stream.dwError = kStreamTooLarge;
        stream.errorText = why;
        if (selectionOnly) {
            c.setPosition(start, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        } else {
            document_->clear();
            c = QTextCursor(document_);
        }
    };
    batch([&] {
        const bool undoWasOn = document_->isUndoRedoEnabled();
        if (!selectionOnly) {
            document_->setUndoRedoEnabled(false);
            document_->clear();
            c = QTextCursor(document_);
        }
        c.beginEditBlock();
        if (c.hasSelection()) {
            c.removeSelectedText();
        }
        start = c.position();
        QString why;
        if (rtf && !plainText_) {
            const rtf::RtfError error = rtf::readRtf(data, c, &why);
            if (error == rtf::RtfError::TooLarge) {
                refuse(why);
            } else if (error != rtf::RtfError::None) {
                stream.dwError = kErrorBadRtf;
            }
        } else if (rtf) {
            // A plain-text window takes only the text of a rich document.
            QTextDocument scratch;
            QTextCursor sc(&scratch);
            const rtf::RtfError error = rtf::readRtf(data, sc, &why);
            if (error == rtf::RtfError::TooLarge) {
                refuse(why);
            } else {
                if (error != rtf::RtfError::None) {
                    stream.dwError = kErrorBadRtf;
                }
                insertPlainText(c, scratch.toPlainText());
            }
        } else {
            insertPlainText(c, text);
        }
        c.endEditBlock();
        if (!selectionOnly) {
            document_->setUndoRedoEnabled(undoWasOn);
            undoSteps_ = redoSteps_ = 0;
            c.setPosition(0);
        }
    });
    if (!selectionOnly) {
        endBulkLoad();
    }
    setTextCursor(c);
    if (!selectionOnly) {
        document_->setModified(false);
    }
    return std::max(0, textLength() - (selectionOnly ? before : 0));
}

qint64 RichEditModel::streamOut(int flags, EditStream& stream) {
    stream.dwError = 0;
    int from = 0;
    int to = -1;
    if (flags & SFF_SELECTION) {
        from = selectionStart();
        to = selectionEnd();
    }
    QByteArray bytes;
    if ((flags & SF_RTF) != 0) {
        bytes = rtf::writeRtf(*document_, from, to);
    } else {
        bytes = encodePlainText(plainTextForStream(textRange(from, to)), textBytes(flags));
    }
    // Each byte is handed over exactly once: the count the callback reports back is not a
    // request to hand any of it over again.
    qint64 done = 0;
    while (done < bytes.size()) {
        const auto n = static_cast<qint32>(std::min<qint64>(kStreamBuffer, bytes.size() - done));
        qint32 taken = 0;
        const quint32 result = stream.callback(bytes.data() + done, n, &taken);
        if (result != 0) {
            stream.dwError = result;
            return done;
        }
        done += n;
    }
    return done;
}

}  // namespace tk::richedit
