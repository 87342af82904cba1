#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace tk::codepage {
namespace {

constexpr const char* kUtf16 = "UTF-16LE";
constexpr QByteArrayView kBom("\xEF\xBB\xBF", 3);

// One converter per direction and character set, opened once per thread: iconv_open costs far
// more than converting a short comment.
class Converter final {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return cd_; }
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

  private:
    iconv_t cd_;
};

const Converter& converter(const char* charset, bool toUnicode) {
    thread_local std::map<std::string, std::unique_ptr<Converter>> cache[2];
    auto& slot = cache[toUnicode ? 1 : 0][charset];
    if (!slot) {
        slot = toUnicode ? std::make_unique<Converter>(kUtf16, charset) : std::make_unique<Converter>(charset, kUtf16);
    }
    return *slot;
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isAscii(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

QString decode(const char* charset, QByteArrayView bytes) {
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    const Converter& conv = converter(charset, true);
    if (!conv.valid()) {
        return QString(bytes.size(), QChar::ReplacementCharacter);
    }
    conv.reset();
    QString result(bytes.size(), Qt::Uninitialized);  // never more UTF-16 units than bytes
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = reinterpret_cast<char*>(result.data());
    size_t outLeft = result.size() * 2;
    while (inLeft > 0) {
        if (iconv(conv.handle(), &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG || outLeft < 2) {
            break;  // cannot happen with one unit per byte, but never write past the buffer
        }
        // EILSEQ or EINVAL: mark the byte and carry on after it.
        const char16_t replacement = QChar::ReplacementCharacter;
        std::memcpy(out, &replacement, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        conv.reset();
    }
    result.truncate(result.size() - static_cast<qsizetype>(outLeft / 2));
    return result;
}

bool encode(const char* charset, QStringView text, QByteArray* out) {
    out->clear();
    if (isAscii(text)) {
        *out = text.toLatin1();
        return true;
    }
    const Converter& conv = converter(charset, false);
    if (!conv.valid()) {
        return false;
    }
    conv.reset();
    out->resize(text.size() * 4 + 8);
    char* in = reinterpret_cast<char*>(const_cast<QChar*>(text.data()));
    size_t inLeft = text.size() * 2;
    char* dst = out->data();
    size_t dstLeft = out->size();
    const size_t rc = iconv(conv.handle(), &in, &inLeft, &dst, &dstLeft);
    bool ok = rc != static_cast<size_t>(-1);
    if (ok) {
        ok = iconv(conv.handle(), nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);  // flush shift state
    }
    out->truncate(out->size() - static_cast<qsizetype>(dstLeft));
    // glibc counts irreversible conversions in rc; a substituted character is not a faithful form.
    return ok && rc == 0;
}

bool canEncode(const char* charset, QStringView text) {
    QByteArray scratch;
    return encode(charset, text, &scratch);
}

QByteArray toAnsiBestEffort(QStringView text) {
    QByteArray out;
    if (encode(kAnsi, text, &out)) {
        return out;
    }
    out.clear();
    QByteArray piece;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QStringView one = text.mid(i, len);
        if (encode(kAnsi, one, &piece)) {
            out += piece;
        } else {
            out += one.toUtf8();
        }
        i += len;
    }
    return out;
}

QByteArray encodeComment(QStringView text) {
    QByteArray out;
    if (encode(kAnsi, text, &out)) {
        return out;
    }
    return kBom.toByteArray() + text.toUtf8();
}

QString decodeComment(QByteArrayView bytes) {
    if (bytes.startsWith(kBom)) {
        return QString::fromUtf8(bytes.sliced(kBom.size()));
    }
    return fromAnsi(bytes);
}

}  // namespace tk::codepage
