#include "platform/registry_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tk {
namespace {

constexpr QLatin1String kHeader("Windows Registry Editor Version 5.00");
constexpr QLatin1String kDword("dword:");

// Line breaks are written as \n and \r so that every value stays on its line and reads back exactly.
QString quoted(const QString& text) {
    QString out = text;
    out.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    out.replace(u'\n', QLatin1String("\\n")).replace(u'\r', QLatin1String("\\r"));
    return u'"' + out + u'"';
}

// Reads a quoted string starting at pos (on the opening quote); pos ends after the closing quote.
bool readQuoted(QStringView line, qsizetype& pos, QString* out) {
    if (pos >= line.size() || line[pos] != u'"') {
        return false;
    }
    out->clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\') {
            if (++pos >= line.size()) {
                return false;
            }
            if (line[pos] == u'n' || line[pos] == u'r') {
                out->append(line[pos] == u'n' ? u'\n' : u'\r');
                continue;
            }
        }
        out->append(line[pos]);
    }
    return false;
}

bool parseValue(QStringView line, QString* name, RegistryStore::Value* value) {
    qsizetype pos = 0;
    if (!readQuoted(line, pos, name) || pos >= line.size() || line[pos] != u'=') {
        return false;
    }
    const QStringView rest = line.sliced(pos + 1);
    if (rest.startsWith(kDword)) {
        bool ok = false;
        value->kind = RegistryStore::Kind::Dword;
        value->number = rest.sliced(kDword.size()).toUInt(&ok, 16);
        return ok;
    }
    qsizetype at = 0;
    value->kind = RegistryStore::Kind::String;
    return readQuoted(rest, at, &value->text) && at == rest.size();
}

std::optional<quint32> decimal(const QString& text) {
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    if (!ok || n < -2147483648LL || n > 4294967295LL) {
        return std::nullopt;
    }
    return static_cast<quint32>(n);
}

}  // namespace

QString RegistryStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/TOMEKEEP/registry.reg");
}

RegistryStore::RegistryStore(QString path) : path_(std::move(path)) {}

bool RegistryStore::load() {
    keys_.clear();
    QFile file(path_);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error_ = file.errorString();
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    if (parse(text)) {
        return true;
    }
    const QString aside = path_ + QStringLiteral(".bad");
    QFile::remove(aside);
    QFile::rename(path_, aside);
    keys_.clear();
    error_ = QStringLiteral("%1 could not be read and was kept as %2").arg(path_, aside);
    return false;
}

bool RegistryStore::parse(const QString& text) {
    QString section;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line == kHeader) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) {
                return false;
            }
            section = line.mid(1, line.size() - 2);
            continue;
        }
        QString name;
        Value value;
        if (section.isEmpty() || !parseValue(line, &name, &value)) {
            return false;
        }
        keys_[section][name] = value;
    }
    return true;
}

QString RegistryStore::serialize() const {
    QString out = kHeader + QStringLiteral("\n");
    for (auto key = keys_.cbegin(); key != keys_.cend(); ++key) {
        out += QStringLiteral("\n[") + key.key() + QStringLiteral("]\n");
        for (auto v = key->cbegin(); v != key->cend(); ++v) {
            out += quoted(v.key()) + u'=';
            out += v->kind == Kind::Dword ? kDword + QStringLiteral("%1").arg(v->number, 8, 16, QLatin1Char('0'))
                                          : quoted(v->text);
            out += u'\n';
        }
    }
    return out;
}

bool RegistryStore::save() {
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        error_ = QStringLiteral("cannot create the folder of %1").arg(path_);
        return false;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(serialize().toUtf8()) < 0 || !file.commit()) {
        error_ = file.errorString();
        return false;
    }
    return true;
}

std::optional<RegistryStore::Value> RegistryStore::value(const QString& key, const QString& name) const {
    const auto k = keys_.constFind(key);
    if (k == keys_.cend()) {
        return std::nullopt;
    }
    const auto v = k->constFind(name);
    if (v == k->cend()) {
        return std::nullopt;
    }
    return *v;
}

quint32 RegistryStore::readInteger(const QString& key, const QString& name, quint32 defaultValue) const {
    const auto v = value(key, name);
    if (!v) {
        return defaultValue;
    }
    if (v->kind == Kind::Dword) {
        return v->number;
    }
    return decimal(v->text).value_or(defaultValue);
}

QString RegistryStore::readString(const QString& key, const QString& name, const QString& defaultValue) const {
    const auto v = value(key, name);
    if (!v) {
        return defaultValue;
    }
    return v->kind == Kind::String ? v->text : QString::number(v->number);
}

bool RegistryStore::readBool(const QString& key, const QString& name, bool defaultValue) const {
    return readInteger(key, name, defaultValue ? 1 : 0) != 0;
}

void RegistryStore::writeInteger(const QString& key, const QString& name, quint32 number) {
    auto& section = keys_[key];
    const auto existing = section.find(name);
    if (existing != section.end() && existing->kind == Kind::String) {
        existing->text = QString::number(number);
        return;
    }
    section[name] = Value{Kind::Dword, {}, number};
}

void RegistryStore::writeString(const QString& key, const QString& name, const QString& text) {
    keys_[key][name] = Value{Kind::String, text, 0};
}

void RegistryStore::writeBool(const QString& key, const QString& name, bool on) {
    writeString(key, name, on ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace tk
