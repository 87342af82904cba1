#include "richtext/rtf_tokenizer.h"

#include <climits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tk::rtf {

namespace {

inline bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes that end a run of text.
inline bool isSpecial(char c) {
    return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n';
}

// The end of the run of text from at: the first byte that ends it, or size. Pictures and objects
// are megabytes of hex digits, so sixteen bytes are looked at a time where the processor can.
qsizetype textRunEnd(const char* begin, qsizetype at, qsizetype size) {
#ifdef __SSE2__
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (size - at >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + at));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, open)),
            _mm_or_si128(_mm_cmpeq_epi8(v, close), _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (const int mask = _mm_movemask_epi8(special); mask != 0) {
            return at + __builtin_ctz(unsigned(mask));
        }
        at += 16;
    }
#endif
    while (at < size && !isSpecial(begin[at])) {
        ++at;
    }
    return at;
}

}  // namespace

RtfError RtfTokenizer::run(RtfListener& listener) {
    const char* const begin = data_.data();
    const qsizetype size = data_.size();
    while (at_ < size && !listener.finished()) {
        const char c = begin[at_];
        RtfError error = RtfError::None;
        if (c == '{') {
            ++at_;
            error = listener.groupStart();
        } else if (c == '}') {
            ++at_;
            error = listener.groupEnd();
        } else if (c == '\\') {
            error = readControl(listener);
        } else if (c == '\r' || c == '\n') {
            ++at_;
        } else if (listener.takesHexDigits()) {
            at_ += std::max<qsizetype>(1, listener.hexDigits(data_.sliced(at_)));
        } else {
            const qsizetype start = at_;
            at_ = textRunEnd(begin, at_, size);
            error = listener.text(data_.sliced(start, at_ - start));
        }
        if (error != RtfError::None) {
            return error;
        }
    }
    return RtfError::None;
}

RtfError RtfTokenizer::readControl(RtfListener& listener) {
    const char* const begin = data_.data();
    const qsizetype size = data_.size();
    ++at_;  // the backslash
    if (at_ >= size) {
        return RtfError::None;
    }
    const char c = begin[at_];
    if (isLetter(c)) {
        return readControlWord(listener);
    }
    ++at_;
    switch (c) {
        case '\\':
        case '{':
        case '}':
            return listener.text(data_.sliced(at_ - 1, 1));
        case '\'': {
            const int high = at_ < size ? hexValue(begin[at_]) : -1;
            const int low = at_ + 1 < size ? hexValue(begin[at_ + 1]) : -1;
            if (high < 0 || low < 0) {
                return RtfError::None;  // a broken escape is dropped, the text after it kept
            }
            at_ += 2;
            return listener.hexByte(static_cast<unsigned char>(high * 16 + low));
        }
        case '\r':
        case '\n':
            return listener.controlWord("par", false, 0);
        default:
            return listener.controlSymbol(c);
    }
}

RtfError RtfTokenizer::readControlWord(RtfListener& listener) {
    const char* const begin = data_.data();
    const qsizetype size = data_.size();
    const qsizetype start = at_;
    while (at_ < size && isLetter(begin[at_])) {
        ++at_;
    }
    const std::string_view word(begin + start, size_t(at_ - start));
    bool negative = false;
    if (at_ + 1 < size && begin[at_] == '-' && isDigit(begin[at_ + 1])) {
        negative = true;
        ++at_;
    }
    bool hasParameter = false;
    long long value = 0;
    while (at_ < size && isDigit(begin[at_])) {
        hasParameter = true;
        if (value <= INT_MAX) {
            value = value * 10 + (begin[at_] - '0');
        }
        ++at_;
    }
    if (negative) {
        value = -value;
    }
    const int parameter = int(std::clamp<long long>(value, -INT_MAX, INT_MAX));
    if (at_ < size && begin[at_] == ' ') {
        ++at_;
    }
    if (word == "bin") {
        // Binary data follows; never trust its declared length beyond the input left.
        const qsizetype length = std::min<qsizetype>(hasParameter && parameter > 0 ? parameter : 0, size - at_);
        const QByteArrayView bytes = data_.sliced(at_, length);
        at_ += length;
        return listener.binary(bytes);
    }
    return listener.controlWord(word, hasParameter, parameter);
}

}  // namespace tk::rtf
