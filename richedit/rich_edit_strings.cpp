#include "richedit/rich_edit_strings.h"

#include "richedit/compressed_rtf.h"
#include "richtext/rich_edit_model.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace tk {

using namespace tk::richedit;

namespace {

constexpr int kMaxLineChars = 4096;

const QString kLoadFailed = QStringLiteral("Failed to Load Stream");
const QString kSaveFailed = QStringLiteral("Failed to Save Stream");

// The read side of a load: asks the conversion for half of the window's buffer, so that the
// line-break normalisation, which at most doubles the bytes, always fits.
class ReadCallback final {
  public:
    ReadCallback(TConversion& conversion, QIODevice& stream, bool normalizeBreaks)
        : conversion_(conversion), stream_(stream), normalize_(normalizeBreaks) {}

    quint32 operator()(char* buffer, qint32 cb, qint32* filled) {
        *filled = 0;
        if (!normalize_) {
            // Taken as they are: read straight into the control's buffer.
            const qint64 n = conversion_.ConvertIn(stream_, buffer, cb);
            if (n < 0) {
                return 1;
            }
            *filled = static_cast<qint32>(n);
            return 0;
        }
        // One byte less when a CR is carried over, so that it fits too.
        const qint64 half = cb / 2 - (carriedCr_ ? 1 : 0);
        std::vector<char> work(static_cast<size_t>(half) + 1);
        const qint64 n = conversion_.ConvertIn(stream_, work.data(), half);
        if (n < 0) {
            return 1;
        }
        *filled = normalize(work.data(), n, buffer);
        return 0;
    }

  private:
    // LF, CR LF and a lone CR all become CR LF. A CR at the end of a piece is held back until the
    // next piece shows whether an LF follows it, and given out at the end of the data.
    qint32 normalize(const char* in, qint64 n, char* out) {
        qint32 filled = 0;
        if (n == 0) {
            if (carriedCr_) {
                carriedCr_ = false;
                out[filled++] = '\r';
                out[filled++] = '\n';
            }
            return filled;
        }
        qint64 i = 0;
        if (carriedCr_) {
            carriedCr_ = false;
            out[filled++] = '\r';
            out[filled++] = '\n';
            if (in[0] == '\n') {
                i = 1;
            }
        }
        for (; i < n; ++i) {
            const char ch = in[i];
            if (ch == '\r') {
                if (i + 1 == n) {
                    carriedCr_ = true;
                    break;
                }
                out[filled++] = '\r';
                out[filled++] = '\n';
                if (in[i + 1] == '\n') {
                    ++i;
                }
            } else if (ch == '\n') {
                out[filled++] = '\r';
                out[filled++] = '\n';
            } else {
                out[filled++] = ch;
            }
        }
        // A piece that was only a held-back CR must not read as the end of the data.
        if (filled == 0 && carriedCr_) {
            carriedCr_ = false;
            out[filled++] = '\r';
            out[filled++] = '\n';
        }
        return filled;
    }

    TConversion& conversion_;
    QIODevice& stream_;
    bool normalize_;
    bool carriedCr_ = false;
};

}  // namespace

TRichEditStrings::TRichEditStrings(RichLinesHost& host) : host_(host) {}

TRichEditStrings::~TRichEditStrings() = default;

// ---- lines ----

int TRichEditStrings::LineCount() const {
    RichEditModel& model = host_.editModel();
    int count = model.lineCount();
    const int lastStart = model.lineIndex(count - 1);
    if (lastStart >= 0 && model.lineLength(lastStart) == 0) {
        --count;
    }
    return count;
}

QString TRichEditStrings::GetLine(int index) const {
    RichEditModel& model = host_.editModel();
    if (index < 0 || model.lineIndex(index) < 0) {
        return {};
    }
    QString text = model.line(index).left(kMaxLineChars);
    if (text.endsWith(QLatin1String("\r\n"))) {
        text.chop(2);
    } else if (text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
    return text;
}

void TRichEditStrings::replaceRange(int start, int end, const QString& text) {
    RichEditModel& model = host_.editModel();
    model.setSelection(start, end);
    host_.setLinesUpdating(true);
    (void)model.replaceSelection(text, false);  // a refused protected edit leaves the line as it was
    host_.setLinesUpdating(false);
}

void TRichEditStrings::SetLine(int index, const QString& text) {
    if (index < 0) {
        return;
    }
    RichEditModel& model = host_.editModel();
    const int start = model.lineIndex(index);
    if (start < 0) {
        return;
    }
    replaceRange(start, start + model.lineLength(start), text);
}

void TRichEditStrings::InsertLine(int index, const QString& text) {
    if (index < 0) {
        return;
    }
    RichEditModel& model = host_.editModel();
    int start = model.lineIndex(index);
    if (start >= 0) {
        replaceRange(start, start, text + QLatin1Char('\r'));
        return;
    }
    start = model.lineIndex(index - 1);
    if (start < 0) {
        return;
    }
    const int length = model.lineLength(start);
    if (length == 0) {
        return;
    }
    replaceRange(start + length, start + length, QLatin1Char('\r') + text);
}

void TRichEditStrings::DeleteLine(int index) {
    if (index < 0) {
        return;
    }
    RichEditModel& model = host_.editModel();
    const int start = model.lineIndex(index);
    if (start < 0) {
        return;
    }
    int end = model.lineIndex(index + 1);
    if (end < 0) {
        end = start + model.lineLength(start);
    }
    replaceRange(start, end, QString());
}

void TRichEditStrings::Clear() {
    host_.Clear();
}

void TRichEditStrings::SetUpdating(bool updating) {
    host_.setRedraw(!updating);
}

void TRichEditStrings::BeginUpdate() {
    if (updateDepth_++ == 0) {
        SetUpdating(true);
    }
}

void TRichEditStrings::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        SetUpdating(false);
    }
}

QStringList TRichEditStrings::ToStringList() const {
    QStringList lines;
    const int count = LineCount();
    for (int i = 0; i < count; ++i) {
        lines.append(GetLine(i));
    }
    return lines;
}

// Read from the text itself rather than line by line, so that no line is cut to the line buffer.
QString TRichEditStrings::Text() const {
    QString text = host_.editModel().text();
    text.replace(QChar(0x0B), QLatin1Char('\r'));
    text.replace(QLatin1Char('\r'), QLatin1String("\r\n"));
    if (!text.isEmpty() && !text.endsWith(QLatin1String("\r\n"))) {
        text += QLatin1String("\r\n");
    }
    return text;
}

void TRichEditStrings::SetText(const QString& text) {
    RichEditModel& model = host_.editModel();
    const quint32 mask = model.eventMask();
    model.setEventMask(mask & ~ENM_CHANGE);
    BeginUpdate();
    Clear();
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normalized.isEmpty() ? QStringList() : normalized.split(QLatin1Char('\n'));
    if (normalized.endsWith(QLatin1Char('\n'))) {
        lines.removeLast();
    }
    // Adding the lines one by one after the clear gives each one a CR after it; inserting them all
    // at once gives the same text without a pass over the document per line.
    if (!lines.isEmpty()) {
        replaceRange(0, 0, lines.join(QLatin1Char('\r')) + QLatin1Char('\r'));
    }
    EndUpdate();
    model.setEventMask(mask);
}

void TRichEditStrings::AddLines(const QStringList& lines) {
    std::function<void(QObject*)>* event = host_.selectionChangeEvent();
    std::function<void(QObject*)> saved = std::move(*event);
    *event = nullptr;
    BeginUpdate();
    for (const QString& line : lines) {
        Add(line);
    }
    EndUpdate();
    *event = std::move(saved);
}

// ---- streaming ----

bool TRichEditStrings::rtfFormat() const {
    switch (streamFormat_) {
        case TRichStreamFormat::sfRichText:
            return true;
        case TRichStreamFormat::sfPlainText:
            return false;
        default:
            return !host_.PlainText();
    }
}

int TRichEditStrings::loadFlags() const {
    int flags = 0;
    if (rtfFormat()) {
        flags = SF_RTF | (streamMode_.testFlag(TRichStreamMode::smPlainRtf) ? SFF_PLAINRTF : 0);
    } else {
        flags = SF_TEXT | (streamMode_.testFlag(TRichStreamMode::smUnicode) ? SF_UNICODE : 0);
    }
    if (streamMode_.testFlag(TRichStreamMode::smSelection)) {
        flags |= SFF_SELECTION;
    }
    return flags;
}

int TRichEditStrings::saveFlags() const {
    int flags = 0;
    if (rtfFormat()) {
        flags = streamMode_.testFlag(TRichStreamMode::smNoObjects) ? SF_RTFNOOBJS : SF_RTF;
        flags |= streamMode_.testFlag(TRichStreamMode::smPlainRtf) ? SFF_PLAINRTF : 0;
    } else if (streamMode_.testFlag(TRichStreamMode::smUnicode)) {
        flags = SF_TEXT | SF_UNICODE;
    } else {
        flags = SF_TEXT | (textEncoding_ == TTextEncoding::teUtf8 ? SF_USECODEPAGE | (CP_UTF8 << 16) : 0);
    }
    if (streamMode_.testFlag(TRichStreamMode::smSelection)) {
        flags |= SFF_SELECTION;
    }
    return flags;
}

bool TRichEditStrings::LoadStream(QIODevice& stream) {
    conversion_.reset();
    std::unique_ptr<TConversion> temporary;
    TConversion* conversion = nullptr;
    if (IsCompressedStream(stream)) {
        conversion_ = FindConversionFormat(QStringLiteral("crt"))->conversion();
        conversion = conversion_.get();
    } else {
        temporary = host_.makeDefaultConversion();
        conversion = temporary.get();
    }
    RichEditModel& model = host_.editModel();
    const qint64 start = stream.pos();
    const int flags = loadFlags();
    loadRefusal_.clear();
    auto attempt = [&](int attemptFlags) {
        conversion->restart();
        // Only plain text has its line breaks normalised: RTF ignores them, and the bytes of a
        // UTF-16 text are not lines.
        const bool normalize = !(attemptFlags & SF_RTF) && !(attemptFlags & SF_UNICODE);
        EditStream es;
        es.callback = ReadCallback(*conversion, stream, normalize);
        model.streamIn(attemptFlags, es);
        if (!es.errorText.isEmpty()) {
            // A document refused for what it holds (too large, broken RTF) is not read again in the
            // other format: that would show its markup as text.
            loadRefusal_ = es.errorText;
        } else if (es.dwError != 0) {
            loadRefusal_ = conversion->errorString();
        }
        return es.dwError == 0;
    };
    if (!attempt(flags) &&
        (!loadRefusal_.isEmpty() || !stream.seek(start) || !attempt((flags & SF_RTF) ? SF_TEXT : SF_RTF))) {
        errorString_ = loadRefusal_.isEmpty() ? kLoadFailed : loadRefusal_;
        return false;
    }
    host_.SetSelectionRange(0, 0, true);
    return true;
}

bool TRichEditStrings::SaveStream(QIODevice& stream) {
    conversion_.reset();
    std::unique_ptr<TConversion> temporary;
    TConversion* conversion = nullptr;
    if (host_.Compress()) {
        conversion_ = FindConversionFormat(QStringLiteral("crt"))->conversion();
        conversion = conversion_.get();
    } else {
        temporary = host_.makeDefaultConversion();
        conversion = temporary.get();
    }
    EditStream es;
    es.callback = [conversion, &stream](char* buffer, qint32 cb, qint32* transferred) -> quint32 {
        const qint64 n = conversion->ConvertOut(stream, buffer, cb);
        *transferred = static_cast<qint32>(std::max<qint64>(0, n));
        return n < 0 ? 2 : 0;
    };
    host_.editModel().streamOut(saveFlags(), es);
    if (es.dwError != 0 || !conversion->finish(stream)) {
        errorString_ = kSaveFailed;
        return false;
    }
    return true;
}

// The file's extension chooses plain text or RTF when the format list knows it.
bool TRichEditStrings::formatFromExtension(const QString& fileName) {
    QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext.isEmpty()) {
        ext = QStringLiteral("rtf");
    }
    const ConversionFormat* format = FindConversionFormat(ext);
    if (format == nullptr) {
        return false;
    }
    streamFormat_ = format->plainText ? TRichStreamFormat::sfPlainText : TRichStreamFormat::sfRichText;
    return true;
}

bool TRichEditStrings::LoadFile(const QString& fileName) {
    conversion_.reset();
    loadRefusal_.clear();
    bool opened = false;
    QString why;
    const bool compressed = IsCompressedFile(fileName, &opened, &why);
    if (!opened) {
        errorString_ = why;
        return false;
    }
    const TRichStreamFormat previous = streamFormat_;
    if (compressed) {
        host_.SetCompress(true);
        streamFormat_ = TRichStreamFormat::sfRichText;
    } else {
        host_.SetCompress(false);
        formatFromExtension(fileName);
    }
    QFile file(fileName);
    bool ok = file.open(QIODevice::ReadOnly);
    if (!ok) {
        errorString_ = file.errorString();
    } else {
        ok = LoadStream(file);
    }
    streamFormat_ = previous;
    if (!ok) {
        conversion_.reset();
    }
    return ok;
}

bool TRichEditStrings::SaveFile(const QString& fileName) {
    conversion_.reset();
    const TRichStreamFormat previous = streamFormat_;
    if (host_.Compress()) {
        streamFormat_ = TRichStreamFormat::sfRichText;
    } else {
        formatFromExtension(fileName);
    }
    // The old file stays whole until the new one is complete.
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok) {
        errorString_ = file.errorString();
    } else if (!SaveStream(file)) {
        file.cancelWriting();
        ok = false;
    } else if (!file.commit()) {
        errorString_ = file.errorString();
        ok = false;
    }
    streamFormat_ = previous;
    if (!ok) {
        conversion_.reset();
    }
    return ok;
}

}  // namespace tk
