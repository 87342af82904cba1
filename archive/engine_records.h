#pragma once

// The records exchanged with the zip and unzip engines. Fields keep their order, widths and packing;
// pointer fields are native pointers, so on a 64-bit build every offset after the first pointer
// grows. Truth values are 32-bit -1 and 0 unless a field is 16 bits wide.
#include <cstddef>
#include <cstdint>

namespace tk::engine {

inline constexpr int32_t kInterfaceVersion = 160;
inline constexpr int32_t kTrue = -1;
inline constexpr int kMaxOldSpecs = 4097;
inline constexpr int kCallbackTextSize = 512;

struct CallbackRecord;
using Callback = int32_t (*)(CallbackRecord* record);

#pragma pack(push, 1)

struct CallbackRecord {
    uint32_t reserved0;
    void* caller;         // handed back from the command record
    uint32_t reserved12;  // not read
    int32_t zipAction;    // non-zero when the request comes from the zip engine
    int32_t actionCode;   // 0..13; a reply for code 8
    int32_t arg1;
    int32_t arg2;
    char text[kCallbackTextSize];
};

struct ZipCommandCommon {
    void* ownerWindow;
    void* caller;
    int32_t interfaceVersion;
    Callback callback;
    int32_t trace;
    const char* password;
    const char* storeSuffixes;  // ".zip:.gif", or null
    int32_t encrypt;
    int32_t hiddenFiles;
    int32_t volumeLabel;
    int32_t reserved60;
    int32_t noDirEntries;
    int32_t reserved68;
    int32_t verbose;
    int32_t alwaysTrue76;
    int32_t compLevel;
    int32_t reserved84;
    int32_t reserved88;
    int32_t junkDirNames;
    uint16_t recurse;
    uint16_t reserved98;
    int32_t alwaysTrue100;
    int32_t dosNames;
    int32_t move;
    int32_t reserved112;
    int32_t update;
    int32_t freshen;
    int32_t reserved124;
    int32_t zipTime;
    uint8_t reserved132[8];
    int32_t specCount;
    const char* archiveName;
};

// Layout for zip engines up to version 150.
struct ZipCommandOld {
    ZipCommandCommon c;
    int32_t seven;
    const char* specs[kMaxOldSpecs];
};

struct ZipFileSpec {
    const char* spec;
    uint8_t reserved8[8];
    const char* password;
    int32_t encrypt;  // 32-bit flag, or 0x0000FFFF for a line with its own password
    uint16_t recurse;
    uint8_t reserved30[14];
    const char* rootDir;
    uint8_t reserved52[64];
};

// Layout for zip engines from version 151.
struct ZipCommand {
    ZipCommandCommon c;
    const char* tempDir;
    const char* comment;
    uint16_t archiveOnly;
    uint16_t resetArchive;
    ZipFileSpec* specs;
    int32_t reserved180;
    int32_t exclusionCount;
    const char* const* exclusions;
    int32_t streamInFlag;
    void* streamInAddress;
    int32_t streamInSize;
    int32_t streamOutFlag;
    void* streamOutAddress;
    int32_t streamOutSize;
    int32_t streamOutExtra[2];
    int32_t undoDelete;
    uint16_t codePage;
    uint8_t reserved242[18];
    int32_t seven;
};

struct UnzipCommandCommon {
    void* ownerWindow;
    void* caller;
    int32_t interfaceVersion;
    Callback callback;
    int32_t trace;
    int32_t reserved32;
    const char* password;
    int32_t testOnly;
    uint8_t reserved48[8];
    int32_t alwaysTrue56;
    int32_t verbose;
    int32_t update;
    int32_t freshen;
    int32_t dirNames;
    int32_t overwrite;
    int32_t specCount;
    const char* archiveName;
};

// Layout for unzip engines up to version 151.
struct UnzipCommandOld {
    UnzipCommandCommon c;
    int32_t seven;
    const char* specs[kMaxOldSpecs];
};

struct UnzipFileSpec {
    const char* spec;
    uint8_t reserved[68];
};

// Layout for unzip engines from version 152.
struct UnzipCommand {
    UnzipCommandCommon c;
    UnzipFileSpec* specs;
    int32_t reserved100;
    int32_t streamOutFlag;
    void* streamOutAddress;
    int32_t streamOutSize;
    int32_t streamInFlag;
    void* streamInAddress;
    int32_t streamInSize;
    int32_t passwordReqCount;
    char* baseDir;  // a buffer of kBaseDirSize bytes
    uint8_t reserved148[32];
    int32_t seven;
};

#pragma pack(pop)

// Paths here are longer than the design's 260 characters.
inline constexpr size_t kBaseDirSize = 4097;

static_assert(sizeof(void*) == 8, "the record offsets below are those of a 64-bit build");

static_assert(offsetof(CallbackRecord, caller) == 4);
static_assert(offsetof(CallbackRecord, reserved12) == 12);
static_assert(offsetof(CallbackRecord, zipAction) == 16);
static_assert(offsetof(CallbackRecord, actionCode) == 20);
static_assert(offsetof(CallbackRecord, arg1) == 24);
static_assert(offsetof(CallbackRecord, arg2) == 28);
static_assert(offsetof(CallbackRecord, text) == 32);
static_assert(sizeof(CallbackRecord) == 544);

static_assert(offsetof(ZipCommandCommon, caller) == 8);
static_assert(offsetof(ZipCommandCommon, interfaceVersion) == 16);
static_assert(offsetof(ZipCommandCommon, callback) == 20);
static_assert(offsetof(ZipCommandCommon, trace) == 28);
static_assert(offsetof(ZipCommandCommon, password) == 32);
static_assert(offsetof(ZipCommandCommon, storeSuffixes) == 40);
static_assert(offsetof(ZipCommandCommon, encrypt) == 48);
static_assert(offsetof(ZipCommandCommon, hiddenFiles) == 52);
static_assert(offsetof(ZipCommandCommon, volumeLabel) == 56);
static_assert(offsetof(ZipCommandCommon, reserved60) == 60);
static_assert(offsetof(ZipCommandCommon, noDirEntries) == 64);
static_assert(offsetof(ZipCommandCommon, reserved68) == 68);
static_assert(offsetof(ZipCommandCommon, verbose) == 72);
static_assert(offsetof(ZipCommandCommon, alwaysTrue76) == 76);
static_assert(offsetof(ZipCommandCommon, compLevel) == 80);
static_assert(offsetof(ZipCommandCommon, reserved84) == 84);
static_assert(offsetof(ZipCommandCommon, reserved88) == 88);
static_assert(offsetof(ZipCommandCommon, junkDirNames) == 92);
static_assert(offsetof(ZipCommandCommon, recurse) == 96);
static_assert(offsetof(ZipCommandCommon, reserved98) == 98);
static_assert(offsetof(ZipCommandCommon, alwaysTrue100) == 100);
static_assert(offsetof(ZipCommandCommon, dosNames) == 104);
static_assert(offsetof(ZipCommandCommon, move) == 108);
static_assert(offsetof(ZipCommandCommon, reserved112) == 112);
static_assert(offsetof(ZipCommandCommon, update) == 116);
static_assert(offsetof(ZipCommandCommon, freshen) == 120);
static_assert(offsetof(ZipCommandCommon, reserved124) == 124);
static_assert(offsetof(ZipCommandCommon, zipTime) == 128);
static_assert(offsetof(ZipCommandCommon, reserved132) == 132);
static_assert(offsetof(ZipCommandCommon, specCount) == 140);
static_assert(offsetof(ZipCommandCommon, archiveName) == 144);
static_assert(sizeof(ZipCommandCommon) == 152);

static_assert(offsetof(ZipCommandOld, seven) == 152);
static_assert(offsetof(ZipCommandOld, specs) == 156);
static_assert(sizeof(ZipCommandOld) == 156 + 8 * kMaxOldSpecs);

static_assert(offsetof(ZipFileSpec, reserved8) == 8);
static_assert(offsetof(ZipFileSpec, password) == 16);
static_assert(offsetof(ZipFileSpec, encrypt) == 24);
static_assert(offsetof(ZipFileSpec, recurse) == 28);
static_assert(offsetof(ZipFileSpec, reserved30) == 30);
static_assert(offsetof(ZipFileSpec, rootDir) == 44);
static_assert(offsetof(ZipFileSpec, reserved52) == 52);
static_assert(sizeof(ZipFileSpec) == 116);

static_assert(offsetof(ZipCommand, tempDir) == 152);
static_assert(offsetof(ZipCommand, comment) == 160);
static_assert(offsetof(ZipCommand, archiveOnly) == 168);
static_assert(offsetof(ZipCommand, resetArchive) == 170);
static_assert(offsetof(ZipCommand, specs) == 172);
static_assert(offsetof(ZipCommand, reserved180) == 180);
static_assert(offsetof(ZipCommand, exclusionCount) == 184);
static_assert(offsetof(ZipCommand, exclusions) == 188);
static_assert(offsetof(ZipCommand, streamInFlag) == 196);
static_assert(offsetof(ZipCommand, streamInAddress) == 200);
static_assert(offsetof(ZipCommand, streamInSize) == 208);
static_assert(offsetof(ZipCommand, streamOutFlag) == 212);
static_assert(offsetof(ZipCommand, streamOutAddress) == 216);
static_assert(offsetof(ZipCommand, streamOutSize) == 224);
static_assert(offsetof(ZipCommand, streamOutExtra) == 228);
static_assert(offsetof(ZipCommand, undoDelete) == 236);
static_assert(offsetof(ZipCommand, codePage) == 240);
static_assert(offsetof(ZipCommand, reserved242) == 242);
static_assert(offsetof(ZipCommand, seven) == 260);
static_assert(sizeof(ZipCommand) == 264);

static_assert(offsetof(UnzipCommandCommon, caller) == 8);
static_assert(offsetof(UnzipCommandCommon, interfaceVersion) == 16);
static_assert(offsetof(UnzipCommandCommon, callback) == 20);
static_assert(offsetof(UnzipCommandCommon, trace) == 28);
static_assert(offsetof(UnzipCommandCommon, reserved32) == 32);
static_assert(offsetof(UnzipCommandCommon, password) == 36);
static_assert(offsetof(UnzipCommandCommon, testOnly) == 44);
static_assert(offsetof(UnzipCommandCommon, reserved48) == 48);
static_assert(offsetof(UnzipCommandCommon, alwaysTrue56) == 56);
static_assert(offsetof(UnzipCommandCommon, verbose) == 60);
static_assert(offsetof(UnzipCommandCommon, update) == 64);
static_assert(offsetof(UnzipCommandCommon, freshen) == 68);
static_assert(offsetof(UnzipCommandCommon, dirNames) == 72);
static_assert(offsetof(UnzipCommandCommon, overwrite) == 76);
static_assert(offsetof(UnzipCommandCommon, specCount) == 80);
static_assert(offsetof(UnzipCommandCommon, archiveName) == 84);
static_assert(sizeof(UnzipCommandCommon) == 92);

static_assert(offsetof(UnzipCommandOld, seven) == 92);
static_assert(offsetof(UnzipCommandOld, specs) == 96);
static_assert(sizeof(UnzipCommandOld) == 96 + 8 * kMaxOldSpecs);

static_assert(offsetof(UnzipFileSpec, reserved) == 8);
static_assert(sizeof(UnzipFileSpec) == 76);

static_assert(offsetof(UnzipCommand, specs) == 92);
static_assert(offsetof(UnzipCommand, reserved100) == 100);
static_assert(offsetof(UnzipCommand, streamOutFlag) == 104);
static_assert(offsetof(UnzipCommand, streamOutAddress) == 108);
static_assert(offsetof(UnzipCommand, streamOutSize) == 116);
static_assert(offsetof(UnzipCommand, streamInFlag) == 120);
static_assert(offsetof(UnzipCommand, streamInAddress) == 124);
static_assert(offsetof(UnzipCommand, streamInSize) == 132);
static_assert(offsetof(UnzipCommand, passwordReqCount) == 136);
static_assert(offsetof(UnzipCommand, baseDir) == 140);
static_assert(offsetof(UnzipCommand, reserved148) == 148);
static_assert(offsetof(UnzipCommand, seven) == 180);
static_assert(sizeof(UnzipCommand) == 184);

// Callback action codes.
enum CallbackCode : int32_t {
    kCbNone = 0,
    kCbFileBegins = 1,
    kCbBytesProcessed = 2,
    kCbBatchFinished = 3,
    kCbMessage = 4,
    kCbFileCount = 5,
    kCbTotalSize = 6,
    kCbNewName = 7,
    kCbPassword = 8,
    kCbCrcError = 9,
    kCbOverwrite = 10,
    kCbSkipped = 11,
    kCbFileComment = 12,
    kCbMemoryNeeded = 13,
};

// Entry point types.
using ZipExecFn = int32_t (*)(ZipCommandCommon* record);
using UnzipExecFn = int32_t (*)(UnzipCommandCommon* record);
using VersionFn = int32_t (*)();

// Temporary files of an unfinished write are named "." + archive name + this marker + six
// characters, so that a crash never leaves something that looks like an entry archive.
inline constexpr const char* kTempMarker = ".tkpart-";
// The unzip engine's closing message when a member could not be extracted with the password given;
// the program takes it as a wrong password.
inline constexpr const char* kWarningsGiven = "warnings were given";

}  // namespace tk::engine
