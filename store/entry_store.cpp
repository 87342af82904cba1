#include "store/entry_store.h"

#include "archive/engine_records.h"
#include "platform/program_folders.h"
#include "platform/shell_ops.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace tk {
namespace {

constexpr const char* kLockName = "TOMEKEEP.lock";
const QString kExtractFailed = QStringLiteral("Error in Extract; Fatal DLL Exception in mainunit");
const QString kAddFailed = QStringLiteral("Error in Add; Fatal DLL Exception in mainunit");

QString withSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

// A regular file, not a link to one: extracted bodies are never reached through links.
bool isPlainFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

// "|" separates the fields of the entry comment: one inside a title or category would shift the
// fields after it, and the entry would read back with the wrong protection and document file.
bool holdsSeparator(const EntryComment& comment) {
    return comment.title.contains(u'|') || comment.category.contains(u'|');
}

// The component's message on a line of its own, when there was one.
QString withCause(const QString& text, const QString& cause) {
    return cause.isEmpty() ? text : text + QStringLiteral("\n(") + cause + u')';
}

}  // namespace

EntryStore::EntryStore() {
    setupArchiver();
}

EntryStore::~EntryStore() {
    stop();
}

void EntryStore::setupArchiver() {
    archiver_.SetAddCompLevel(9);
    archiver_.SetAddOptions({});
    archiver_.SetExtrOptions({});
    // Failures come back as this store's error texts, shown once by the caller.
    archiver_.SetUnattended(true);
    archiver_.SetAddStoreSuffixes(AddStoreExts{AddStoreSuffixEnum::assZIP});
    archiver_.OnMessage = [this](TArchiver*, int, const QString& message) {
        if (message == QLatin1String(engine::kWarningsGiven)) {
            wrongPassword_ = true;
        } else if (!message.isEmpty()) {
            componentMessage_ = message;
        }
    };
    // No other password is offered: a wrong one ends in the engine's warning.
    archiver_.OnPasswordError = [](TArchiver*, bool, QString& newPassword, const QString&, unsigned& repeatCount,
                                   TPasswordButton& action) {
        repeatCount = 0;
        newPassword.clear();
        action = TPasswordButton::mbOK;
    };
}

bool EntryStore::fail(EntryError error, const QString& text) {
    error_ = error;
    errorString_ = text;
    return false;
}

void EntryStore::changed(const QString& archivePath, bool removed) const {
    if (changeListener_) {
        changeListener_(archivePath, removed);
    }
}

bool EntryStore::refuseSeparator() {
    return fail(EntryError::BadTitle,
                QStringLiteral("제목과 분류에는 \"|\"를 쓸 수 없습니다. \"|\"를 빼고 다시 저장하세요."));
}

bool EntryStore::start(const QString& programDir, const QString& scratchDir) {
    error_ = EntryError::None;
    errorString_.clear();
    programDir_ = withSlash(programDir);
    scratchDir_ = scratchDir.isEmpty() ? programDir_ + QStringLiteral("TEMP/") : withSlash(scratchDir);
    archiver_.LoadZipEngine();
    archiver_.LoadUnzipEngine();
    if (!QDir().mkpath(programDir_)) {
        return fail(EntryError::Folder, programDir_ + QStringLiteral("폴더를 만들수 없습니다."));
    }
    lock_ = std::make_unique<QLockFile>(programDir_ + QLatin1String(kLockName));
    lock_->setStaleLockTime(0);  // stale only when the process that holds it is gone
    if (!lock_->tryLock(0)) {
        const bool held = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        if (held) {
            return fail(EntryError::AlreadyRunning,
                        QStringLiteral("TOMEKEEP이 이미 실행 중입니다.\n같은 폴더를 쓰는 TOMEKEEP은 하나만 "
                                       "실행할 수 있습니다."));
        }
        return fail(EntryError::Folder, programDir_ + QStringLiteral("폴더에 쓸 수 없습니다."));
    }
    if (!QFileInfo(libraryDir()).isDir() && !QDir().mkdir(libraryDir())) {
        return fail(EntryError::Folder, libraryDir() + QStringLiteral("폴더를 만들수 없습니다."));
    }
    QString why;
    if (!preparePrivateFolder(scratchDir_, &why)) {
        // The reason is for the log; the user is told in Korean what the folder must be.
        qWarning("scratch folder refused: %s", qPrintable(why));
        return fail(EntryError::Folder,
                    scratchDir_ + QStringLiteral("폴더를 만들수 없습니다.\n작업 폴더는 이 사용자만 쓸 수 있는 폴더여야 "
                                                 "합니다. 같은 이름의 링크나 파일이 있거나 다른 사용자의 폴더이면 "
                                                 "지우거나 옮긴 뒤 다시 시작하세요."));
    }
    archiver_.SetExtrBaseDir(scratchDir_);
    // Leftovers of writes a crash interrupted, in every category folder.
    QStringList folders{libraryDir()};
    for (qsizetype i = 0; i < folders.size(); ++i) {
        RemoveArchiveLeftovers(folders[i]);
        if (folders[i].count(u'/') - libraryDir().count(u'/') < 3) {
            for (const QString& sub :
                 QDir(folders[i]).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
                folders.append(folders[i] + sub + u'/');
            }
        }
    }
    started_ = true;
    return true;
}

bool EntryStore::startPrivate() {
    error_ = EntryError::None;
    errorString_.clear();
    programDir_.clear();
    archiver_.LoadZipEngine();
    archiver_.LoadUnzipEngine();
    QString folder;
    QString why;
    if (!makePrivateTempFolder(QStringLiteral("tomekeep-"), &folder, &why)) {
        return fail(EntryError::Folder, QStringLiteral("작업에 쓸 임시 폴더를 만들 수 없습니다. TMPDIR(또는 "
                                                       "XDG_RUNTIME_DIR) 폴더에 쓸 수 있는지 확인하세요.\n(") +
                                            why + u')');
    }
    scratchDir_ = folder;
    ownsScratch_ = true;
    archiver_.SetExtrBaseDir(scratchDir_);
    started_ = true;
    return true;
}

void EntryStore::stop() {
    if (started_) {
        clearScratch();
        started_ = false;
        lock_.reset();
    }
    if (ownsScratch_) {
        if (!removeTree(scratchDir_)) {
            qWarning("could not remove the scratch folder %s", qPrintable(scratchDir_));
        }
        ownsScratch_ = false;
    }
    archiver_.UnloadZipEngine();
    archiver_.UnloadUnzipEngine();
}

void EntryStore::clearScratch() {
    if (!started_) {
        return;
    }
    discardRetitle();
    if (!ShellDeleteFiles(scratchDir_ + QStringLiteral("*.*"), false)) {
        qWarning("could not empty the scratch folder %s", qPrintable(scratchDir_));
    }
}

QString EntryStore::categoryFolder(const QString& categoryPath) const {
    return libraryDir() + categoryPath + u'/';
}

QString EntryStore::categoryPathOf(const QString& folder) const {
    // Cleaned first, so that ".." cannot lead out of the library behind its name.
    const QString library = QDir::cleanPath(libraryDir()) + u'/';
    const QString path = QDir::cleanPath(folder);
    if (!path.startsWith(library) || path.size() <= library.size()) {
        return {};
    }
    return path.mid(library.size());
}

QString EntryStore::archivePath(const QString& folder, const QString& archiveName) {
    return withSlash(folder) + archiveName + QStringLiteral(".zip");
}

bool EntryStore::isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

QString EntryStore::newArchiveName(const QString& folder) {
    QString name = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    while (QFileInfo::exists(archivePath(folder, name))) {
        name += u'_';
    }
    return name;
}

BodyFiles EntryStore::richBody() const {
    return BodyFiles{scratchDir_, {QString(kDocumentFile)}, false, false};
}

// Points the component at an archive; false (with the reason) when it is missing or unreadable.
bool EntryStore::selectArchive(const QString& archivePath) {
    componentMessage_.clear();
    if (!isPlainFile(archivePath)) {
        return fail(EntryError::Missing, QStringLiteral("이 파일이 존재하지 않습니다."));
    }
    archiver_.SetZipFileName(archivePath);
    if (archiver_.ZipFileName().isEmpty()) {
        return fail(EntryError::Unreadable,
                    withCause(QStringLiteral("\"%1\" 파일을 압축 파일로 읽을 수 없습니다. 파일이 손상되었거나 "
                                             "글 보관 파일이 아닙니다.")
                                  .arg(QFileInfo(archivePath).fileName()),
                              componentMessage_));
    }
    return true;
}

bool EntryStore::checkArchive(const QString& archivePath) {
    error_ = EntryError::None;
    return selectArchive(archivePath);
}

bool EntryStore::extractAll(const QString& archivePath, const QString& password, const QString& folder) {
    if (!selectArchive(archivePath)) {
        return false;
    }
    archiver_.SetPassword(password);
    archiver_.SetExtrBaseDir(folder);
    archiver_.SetExtrOptions(ExtrOpts{ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    archiver_.SetFSpecArgs({});
    wrongPassword_ = false;
    archiver_.Extract();
    archiver_.SetPassword(QString());
    archiver_.SetExtrBaseDir(scratchDir_);
    if (wrongPassword_) {
        wrongPassword_ = false;
        return fail(EntryError::WrongPassword, QStringLiteral("암호가 틀렸습니다."));
    }
    return true;
}

bool EntryStore::open(const QString& archivePath, const EntryComment& comment, const QString& password,
                      EntryRef* opened, QString* bodyFile) {
    error_ = EntryError::None;
    if (!isPlainFileName(comment.documentFile)) {
        return fail(EntryError::BadDocument,
                    QStringLiteral("이 글이 가리키는 문서 파일 이름 \"%1\"은 올바른 파일 이름이 아니어서 열지 "
                                   "않았습니다.\n글 보관 파일이 손상되었거나 다른 프로그램이 만든 것입니다.")
                        .arg(comment.documentFile));
    }
    if (!isPlainFile(archivePath)) {
        return fail(EntryError::Missing, QStringLiteral("이 파일이 존재하지 않습니다."));
    }
    clearScratch();
    if (!extractAll(archivePath, password, scratchDir_)) {
        return false;
    }
    const QString body = scratchDir_ + comment.documentFile;
    if (!isPlainFile(body)) {
        return fail(EntryError::Extract,
                    withCause(kExtractFailed + QStringLiteral("\n문서 파일 \"%1\"을 글 보관 파일에서 꺼내지 "
                                                              "못했습니다.")
                                                   .arg(comment.documentFile),
                              componentMessage_));
    }
    *opened = EntryRef{archivePath, password, comment.documentFile, comment.title};
    *bodyFile = body;
    return true;
}

bool EntryStore::addFiles(const QString& archivePath, const QString& password, const BodyFiles& body) {
    componentMessage_.clear();
    archiver_.SetZipFileName(archivePath);
    archiver_.SetPassword(password);
    AddOpts options = password.isEmpty() ? AddOpts{} : AddOpts{AddOptsEnum::AddEncrypt};
    if (body.withFolders) {
        options.insert(AddOptsEnum::AddDirNames).insert(AddOptsEnum::AddRecurseDirs);
    }
    if (body.hiddenFiles) {
        options.insert(AddOptsEnum::AddHiddenFiles);
    }
    archiver_.SetAddOptions(options);
    archiver_.SetRootDir(body.rootDir);
    archiver_.SetFSpecArgs(body.fileSpecs);
    archiver_.Add();
    const bool added = archiver_.HandledCount() > 0;
    archiver_.SetRootDir(QString());
    archiver_.SetPassword(QString());
    archiver_.SetAddOptions({});
    if (!added) {
        return fail(EntryError::Add,
                    withCause(kAddFailed + QStringLiteral("\n글을 저장하지 못했습니다. 디스크 공간과 폴더에 쓸 "
                                                          "권한을 확인한 뒤 다시 저장하세요."),
                              componentMessage_));
    }
    return true;
}

bool EntryStore::writeComment(const QString& archivePath, const QString& comment) {
    componentMessage_.clear();
    if (archiver_.ZipFileName() != archivePath) {
        archiver_.SetZipFileName(archivePath);
    }
    archiver_.SetZipComment(comment);
    if (archiver_.ZipFileName().isEmpty() || archiver_.ZipComment() != comment) {
        return fail(EntryError::Comment,
                    withCause(QStringLiteral("글의 제목과 분류를 글 보관 파일에 쓰지 못했습니다."), componentMessage_));
    }
    return true;
}

bool EntryStore::saveBody(const EntryRef& entry, const BodyFiles& body) {
    error_ = EntryError::None;
    if (!isPlainFile(entry.archivePath)) {
        // Adding would make a new archive without the entry comment: an entry with no title.
        return fail(EntryError::Missing,
                    QStringLiteral("저장할 글의 보관 파일이 없습니다. 지워졌거나 다른 곳으로 옮겨졌습니다.\n%1")
                        .arg(entry.archivePath));
    }
    if (!addFiles(entry.archivePath, entry.password, body)) {
        return false;
    }
    changed(entry.archivePath);
    return true;
}

bool EntryStore::create(const QString& folder, const EntryComment& comment, const QString& password,
                        const BodyFiles& body, EntryRef* created, QString* archiveName) {
    error_ = EntryError::None;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return fail(
            EntryError::Folder,
            QStringLiteral("글을 저장할 분류 폴더가 없습니다.\n%1\n분류를 다시 고른 뒤 저장하세요.").arg(folder));
    }
    if (holdsSeparator(comment)) {
        return refuseSeparator();
    }
    const QString name = newArchiveName(folder);
    const QString path = archivePath(folder, name);
    const QString text = MakeEntryComment(comment.title, comment.category, !password.isEmpty(), comment.documentFile);
    if (!addFiles(path, password, body)) {
        return false;
    }
    if (!writeComment(path, text)) {
        // An archive without its comment would be listed as an untitled entry: nothing is kept.
        const QString why = errorString_;
        archiver_.SetZipFileName(QString());
        QFile::remove(path);
        return fail(EntryError::Comment, why);
    }
    *created = EntryRef{path, password, comment.documentFile, comment.title};
    *archiveName = name;
    changed(path);
    return true;
}

bool EntryStore::beginRetitle(const QString& archivePath, const QString& documentFile, const QString& password) {
    error_ = EntryError::None;
    discardRetitle();
    if (!isPlainFileName(documentFile)) {
        return fail(
            EntryError::BadDocument,
            QStringLiteral("이 글이 가리키는 문서 파일 이름 \"%1\"은 올바른 파일 이름이 아닙니다.").arg(documentFile));
    }
    if (!selectArchive(archivePath)) {
        return false;
    }
    QByteArray pattern = QFile::encodeName(scratchDir_ + QStringLiteral(".retitle-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        return fail(EntryError::Folder, scratchDir_ + QStringLiteral("폴더에 작업 폴더를 만들 수 없습니다."));
    }
    retitleDir_ = QFile::decodeName(pattern) + u'/';
    if (!extractAll(archivePath, password, retitleDir_)) {
        discardRetitle();
        return false;
    }
    if (!isPlainFile(retitleDir_ + documentFile)) {
        discardRetitle();
        return fail(
            EntryError::Extract,
            withCause(QStringLiteral("실패\n문서 파일 \"%1\"을 글 보관 파일에서 꺼내지 못했습니다.").arg(documentFile),
                      componentMessage_));
    }
    retitleArchive_ = archivePath;
    retitleDocument_ = documentFile;
    retitlePassword_ = password;
    return true;
}

bool EntryStore::finishRetitle(const EntryComment& comment, const QString& password, EntryRef* retitled) {
    error_ = EntryError::None;
    if (retitleDir_.isEmpty()) {
        return fail(EntryError::Extract, QStringLiteral("실패"));
    }
    if (holdsSeparator(comment)) {
        discardRetitle();
        return refuseSeparator();
    }
    // Every file that came out goes back, so none keeps a protection the entry no longer claims.
    const BodyFiles files{retitleDir_, {QStringLiteral("*.*")}, true, true};
    const QString text = MakeEntryComment(comment.title, comment.category, !password.isEmpty(), retitleDocument_);
    const QString archive = retitleArchive_;
    const QString document = retitleDocument_;
    // A comment that claims a protection the files did not get would lock the user out: when the
    // add fails, the entry keeps its old comment; when the comment fails, the files go back as the
    // old comment describes them.
    const bool added = addFiles(archive, password, files);
    const bool ok = added && writeComment(archive, text);
    if (added && !ok) {
        const QString why = errorString_;
        if (!addFiles(archive, retitlePassword_, files)) {
            qWarning("could not restore the protection of %s", qPrintable(archive));
        }
        fail(EntryError::Comment, why);
    }
    discardRetitle();
    if (added) {
        // Also when the comment failed: the files went back in, so the archive is not the one
        // indexed before.
        changed(archive);
    }
    if (!ok) {
        return false;
    }
    *retitled = EntryRef{archive, password, document, comment.title};
    return true;
}

void EntryStore::discardRetitle() {
    if (!retitleDir_.isEmpty() && !removeTree(retitleDir_)) {
        qWarning("could not remove %s", qPrintable(retitleDir_));
    }
    retitleDir_.clear();
    retitleArchive_.clear();
    retitleDocument_.clear();
    retitlePassword_.clear();
}

bool EntryStore::remove(const QString& archivePath, bool toTrash) {
    error_ = EntryError::None;
    const QFileInfo info(archivePath);
    if (!info.exists()) {
        return fail(EntryError::Missing, QStringLiteral("이 파일이 존재하지 않습니다."));
    }
    // Only entry archives are deleted here; a folder would go with everything in it.
    if (info.isDir()) {
        return fail(EntryError::Delete,
                    QStringLiteral("\"%1\"은 글 보관 파일이 아니라 폴더여서 지우지 않았습니다. 지울 글의 보관 "
                                   "파일(.zip)을 고르세요.")
                        .arg(info.fileName()));
    }
    if (archiver_.ZipFileName() == archivePath) {
        archiver_.SetZipFileName(QString());
    }
    // A writer at work would put the archive back when it finishes.
    ArchiveLock lock(archivePath);
    if (lock.acquire() == ArchiveLock::Result::Busy) {
        return fail(EntryError::Busy, QStringLiteral("다른 작업이 이 글을 쓰고 있어 지우지 않았습니다. 그 작업이 "
                                                     "끝난 뒤 다시 지우세요."));
    }
    if (deleteItem(archivePath, toTrash)) {
        changed(archivePath, true);
        return true;
    }
    if (toTrash) {
        return fail(EntryError::Trash,
                    QStringLiteral("글을 휴지통으로 옮길 수 없어서 지우지 않았습니다.\n설정에서 휴지통 사용을 끄면 "
                                   "바로 지울 수 있습니다."));
    }
    return fail(EntryError::Delete, QStringLiteral("디렉토리의 경로가 너무 길어 파일을 삭제 할수 없습니다."));
}

}  // namespace tk
