#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace tk {

// The current user's settings, kept in a text file in the form of a registry export:
// [Software\TOMEKEEP\Book] sections, "Name"="text" strings and "Name"=dword:0000002a numbers.
// The kind of every value is kept, so a number stored as a string stays a string.
class RegistryStore final {
  public:
    enum class Kind { String, Dword };
    struct Value {
        Kind kind = Kind::String;
        QString text;
        quint32 number = 0;
    };

    // QStandardPaths::GenericConfigLocation + "/TOMEKEEP/registry.reg".
    static QString defaultPath();

    explicit RegistryStore(QString path = defaultPath());

    // Reads the file. A missing file is an empty store. A file that cannot be parsed is kept aside
    // as "<name>.bad" and the store starts empty; then false is returned with errorString().
    [[nodiscard]] bool load();
    // Writes the file atomically.
    [[nodiscard]] bool save();
    QString errorString() const { return error_; }

    std::optional<Value> value(const QString& key, const QString& name) const;

    // Reads of the designed kinds: a number stored as a string is read from its decimal text, and
    // text that is not a number gives the default.
    quint32 readInteger(const QString& key, const QString& name, quint32 defaultValue) const;
    QString readString(const QString& key, const QString& name, const QString& defaultValue) const;
    bool readBool(const QString& key, const QString& name, bool defaultValue) const;

    // A number is written as a number, unless the value already exists as a string: then as decimal text.
    void writeInteger(const QString& key, const QString& name, quint32 number);
    void writeString(const QString& key, const QString& name, const QString& text);
    // Truth values are the strings "0" and "1".
    void writeBool(const QString& key, const QString& name, bool on);

    // Parses the text of a settings file; false when it is not in the expected form.
    [[nodiscard]] bool parse(const QString& text);
    QString serialize() const;

  private:
    QString path_;
    QString error_;
    QMap<QString, QMap<QString, Value>> keys_;
};

}  // namespace tk
