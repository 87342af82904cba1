#include "cli/entry_session.h"

#include "cli/command.h"

#include <QFileInfo>

#include <cstdio>

namespace tk::cli {
namespace {

// The component's own words, when it gave any, after the text.
QString withCause(const QString& text, const EntryStore& store) {
    const QString& cause = store.componentMessage();
    return cause.isEmpty() ? text : text + QStringLiteral(" (") + cause + u')';
}

QString failureText(const EntryStore& store, const QString& path) {
    switch (store.error()) {
        case EntryError::WrongPassword:
            return QStringLiteral("암호가 틀렸습니다. 올바른 암호를 표준 입력의 첫 줄로 주고 다시 실행하세요.");
        case EntryError::Missing:
            return QStringLiteral("%1: 글 보관 파일이 없습니다. 경로를 확인하세요.").arg(path);
        case EntryError::Unreadable:
            return withCause(QStringLiteral("%1: 글 보관 파일로 읽을 수 없습니다. 파일이 손상되지 않았는지, "
                                            "TOMEKEEP 글의 .zip 파일인지 확인하세요.")
                                 .arg(path),
                             store);
        case EntryError::BadDocument:
            return QStringLiteral(
                       "%1: 글의 주석이 가리키는 문서 파일 이름이 올바르지 않아 열지 않았습니다. "
                       "'tomekeep-cli comment'로 주석을 확인하세요.")
                .arg(path);
        case EntryError::Extract:
            return withCause(QStringLiteral("%1: 글의 문서 파일을 보관 파일에서 꺼내지 못했습니다. "
                                            "'tomekeep-cli info'로 보관 파일에 든 파일을 확인하세요.")
                                 .arg(path),
                             store);
        case EntryError::Add:
            return withCause(QStringLiteral("%1: 글을 보관 파일에 쓰지 못했습니다. 남은 공간과 폴더에 쓸 권한을 "
                                            "확인하고 다시 실행하세요.")
                                 .arg(path),
                             store);
        case EntryError::Comment:
            return withCause(QStringLiteral("%1: 글의 제목과 분류를 보관 파일에 쓰지 못했습니다. 폴더에 쓸 권한을 "
                                            "확인하고 다시 실행하세요.")
                                 .arg(path),
                             store);
        case EntryError::Delete:
            return QStringLiteral("%1: 글을 지우지 못했습니다. 폴더에 쓸 권한을 확인하고 다시 실행하세요.").arg(path);
        case EntryError::Trash:
            return QStringLiteral(
                       "%1: 글을 휴지통으로 옮길 수 없어서 지우지 않았습니다. --trash 없이 실행하면 바로 "
                       "지웁니다.")
                .arg(path);
        case EntryError::Folder:
            return QStringLiteral("%1: 폴더를 쓸 수 없습니다. 경로와 쓰기 권한을 확인하세요.").arg(path);
        case EntryError::None:
        case EntryError::AlreadyRunning:
        case EntryError::BadTitle:
        case EntryError::Busy:
            break;
    }
    return store.errorString();
}

}  // namespace

bool EntrySession::start() {
    if (store_.startPrivate()) {
        return true;
    }
    complain(command_, QString(store_.errorString()).replace(u'\n', u' '));
    return false;
}

bool EntrySession::finish() {
    if (finished_) {
        return true;
    }
    finished_ = true;
    const QString scratch = store_.scratchDir();
    store_.stop();
    if (!scratch.isEmpty() && QFileInfo::exists(scratch)) {
        complain(command_, QStringLiteral("임시 폴더 %1을 지우지 못했습니다. 암호를 푼 글이 남아 있을 수 있으니 "
                                          "직접 지우세요.")
                               .arg(scratch));
        return false;
    }
    return true;
}

int storeFailure(const char* command, const EntryStore& store, const QString& path) {
    complain(command, failureText(store, path));
    return kExitFailure;
}

bool readEntry(const char* command, const QString& path, EntryComment* comment) {
    if (!QFileInfo(path).isFile()) {
        complain(command, QStringLiteral("%1: 글 보관 파일이 없습니다. 경로를 확인하세요.").arg(path));
        return false;
    }
    QString text;
    if (ReadEntryComment(path, &text) != ReadCommentResult::Ok) {
        complain(command, QStringLiteral("%1: 글 보관 파일을 읽을 수 없습니다. 읽기 권한을 확인하세요.").arg(path));
        return false;
    }
    *comment = ParseEntryComment(text);
    return true;
}

int passwordNeeded(const char* command) {
    complain(command, QStringLiteral("이 글은 암호로 보호되어 있습니다. --password-stdin을 붙이고 글의 암호를 표준 "
                                     "입력의 첫 줄로 주세요."));
    return kExitFailure;
}

int checkTitle(const char* command, const QString& title, const QString& category) {
    if (title.trimmed().isEmpty()) {
        return usageError(command, QStringLiteral("글의 제목이 비어 있습니다. --title 다음에 제목을 주세요."));
    }
    for (const QString& text : {title, category}) {
        for (const QChar c : text) {
            // "|" separates the fields of the entry comment; a line break would split a listed row.
            if (c == u'|' || c.category() == QChar::Other_Control) {
                return usageError(command, QStringLiteral("제목과 분류에는 \"|\"와 줄바꿈 같은 제어 문자를 쓸 수 "
                                                          "없습니다."));
            }
        }
    }
    return kExitOk;
}

bool printText(const char* command, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, bytes.size(), stdout) != static_cast<size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
        complain(command, QStringLiteral("표준 출력에 쓰지 못했습니다. 출력을 보낸 파일의 남은 공간과 쓰기 권한을 "
                                         "확인하세요."));
        return false;
    }
    return true;
}

}  // namespace tk::cli
