#include "platform/shell_open.h"

#include "platform/message_box.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace tk {

namespace {

ShellLauncher& launcher() {
    static ShellLauncher current;
    return current;
}

}  // namespace

bool shellLaunch(const QUrl& url) {
    if (launcher()) {
        return launcher()(url);
    }
    return QDesktopServices::openUrl(url);
}

void setShellLauncher(ShellLauncher newLauncher) {
    launcher() = std::move(newLauncher);
}

bool opensAsProgram(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return false;
    }
    if (info.isExecutable()) {
        return true;
    }
    static const QStringList programSuffixes = {
        QStringLiteral("desktop"), QStringLiteral("sh"),  QStringLiteral("bash"),     QStringLiteral("csh"),
        QStringLiteral("zsh"),     QStringLiteral("py"),  QStringLiteral("pl"),       QStringLiteral("rb"),
        QStringLiteral("exe"),     QStringLiteral("com"), QStringLiteral("bat"),      QStringLiteral("cmd"),
        QStringLiteral("msi"),     QStringLiteral("jar"), QStringLiteral("appimage"), QStringLiteral("run"),
        QStringLiteral("bin"),     QStringLiteral("deb"), QStringLiteral("vbs"),      QStringLiteral("js"),
        QStringLiteral("ps1"),     QStringLiteral("lnk"), QStringLiteral("scr"),      QStringLiteral("pif"),
    };
    return programSuffixes.contains(info.suffix().toLower());
}

bool shellOpenFile(QWidget* parent, const QString& path) {
    if (opensAsProgram(path)) {
        const QString text =
            QStringLiteral(
                "%1\n\n이 파일은 열면 프로그램으로 실행됩니다. 믿을 수 있는 파일일 때만 실행하십시오.\n"
                "실행하시겠습니까?")
                .arg(QFileInfo(path).fileName());
        if (Messages::ask(parent, text, {}, MsgButtons::YesNo, MsgAnswer::No, MsgKind::Warning) != MsgAnswer::Yes) {
            return false;
        }
    }
    return shellLaunch(QUrl::fromLocalFile(path));
}

}  // namespace tk
