#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>

#include <utility>
#include <vector>

namespace tk::cli {

// An option that takes a value, and what the user is told when the value is missing.
using ValueOption = std::pair<const char*, const char*>;

// A command's arguments: options with their values, options that stand alone, and the rest in
// their order. The value after an option is taken as it is, so it may start with "-".
struct Arguments {
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;

    bool has(const char* option) const {
        return flags.contains(QLatin1String(option)) || values.contains(QLatin1String(option));
    }
    QString value(const char* option) const { return values.value(QLatin1String(option)); }
};

// Sorts args into *out. An unknown option, a missing value or an option given twice is a usage
// error: it is said with the command's usage line and kExitUsage comes back; else kExitOk.
int parseArguments(const char* command, const QStringList& args, const std::vector<ValueOption>& valueOptions,
                   const std::vector<const char*>& flagOptions, Arguments* out);

}  // namespace tk::cli
