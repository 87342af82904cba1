#include "editor/web_engine_gate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

#include <unistd.h>

namespace tk {
namespace {

constexpr char kDisableSandbox[] = "QTWEBENGINE_DISABLE_SANDBOX";
constexpr char kEngineFlags[] = "QTWEBENGINE_CHROMIUM_FLAGS";
constexpr char kEngineArguments[] = "--webEngineArgs";
constexpr char kHelperPath[] = "QTWEBENGINEPROCESS_PATH";
constexpr char kResourcesPath[] = "QTWEBENGINE_RESOURCES_PATH";
constexpr char kHelperName[] = "QtWebEngineProcess";
constexpr char kResourcePack[] = "qtwebengine_resources.pak";

// The engine's own splitting of its flags variable: spaces separate, double quotes group.
QStringList splitFlags(const QString& flags) {
    QStringList out;
    QString word;
    bool quoted = false;
    for (const QChar c : flags) {
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u' ' && !quoted) {
            if (!word.isEmpty()) {
                out.append(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.isEmpty()) {
        out.append(word);
    }
    return out;
}

// A switch is "--name" or "-name", optionally "=value"; a bare "--" ends the switches.
bool hasNoSandboxSwitch(const QStringList& words) {
    for (const QString& word : words) {
        if (word == QLatin1String("--")) {
            return false;
        }
        QStringView name(word);
        if (name.startsWith(u"--")) {
            name = name.sliced(2);
        } else if (name.startsWith(u'-')) {
            name = name.sliced(1);
        } else {
            continue;
        }
        const qsizetype equals = name.indexOf(u'=');
        if ((equals < 0 ? name : name.first(equals)) == u"no-sandbox") {
            return true;
        }
    }
    return false;
}

bool anyExists(const QStringList& files) {
    for (const QString& file : files) {
        if (QFileInfo::exists(file)) {
            return true;
        }
    }
    return false;
}

QStringList inFolders(const QStringList& folders, const QLatin1String& name) {
    QStringList out;
    for (const QString& folder : folders) {
        out.append(folder + u'/' + name);
    }
    return out;
}

// A path the user set in the environment replaces the engine's own search.
QStringList helperFiles(const WebEngineStart& start) {
    const QString fromEnvironment = start.environment.value(QLatin1String(kHelperPath));
    return fromEnvironment.isEmpty() ? inFolders(start.helperFolders, QLatin1String(kHelperName))
                                     : QStringList{fromEnvironment};
}

QStringList resourceFiles(const WebEngineStart& start) {
    const QString fromEnvironment = start.environment.value(QLatin1String(kResourcesPath));
    return inFolders(fromEnvironment.isEmpty() ? start.resourceFolders : QStringList{fromEnvironment},
                     QLatin1String(kResourcePack));
}

QString overrideHint(const WebEngineStart& start, const char* variable) {
    const QString value = start.environment.value(QLatin1String(variable));
    if (value.isEmpty()) {
        return {};
    }
    return QStringLiteral(" 환경 변수 %1에 적힌 경로(%2)도 확인하십시오.").arg(QLatin1String(variable), value);
}

}  // namespace

bool sandboxTurnedOff(const QProcessEnvironment& environment, const QStringList& arguments) {
    if (environment.contains(QLatin1String(kDisableSandbox))) {
        return true;
    }
    // The flags variable, when set, replaces every switch of the command line.
    if (environment.contains(QLatin1String(kEngineFlags))) {
        return hasNoSandboxSwitch(splitFlags(environment.value(QLatin1String(kEngineFlags))));
    }
    const qsizetype marker = arguments.indexOf(QLatin1String(kEngineArguments));
    return marker >= 0 && hasNoSandboxSwitch(arguments.mid(marker + 1));
}

WebEngineVerdict decideWebEngine(const WebEngineStart& start) {
    if (start.uid == 0 && !sandboxTurnedOff(start.environment, start.arguments)) {
        return {WebEngineBlock::SandboxAsRoot,
                QStringLiteral("관리자(root) 권한으로 실행 중이어서 웹 엔진이 보안 격리(샌드박스) 속에서 시작할 수 "
                               "없습니다. 일반 사용자 계정으로 프로그램을 다시 실행하십시오.")};
    }
    if (!anyExists(helperFiles(start))) {
        return {WebEngineBlock::HelperMissing,
                QStringLiteral("웹 엔진의 보조 프로그램(%1)을 찾을 수 없습니다. libqt6webenginecore6-bin 패키지를 "
                               "설치한 뒤 문서를 다시 여십시오.")
                        .arg(QLatin1String(kHelperName)) +
                    overrideHint(start, kHelperPath)};
    }
    if (!anyExists(resourceFiles(start))) {
        return {WebEngineBlock::ResourcesMissing,
                QStringLiteral("웹 엔진의 자원 파일(%1)을 찾을 수 없습니다. libqt6webengine6-data 패키지를 설치한 뒤 "
                               "문서를 다시 여십시오.")
                        .arg(QLatin1String(kResourcePack)) +
                    overrideHint(start, kResourcesPath)};
    }
    return {};
}

WebEngineStart WebEngineStart::current() {
    WebEngineStart start;
    // Root as either the real or the effective user counts: the engine must not meet root with its sandbox on.
    start.uid = (::getuid() == 0 || ::geteuid() == 0) ? 0 : ::geteuid();
    start.environment = QProcessEnvironment::systemEnvironment();
    start.arguments = QCoreApplication::arguments();
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString data = QLibraryInfo::path(QLibraryInfo::DataPath);
    start.helperFolders = {QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath),
                           QLibraryInfo::path(QLibraryInfo::BinariesPath), appDir};
    start.resourceFolders = {data + QLatin1String("/resources"), data, appDir,
                             QDir::homePath() + QLatin1String("/.") + QCoreApplication::applicationName()};
    return start;
}

}  // namespace tk
