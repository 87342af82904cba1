#include "cli/arguments.h"

#include "cli/command.h"

#include <algorithm>

namespace tk::cli {

int parseArguments(const char* command, const QStringList& args, const std::vector<ValueOption>& valueOptions,
                   const std::vector<const char*>& flagOptions, Arguments* out) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!arg.startsWith(u'-') || arg == QLatin1String("-")) {
            out->positional.append(arg);
            continue;
        }
        if (out->flags.contains(arg) || out->values.contains(arg)) {
            return usageError(command, QStringLiteral("%1 옵션을 두 번 주었습니다. 한 번만 주세요.").arg(arg));
        }
        const QByteArray name = arg.toUtf8();
        const auto sameName = [&name](const char* option) { return name == option; };
        if (std::any_of(flagOptions.begin(), flagOptions.end(), sameName)) {
            out->flags.insert(arg);
            continue;
        }
        const auto valued = std::find_if(valueOptions.begin(), valueOptions.end(),
                                         [&sameName](const ValueOption& option) { return sameName(option.first); });
        if (valued == valueOptions.end()) {
            return usageError(command, QStringLiteral("알 수 없는 옵션입니다: %1.").arg(arg));
        }
        if (++i >= args.size()) {
            return usageError(command, QString::fromUtf8(valued->second));
        }
        out->values.insert(arg, args.at(i));
    }
    return kExitOk;
}

}  // namespace tk::cli
