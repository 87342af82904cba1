#pragma once

#include "richtext/rtf_reader.h"

#include <QByteArrayView>

#include <string_view>

namespace tk::rtf {

// The value of a hexadecimal digit, or -1.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Receives the tokens of an RTF stream in order. Each call returns RtfError::None to go on.
class RtfListener {
  public:
    virtual ~RtfListener() = default;
    virtual RtfError groupStart() = 0;
    virtual RtfError groupEnd() = 0;
    // A control word with its parameter; parameters saturate at the 32-bit range.
    virtual RtfError controlWord(std::string_view word, bool hasParameter, int parameter) = 0;
    // A control symbol other than \' and the escaped characters \\ \{ \}, which arrive as text.
    virtual RtfError controlSymbol(char symbol) = 0;
    virtual RtfError hexByte(unsigned char byte) = 0;
    // Text bytes without the line breaks, which RTF ignores.
    virtual RtfError text(QByteArrayView bytes) = 0;
    // The data of \binN, capped at the input left.
    virtual RtfError binary(QByteArrayView bytes) = 0;
    // True while the listener collects hex digits (pictures and objects). Text is then handed over
    // as the rest of the data, line breaks and all, and hexDigits says how much it took: up to the
    // next backslash or brace, at least one byte. Megabytes of hex digits in lines of a hundred-odd
    // would otherwise be a call for each line and a second pass over each.
    virtual bool takesHexDigits() const { return false; }
    virtual qsizetype hexDigits(QByteArrayView rest) { return rest.isEmpty() ? 0 : 1; }
    // True once reading is over (the document's outermost group has closed, or the listener can
    // take no more); the rest of the input is ignored.
    virtual bool finished() const = 0;
};

// Splits RTF into groups, control words, control symbols and text, and hands them to a listener.
class RtfTokenizer final {
  public:
    explicit RtfTokenizer(QByteArrayView data) : data_(data) {}

    [[nodiscard]] RtfError run(RtfListener& listener);
    // Byte offset of the next token, for error texts and for keeping groups unchanged.
    qsizetype position() const { return at_; }
    QByteArrayView data() const { return data_; }

  private:
    RtfError readControl(RtfListener& listener);
    RtfError readControlWord(RtfListener& listener);

    QByteArrayView data_;
    qsizetype at_ = 0;
};

}  // namespace tk::rtf
