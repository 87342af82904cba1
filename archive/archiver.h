#pragma once

// TArchiver: keeps one zip archive's directory and comment, adds files to it and extracts files
// from it by driving the zip and unzip engines, and rewrites the archive comment.
#include "archive/archive_lock.h"
#include "archive/archiver_types.h"
#include "archive/engine_records.h"

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace tk {

class TArchiver final {
  public:
    TArchiver();
    ~TArchiver();
    TArchiver(const TArchiver&) = delete;
    TArchiver& operator=(const TArchiver&) = delete;

    // --- published properties ---
    bool Verbose() const { return verbose_; }
    void SetVerbose(bool v) { verbose_ = v; }
    bool Trace() const { return trace_; }
    void SetTrace(bool v) { trace_ = v; }
    int AddCompLevel() const { return addCompLevel_; }
    void SetAddCompLevel(int v) { addCompLevel_ = v; }
    AddOpts AddOptions() const { return addOptions_; }
    void SetAddOptions(AddOpts v) { addOptions_ = v; }
    const QString& ExtrBaseDir() const { return extrBaseDir_; }
    void SetExtrBaseDir(const QString& v) { extrBaseDir_ = v; }
    ExtrOpts ExtrOptions() const { return extrOptions_; }
    void SetExtrOptions(ExtrOpts v) { extrOptions_ = v; }
    SFXOpts SFXOptions() const { return sfxOptions_; }
    void SetSFXOptions(SFXOpts v) { sfxOptions_ = v; }
    const QStringList& FSpecArgs() const { return fSpecArgs_; }
    void SetFSpecArgs(const QStringList& v) { fSpecArgs_ = v; }
    const QStringList& FSpecArgsExcl() const { return fSpecArgsExcl_; }
    void SetFSpecArgsExcl(const QStringList& v) { fSpecArgsExcl_ = v; }
    bool Unattended() const { return unattended_; }
    void SetUnattended(bool v) { unattended_ = v; }
    const QString& ZipFileName() const { return zipFileName_; }
    void SetZipFileName(const QString& name);
    const QString& Password() const { return password_; }
    // Keeps at most 255 bytes in the program's code page.
    void SetPassword(const QString& v);
    const QString& SFXPath() const { return sfxPath_; }
    void SetSFXPath(const QString& v) { sfxPath_ = v; }
    const QString& EngineDirectory() const { return engineDirectory_; }
    void SetEngineDirectory(const QString& v);
    OvrOpts SFXOverWriteMode() const { return sfxOverWriteMode_; }
    void SetSFXOverWriteMode(OvrOpts v) { sfxOverWriteMode_ = v; }
    const QString& SFXCaption() const { return sfxCaption_; }
    void SetSFXCaption(const QString& v) { sfxCaption_ = v; }
    const QString& SFXDefaultDir() const { return sfxDefaultDir_; }
    void SetSFXDefaultDir(const QString& v) { sfxDefaultDir_ = v; }
    const QString& SFXCommandLine() const { return sfxCommandLine_; }
    void SetSFXCommandLine(const QString& v) { sfxCommandLine_ = v; }
    const QString& SFXMessage() const { return sfxMessage_; }
    void SetSFXMessage(const QString& v) { sfxMessage_ = v; }
    const QString& TempDir() const { return tempDir_; }
    void SetTempDir(const QString& v) { tempDir_ = v; }
    int KeepFreeOnDisk1() const { return keepFreeOnDisk1_; }
    void SetKeepFreeOnDisk1(int v) { keepFreeOnDisk1_ = v; }
    int MaxVolumeSize() const { return maxVolumeSize_; }
    void SetMaxVolumeSize(int v) { maxVolumeSize_ = v; }
    int MinFreeVolumeSize() const { return minFreeVolumeSize_; }
    void SetMinFreeVolumeSize(int v) { minFreeVolumeSize_ = v; }
    bool ConfirmErase() const { return confirmErase_; }
    void SetConfirmErase(bool v) { confirmErase_ = v; }
    CodePageOpts CodePage() const { return codePage_; }
    void SetCodePage(CodePageOpts v) { codePage_ = v; }
    DeleteOpts HowToDelete() const { return howToDelete_; }
    void SetHowToDelete(DeleteOpts v) { howToDelete_ = v; }
    QString VersionInfo() const { return QStringLiteral("1.60"); }
    void SetVersionInfo(const QString&) {}
    const QIcon& SFXIcon() const { return sfxIcon_; }
    void SetSFXIcon(const QIcon& v) { sfxIcon_ = v; }
    AddStoreExts AddStoreSuffixes() const { return addStoreSuffixes_; }
    void SetAddStoreSuffixes(AddStoreExts v) { addStoreSuffixes_ = v; }
    unsigned PasswordReqCount() const { return passwordReqCount_; }
    void SetPasswordReqCount(unsigned v) { passwordReqCount_ = v < 15 ? v : 15; }
    bool UseDirOnlyEntries() const { return useDirOnlyEntries_; }
    void SetUseDirOnlyEntries(bool v) { useDirOnlyEntries_ = v; }
    const QString& RootDir() const { return rootDir_; }
    void SetRootDir(const QString& v);
    // How long Add and the comment writer wait for another writer of the archive (ArchiveLock).
    int LockWaitMs() const { return lockWaitMs_; }
    void SetLockWaitMs(int v) { lockWaitMs_ = v < 0 ? 0 : v; }

    // --- events ---
    std::function<void(TArchiver* Sender)> OnDirUpdate;
    std::function<void(TArchiver* Sender, ProgressType ProgrType, const QString& Filename, int FileSize)> OnProgress;
    std::function<void(TArchiver* Sender, int ErrCode, const QString& Message)> OnMessage;
    std::function<void(TArchiver* Sender, QString& OldFileName, bool& IsChanged)> OnSetNewName;
    std::function<void(TArchiver* Sender, int SeqNo, const ArchiveDirEntry& ZipEntry)> OnNewName;
    std::function<void(TArchiver* Sender, bool IsZipAction, QString& NewPassword, const QString& ForFile,
                       unsigned& RepeatCount, TPasswordButton& Action)>
        OnPasswordError;
    std::function<void(TArchiver* Sender, const QString& ForFile, unsigned FoundCRC, unsigned ExpectedCRC,
                       bool& DoExtract)>
        OnCRC32Error;
    std::function<void(TArchiver* Sender, const QString& ForFile, bool IsOlder, bool& DoOverwrite, int DirIndex)>
        OnExtractOverwrite;
    std::function<void(TArchiver* Sender, const QString& ForFile, UnZipSkipTypes SkipType, int ExtError)>
        OnExtractSkipped;
    std::function<void(TArchiver* Sender, const QString& ForFile, QString& FileComment, bool& IsChanged)> OnFileComment;
    // Copying and disk spanning are not built; these events are never raised.
    std::function<void(TArchiver* Sender, const QString& ForFile, bool& DoOverwrite)> OnCopyZipOverwrite;
    std::function<void(TArchiver* Sender, int DiskSeqNo, int DiskTotal, QString& Drive, bool& Cancel)> OnGetNextDisk;
    std::function<void(TArchiver* Sender, int PreviousDisk, QString& VolumeName, bool& Cancel)> OnStatusDisk;

    // --- operations ---
    void Add();
    void Extract();
    void ReadDirectory();
    const QString& ZipComment() const { return zipComment_; }
    void SetZipComment(const QString& comment);
    // The comment bytes as they stand at the end of the archive.
    const QByteArray& ZipCommentBytes() const { return zipCommentBytes_; }

    void LoadZipEngine();
    void LoadUnzipEngine();
    void UnloadZipEngine();
    void UnloadUnzipEngine();
    bool ZipEngineLoaded() const { return zipEngine_.handle != nullptr; }
    bool UnzipEngineLoaded() const { return unzipEngine_.handle != nullptr; }
    // Loaded with both entry points: an Add or Extract can run.
    bool ZipEngineReady() const { return zipEngine_.exec && zipEngine_.version; }
    bool UnzipEngineReady() const { return unzipEngine_.exec && unzipEngine_.version; }
    // The engine's version, loading it for the question when needed; 0 when it cannot be loaded.
    int ZipEngineVersion();
    int UnzipEngineVersion();

    // --- run-time state ---
    int EntryCount() const { return static_cast<int>(directory_.size()); }
    const ArchiveDirEntry& DirEntry(int index) const { return *directory_.at(static_cast<size_t>(index)); }
    int LastErrorCode() const { return lastErrorCode_; }
    const QString& LastErrorMessage() const { return lastErrorMessage_; }
    int HandledCount() const { return handledCount_; }
    bool CancelRequested() const { return cancelRequested_; }
    bool AddRunning() const { return addRunning_; }
    bool ExtractRunning() const { return extractRunning_; }
    // Where the last directory read found things; the comment writer works from these.
    qint64 EndRecordPosition() const { return endRecordPos_; }
    qint64 EndOfArchive() const { return endOfArchive_; }
    qint64 CentralDirOffset() const { return centralDirOffset_; }
    bool MultiVolume() const { return multiVolume_; }

    // Reports message number id (with an optional detail): a box unless Unattended, and OnMessage.
    void ReportMessage(int id, const QString& detail = {});
    void ReportException(const EArchiver& e);

    // Engine callback entry: dispatches one callback record to the events.
    static int32_t engineCallback(engine::CallbackRecord* record);

  private:
    struct Engine {
        void* handle = nullptr;
        void* exec = nullptr;
        engine::VersionFn version = nullptr;
    };
    struct BuiltZip;
    struct BuiltUnzip;

    void loadEngine(Engine& engine, bool zip);
    void clearDirectory();
    void readDirectoryOrThrow();
    void writeCommentOrThrow(const QByteArray& bytes);
    void busyOn();
    void busyOff();
    int runZipEngine(int version, const QByteArray& comment);
    // Takes the archive's writers' lock, or reports why not (11050 busy, 11051 no lock file).
    bool takeWriteLock(ArchiveLock& lock);
    QByteArray currentCommentBytes() const;
    void refreshEndRecordOrThrow();
    int runUnzipEngine(int version);
    int32_t dispatch(engine::CallbackRecord& record);
    void progress(ProgressType type, const QString& name, int size);
    void engineMessage(const engine::CallbackRecord& record, const QString& text);
    void replyNewName(engine::CallbackRecord& record, const QString& text);
    void replyPassword(engine::CallbackRecord& record, QString& text);
    void replyCrcError(engine::CallbackRecord& record, const QString& text);
    void replyOverwrite(engine::CallbackRecord& record, const QString& text);
    void reportSkipped(const engine::CallbackRecord& record, const QString& text);
    void replyFileComment(engine::CallbackRecord& record, const QString& text);
    QString storeSuffixText() const;
    QString baseDirForEngine() const;
    QString programFolder() const;

    bool verbose_ = false;
    bool trace_ = false;
    int addCompLevel_ = 9;
    AddOpts addOptions_;
    QString extrBaseDir_;
    ExtrOpts extrOptions_;
    SFXOpts sfxOptions_{SFXOptsEnum::SFXCheckSize};
    QStringList fSpecArgs_;
    QStringList fSpecArgsExcl_;
    bool unattended_ = false;
    QString zipFileName_;
    QString password_;
    QString sfxPath_ = QStringLiteral("SFXStub.bin");
    QString engineDirectory_;
    OvrOpts sfxOverWriteMode_ = OvrOpts::OvrConfirm;
    QString sfxCaption_ = QStringLiteral("Self-extracting Archive");
    QString sfxDefaultDir_, sfxCommandLine_, sfxMessage_;
    QString tempDir_;
    int keepFreeOnDisk1_ = 0;
    int maxVolumeSize_ = 0;
    int minFreeVolumeSize_ = 65536;
    bool confirmErase_ = true;
    CodePageOpts codePage_ = CodePageOpts::cpAuto;
    DeleteOpts howToDelete_ = DeleteOpts::htdAllowUndo;
    QIcon sfxIcon_;
    AddStoreExts addStoreSuffixes_;
    unsigned passwordReqCount_ = 1;
    bool useDirOnlyEntries_ = false;
    QString rootDir_;
    int lockWaitMs_ = ArchiveLock::kWaitSeconds * 1000;

    QString zipComment_;
    QByteArray zipCommentBytes_;
    std::vector<std::unique_ptr<ArchiveDirEntry>> directory_;
    qint64 endRecordPos_ = 0;
    qint64 endOfArchive_ = 0;
    qint64 centralDirOffset_ = 0;
    bool multiVolume_ = false;
    uint8_t lastHostSystem_ = 0;
    uint8_t lastSpecVersion_ = 0;
    int lastErrorCode_ = 0;
    QString lastErrorMessage_;
    int handledCount_ = 0;
    qint64 totalSize_ = 0;
    bool cancelRequested_ = false;
    bool addRunning_ = false;
    bool extractRunning_ = false;
    int busyCount_ = 0;
    Engine zipEngine_;
    Engine unzipEngine_;
};

// Removes the temporary files that interrupted writes left in folder (not below it), and lock files
// no one holds; a writer at work keeps its own. Returns how many temporary files were removed.
// Call at start for every folder that holds entry archives.
int RemoveArchiveLeftovers(const QString& folder);

}  // namespace tk
