// Building the engines' command records and running them.
#include "archive/archiver.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <deque>

namespace tk {
namespace {

using namespace tk::engine;

// Owns every text a record points to, for the duration of one engine call.
class TextStore final {
  public:
    const char* add(const QByteArray& bytes) {
        texts_.push_back(bytes);
        return texts_.back().constData();
    }
    const char* addOrNull(const QByteArray& bytes) { return bytes.isEmpty() ? nullptr : add(bytes); }

  private:
    std::deque<QByteArray> texts_;
};

int32_t flag(bool b) {
    return b ? kTrue : 0;
}

// One line of FSpecArgs: ">" or "|" first forces recursion on or off; "<" followed by text gives
// the files of the line their own password; a final "<" stays part of the file spec.
struct SpecLine {
    QString spec;
    int recurse = -1;  // -1: the record's flag
    enum class Pw { Record, Own, None } pw = Pw::Record;
    QString password;
};

SpecLine parseSpecLine(const QString& line) {
    SpecLine out;
    QString rest = line;
    if (rest.startsWith(QLatin1Char('>'))) {
        out.recurse = 1;
        rest.remove(0, 1);
    } else if (rest.startsWith(QLatin1Char('|'))) {
        out.recurse = 0;
        rest.remove(0, 1);
    }
    const qsizetype lt = rest.indexOf(QLatin1Char('<'));
    if (lt >= 0 && lt == rest.size() - 1) {
        out.pw = SpecLine::Pw::None;
        out.spec = rest;
    } else if (lt >= 0) {
        out.pw = SpecLine::Pw::Own;
        out.password = rest.mid(lt + 1);
        out.spec = rest.left(lt);
    } else {
        out.spec = rest;
    }
    return out;
}

// One file-spec record per line; a line's own password and recursion override the record's.
std::vector<ZipFileSpec> buildZipSpecs(const QStringList& lines, const ZipCommandCommon& c, const QString& rootDir,
                                       TextStore& store) {
    std::vector<ZipFileSpec> specs(static_cast<size_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const SpecLine line = parseSpecLine(lines.at(i));
        ZipFileSpec& s = specs[static_cast<size_t>(i)];
        s.spec = store.add(QFile::encodeName(line.spec));
        if (line.pw == SpecLine::Pw::Own) {
            s.password = store.add(line.password.toUtf8());
            s.encrypt = 0x0000FFFF;
        } else if (line.pw == SpecLine::Pw::None) {
            s.password = nullptr;
            s.encrypt = 0;
        } else {
            s.password = c.password ? store.add(c.password) : nullptr;
            s.encrypt = c.encrypt;
        }
        s.recurse = line.recurse < 0 ? c.recurse : (line.recurse ? 0xFFFF : 0);
        s.rootDir = store.addOrNull(QFile::encodeName(rootDir));
    }
    return specs;
}

}  // namespace

QString TArchiver::storeSuffixText() const {
    QStringList parts;
    for (int i = 0; i <= static_cast<int>(AddStoreSuffixEnum::assEXE); ++i) {
        if (addStoreSuffixes_.contains(static_cast<AddStoreSuffixEnum>(i))) {
            parts.append(QLatin1Char('.') + QLatin1String(kStoreSuffixes[i]));
        }
    }
    return parts.join(QLatin1Char(':'));
}

QString TArchiver::baseDirForEngine() const {
    if (!extrBaseDir_.isEmpty() && QFileInfo(extrBaseDir_).isDir()) {
        return extrBaseDir_;
    }
    return QDir::currentPath();
}

int TArchiver::runZipEngine(int version, const QByteArray& comment) {
    TextStore store;
    auto fillCommon = [&](ZipCommandCommon& c, int count) {
        const AddOpts o = addOptions_;
        c.ownerWindow = nullptr;  // no native window owns the engines' dialogs here
        c.caller = this;
        c.interfaceVersion = kInterfaceVersion;
        c.callback = &TArchiver::engineCallback;
        c.trace = flag(trace_);
        // The whole password goes to both engines: cutting it here would encrypt with a password
        // that extraction, which receives it whole, never reproduces.
        c.password = store.addOrNull(password_.toUtf8());
        c.storeSuffixes = store.addOrNull(storeSuffixText().toUtf8());
        c.encrypt = flag(o.contains(AddOptsEnum::AddEncrypt));
        c.hiddenFiles = flag(o.contains(AddOptsEnum::AddHiddenFiles));
        c.volumeLabel = flag(o.contains(AddOptsEnum::AddVolume));
        c.noDirEntries = flag(!o.contains(AddOptsEnum::AddSeparateDirs));
        c.verbose = flag(verbose_ || trace_);
        c.alwaysTrue76 = kTrue;
        c.compLevel = addCompLevel_;
        c.junkDirNames = flag(!o.contains(AddOptsEnum::AddDirNames));
        c.recurse = o.contains(AddOptsEnum::AddRecurseDirs) ? 0xFFFF : 0;
        c.alwaysTrue100 = kTrue;
        c.dosNames = flag(o.contains(AddOptsEnum::AddForceDOS));
        c.move = flag(o.contains(AddOptsEnum::AddMove));
        c.update = flag(o.contains(AddOptsEnum::AddUpdate));
        c.freshen = flag(o.contains(AddOptsEnum::AddFreshen) && !o.contains(AddOptsEnum::AddUpdate));
        c.zipTime = flag(o.contains(AddOptsEnum::AddZipTime));
        c.specCount = count;
        c.archiveName = store.add(QFile::encodeName(zipFileName_));
    };
    const auto exec = reinterpret_cast<ZipExecFn>(zipEngine_.exec);
    if (version <= 150) {
        auto record = std::make_unique<ZipCommandOld>();
        const int count = static_cast<int>(std::min<qsizetype>(fSpecArgs_.size(), kMaxOldSpecs));
        fillCommon(record->c, count);
        record->seven = 7;
        for (int i = 0; i < count; ++i) {
            record->specs[i] = store.add(fSpecArgs_.at(i).toUtf8());
        }
        return exec(&record->c);
    }
    auto record = std::make_unique<ZipCommand>();
    const int count = static_cast<int>(fSpecArgs_.size());
    fillCommon(record->c, count);
    const bool v160 = version >= 160;
    record->tempDir = store.addOrNull(QFile::encodeName(tempDir_));
    record->comment = v160 ? store.addOrNull(comment) : nullptr;
    record->archiveOnly = v160 && addOptions_.contains(AddOptsEnum::AddArchiveOnly) ? 1 : 0;
    record->resetArchive = v160 && addOptions_.contains(AddOptsEnum::AddResetArchive) ? 1 : 0;
    std::vector<ZipFileSpec> specs = buildZipSpecs(fSpecArgs_, record->c, rootDir_, store);
    record->specs = count > 0 ? specs.data() : nullptr;
    std::vector<const char*> exclusions;
    if (v160) {
        for (const QString& e : fSpecArgsExcl_) {
            exclusions.push_back(store.add(QFile::encodeName(e)));
        }
        record->exclusionCount = static_cast<int32_t>(exclusions.size());
        record->exclusions = exclusions.empty() ? nullptr : exclusions.data();
        record->undoDelete = flag(howToDelete_ == DeleteOpts::htdAllowUndo);
        record->codePage = codePage_ == CodePageOpts::cpOEM ? 2 : 0;
    }
    record->seven = 7;
    return exec(&record->c);
}

int TArchiver::runUnzipEngine(int version) {
    TextStore store;
    const int count = static_cast<int>(fSpecArgs_.size());
    auto fillCommon = [&](UnzipCommandCommon& c, int n) {
        const ExtrOpts o = extrOptions_;
        c.ownerWindow = nullptr;
        c.caller = this;
        c.interfaceVersion = kInterfaceVersion;
        c.callback = &TArchiver::engineCallback;
        c.trace = flag(trace_);
        QByteArray password = password_.toUtf8();
        if (version < 160 && unattended_ && password.isEmpty() && addOptions_.contains(AddOptsEnum::AddEncrypt)) {
            password = QByteArray(80, '*');
        }
        c.password = store.add(password);
        c.testOnly = flag(o.contains(ExtrOptsEnum::ExtrTest));
        c.alwaysTrue56 = kTrue;
        c.verbose = flag(verbose_ || trace_);
        c.update = flag(o.contains(ExtrOptsEnum::ExtrUpdate));
        c.freshen = flag(o.contains(ExtrOptsEnum::ExtrFreshen) && !o.contains(ExtrOptsEnum::ExtrUpdate));
        c.dirNames = flag(o.contains(ExtrOptsEnum::ExtrDirNames));
        c.overwrite = flag(o.contains(ExtrOptsEnum::ExtrOverWrite));
        c.specCount = n;
        c.archiveName = store.add(QFile::encodeName(zipFileName_));
    };
    const auto exec = reinterpret_cast<UnzipExecFn>(unzipEngine_.exec);
    if (version <= 151) {
        auto record = std::make_unique<UnzipCommandOld>();
        const int n = std::min(count, kMaxOldSpecs);
        fillCommon(record->c, n);
        record->seven = 7;
        for (int i = 0; i < n; ++i) {
            record->specs[i] = store.add(QFile::encodeName(fSpecArgs_.at(i)));
        }
        return exec(&record->c);
    }
    auto record = std::make_unique<UnzipCommand>();
    fillCommon(record->c, count);
    std::vector<UnzipFileSpec> specs(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        specs[static_cast<size_t>(i)].spec = store.add(QFile::encodeName(fSpecArgs_.at(i)));
    }
    record->specs = count > 0 ? specs.data() : nullptr;
    record->passwordReqCount = version >= 160 ? static_cast<int32_t>(passwordReqCount_) : 0;
    std::vector<char> baseDir(kBaseDirSize, '\0');
    const QByteArray base = QFile::encodeName(baseDirForEngine());
    std::memcpy(baseDir.data(), base.constData(), std::min<size_t>(static_cast<size_t>(base.size()), kBaseDirSize - 1));
    record->baseDir = baseDir.data();
    record->seven = 7;
    return exec(&record->c);
}

}  // namespace tk
