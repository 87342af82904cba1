#include "platform/codepage.h"

#include <iconv.h>
#include <unicode/ucnv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

// The few code pages glibc's iconv has no converter for (Mac Greek and Turkish) are read through
// ICU, by their ICU names.
class IcuConverter final {
  public:
    explicit IcuConverter(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        cnv_ = ucnv_open(name, &status);
        if (U_FAILURE(status)) {
            cnv_ = nullptr;
        }
    }
    ~IcuConverter() {
        if (cnv_) {
            ucnv_close(cnv_);
        }
    }
    IcuConverter(const IcuConverter&) = delete;
    IcuConverter& operator=(const IcuConverter&) = delete;

    bool valid() const { return cnv_ != nullptr; }

    QString decode(QByteArrayView bytes) const {
        ucnv_reset(cnv_);
        QString result(bytes.size() * 2 + 1, Qt::Uninitialized);
        UErrorCode status = U_ZERO_ERROR;
        const int32_t n = ucnv_toUChars(cnv_, reinterpret_cast<UChar*>(result.data()), int32_t(result.size()),
                                        bytes.data(), int32_t(bytes.size()), &status);
        if (U_FAILURE(status)) {
            return QString(bytes.size(), QChar::ReplacementCharacter);
        }
        result.truncate(n);
        return result;
    }

  private:
    UConverter* cnv_ = nullptr;
};

const IcuConverter& icuConverter(const char* charset) {
    thread_local std::map<std::string, std::unique_ptr<IcuConverter>> cache;
    auto& slot = cache[charset];
    if (!slot) {
        slot = std::make_unique<IcuConverter>(charset);
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

// CP949 decoding through a table taken once from iconv: the program decodes thousands of short
// comments and whole documents in this code page, and iconv's per-call cost dominates those.
class Cp949Table final {
  public:
    static const Cp949Table& instance() {
        static const Cp949Table table;
        return table;
    }

    bool valid() const { return valid_; }

    // The character of a lead and trail byte, or 0 when the pair is not a character.
    char16_t pair(unsigned char lead, unsigned char trail) const {
        if (lead < kFirstLead || lead > kLastLead || trail < kFirstTrail || trail > kLastTrail) {
            return 0;
        }
        return pairs_[(lead - kFirstLead) * kTrails + (trail - kFirstTrail)];
    }

  private:
    static constexpr int kFirstLead = 0x81, kLastLead = 0xFE, kFirstTrail = 0x41, kLastTrail = 0xFE;
    static constexpr int kTrails = kLastTrail - kFirstTrail + 1;

    Cp949Table() : pairs_((kLastLead - kFirstLead + 1) * kTrails, 0) {
        iconv_t cd = iconv_open(kUtf16, kAnsi);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return;
        }
        for (int lead = kFirstLead; lead <= kLastLead; ++lead) {
            if (!convertRow(cd, lead)) {
                convertRowPairByPair(cd, lead);
            }
        }
        iconv_close(cd);
        valid_ = true;
    }

    char16_t* row(int lead) { return pairs_.data() + (lead - kFirstLead) * kTrails; }

    // Converts all pairs of one lead byte in as few calls as possible. A pair that is no character
    // stops the call; it is skipped and the rest converted. False when iconv's output cannot be
    // matched to the pairs one to one.
    bool convertRow(iconv_t cd, int lead) {
        char in[2 * kTrails];
        for (int t = 0; t < kTrails; ++t) {
            in[2 * t] = static_cast<char>(lead);
            in[2 * t + 1] = static_cast<char>(kFirstTrail + t);
        }
        char16_t out[kTrails];
        int pair = 0;
        while (pair < kTrails) {
            char* inPtr = in + 2 * pair;
            size_t inLeft = 2 * (kTrails - pair);
            char* outPtr = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
            const size_t consumed = (inPtr - (in + 2 * pair));
            const size_t produced = (sizeof out - outLeft) / 2;
            if (consumed % 2 != 0 || produced != consumed / 2 || (!done && errno != EILSEQ)) {
                return false;
            }
            std::memcpy(row(lead) + pair, out, produced * 2);
            pair += static_cast<int>(produced) + (done ? 0 : 1);  // skip the pair that is no character
        }
        return true;
    }

    void convertRowPairByPair(iconv_t cd, int lead) {
        for (int t = 0; t < kTrails; ++t) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(kFirstTrail + t)};
            char16_t out[2] = {0, 0};
            char* inPtr = in;
            size_t inLeft = 2;
            char* outPtr = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            // A pair counts only when it is one character on its own.
            const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
            row(lead)[t] = ok && inLeft == 0 && outLeft == sizeof out - 2 ? out[0] : 0;
        }
    }

    std::vector<char16_t> pairs_;
    bool valid_ = false;
};

// Bytes 0x80 and 0xFF and every lead byte without a valid trail are not characters of CP949.
QString decodeCp949(QByteArrayView bytes, const Cp949Table& table) {
    QString result(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    qsizetype n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[n++] = b;
            continue;
        }
        const char16_t c = i + 1 < size ? table.pair(b, p[i + 1]) : 0;
        if (c != 0) {
            out[n++] = c;
            ++i;
        } else {
            out[n++] = QChar::ReplacementCharacter;
        }
    }
    result.truncate(n);
    return result;
}

}  // namespace

QString decode(const char* charset, QByteArrayView bytes) {
    if (isAscii(bytes)) {
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    if (std::strcmp(charset, kAnsi) == 0) {
        const Cp949Table& table = Cp949Table::instance();
        if (table.valid()) {
            return decodeCp949(bytes, table);
        }
    }
    const Converter& conv = converter(charset, true);
    if (!conv.valid()) {
        const IcuConverter& icu = icuConverter(charset);
        return icu.valid() ? icu.decode(bytes) : QString(bytes.size(), QChar::ReplacementCharacter);
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
    // Converters that combine characters (Hebrew and Vietnamese) hold the last one back until they
    // are flushed.
    if (outLeft >= 2) {
        iconv(conv.handle(), nullptr, nullptr, &out, &outLeft);
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

const char* codePageCharset(int codePage) {
    // Code pages whose converter is not named CPnnn, and the Mac code pages: glibc has Mac Roman,
    // Icelandic, Central European, Cyrillic and Ukrainian; ICU has Greek and Turkish. The Mac
    // code pages of East Asia are their Windows supersets; Mac Arabic, Hebrew and Thai, which no
    // converter here has, are read as the ISO code pages their letters keep the places of.
    static const std::pair<int, const char*> names[] = {
        {10000, "MACINTOSH"},  {10001, "CP932"},         {10002, "CP950"},       {10003, "CP949"},
        {10004, "ISO-8859-6"}, {10005, "ISO-8859-8"},    {10006, "x-mac-greek"}, {10007, "MAC-CYRILLIC"},
        {10008, "CP936"},      {10017, "MACUKRAINIAN"},  {10021, "TIS-620"},     {10029, "MAC-CENTRALEUROPE"},
        {10079, "MAC-IS"},     {10081, "x-mac-turkish"}, {1361, "JOHAB"},        {20127, "ASCII"},
        {20866, "KOI8-R"},     {21866, "KOI8-U"},        {20932, "EUC-JP"},      {51932, "EUC-JP"},
        {51936, "EUC-CN"},     {51949, "EUC-KR"},        {54936, "GB18030"},     {65001, "UTF-8"},
        {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},    {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
        {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"},    {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
        {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"},   {28605, "ISO-8859-15"}};
    for (const auto& [number, name] : names) {
        if (number == codePage) {
            return name;
        }
    }
    if (codePage <= 0 || codePage >= 100000) {
        return nullptr;
    }
    // Windows and DOS code pages by number, when there is a converter for them.
    thread_local std::map<int, std::string> numbered;
    auto it = numbered.find(codePage);
    if (it == numbered.end()) {
        std::string name = "CP" + std::to_string(codePage);
        it = numbered.emplace(codePage, converter(name.c_str(), true).valid() ? name : std::string()).first;
    }
    return it->second.empty() ? nullptr : it->second.c_str();
}

int charsetToCodePage(int charset) {
    static const std::pair<int, int> pages[] = {
        {0, 1252},   {77, 10000}, {78, 10001}, {79, 10003}, {80, 10008}, {81, 10002}, {82, 1361},  {83, 10005},
        {84, 10004}, {85, 10006}, {86, 10081}, {87, 10021}, {88, 10029}, {89, 10007}, {128, 932},  {129, 949},
        {130, 1361}, {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256},
        {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 437}};
    for (const auto& [number, page] : pages) {
        if (number == charset) {
            return page;
        }
    }
    return 0;
}

const char* charsetCodePage(int charset) {
    const int page = charsetToCodePage(charset);
    return page > 0 ? codePageCharset(page) : nullptr;
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
