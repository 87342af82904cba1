#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>

#include <cstdint>

// Little-endian numbers in stored layouts (zip records, embedded-object streams, packages): read at
// a pointer, appended to a buffer, or read front to back with every read checked against what is
// left.
namespace tk {

inline uint16_t le16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}
inline uint32_t le32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}
inline uint64_t le64(const char* p) {
    return qFromLittleEndian<quint64>(p);
}

template <typename T>
void appendLe(QByteArray& out, T value) {
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    out.append(raw, sizeof(T));
}

// Reads a layout front to back. A read past the end fails, and every read after it fails too, so
// a caller may read a whole record and check ok() once.
class ByteReader {
  public:
    explicit ByteReader(QByteArrayView data) : data_(data) {}
    bool ok() const { return ok_; }
    qsizetype at() const { return at_; }
    qsizetype left() const { return data_.size() - at_; }
    // What is left, without reading it.
    QByteArrayView rest() const { return ok_ ? data_.sliced(at_) : QByteArrayView(); }
    void fail() { ok_ = false; }

    quint16 u16() { return number<quint16>(); }
    quint32 u32() { return number<quint32>(); }
    QByteArrayView bytes(qint64 count) {
        if (!ok_ || count < 0 || count > left()) {
            ok_ = false;
            return {};
        }
        const QByteArrayView out = data_.sliced(at_, qsizetype(count));
        at_ += qsizetype(count);
        return out;
    }

  private:
    template <typename T>
    T number() {
        const QByteArrayView raw = bytes(sizeof(T));
        return ok_ ? qFromLittleEndian<T>(raw.data()) : T(0);
    }

    QByteArrayView data_;
    qsizetype at_ = 0;
    bool ok_ = true;
};

}  // namespace tk
