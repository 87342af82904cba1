// Built twice, as the zip and as the unzip stand-in engine (RECORDING_ZIP set or not).
#include "recording_engine.h"

#include <cstring>

using namespace tk::engine;
using tk::test::Recording;

namespace {

Recording& recording() {
    static Recording r;
    return r;
}

void keepText(const char* name, const char* text) {
    if (text) {
        recording().texts[name] = text;
    }
}

template <typename T>
void keepRaw(const T* record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    recording().raw.assign(bytes, bytes + sizeof(T));
}

void runScript(Callback callback, void* caller) {
    Recording& r = recording();
    r.replies.clear();
    r.returns.clear();
    for (CallbackRecord record : r.script) {
        record.caller = caller;
        r.returns.push_back(callback(&record));
        r.replies.push_back(record);
    }
}

#ifdef RECORDING_ZIP
void keepZip(const ZipCommandCommon* c) {
    Recording& r = recording();
    r.texts.clear();
    r.oldSpecs.clear();
    r.specs.clear();
    r.exclusions.clear();
    keepText("password", c->password);
    keepText("storeSuffixes", c->storeSuffixes);
    keepText("archiveName", c->archiveName);
    if (r.version <= 150) {
        const auto* old = reinterpret_cast<const ZipCommandOld*>(c);
        keepRaw(old);
        for (int i = 0; i < c->specCount; ++i) {
            r.oldSpecs.push_back(old->specs[i] ? old->specs[i] : "<null>");
        }
        return;
    }
    const auto* cmd = reinterpret_cast<const ZipCommand*>(c);
    keepRaw(cmd);
    keepText("tempDir", cmd->tempDir);
    keepText("comment", cmd->comment);
    for (int i = 0; i < c->specCount; ++i) {
        const ZipFileSpec& s = cmd->specs[i];
        tk::test::RecordedSpec spec;
        if (s.spec) {
            spec.texts["spec"] = s.spec;
        }
        if (s.password) {
            spec.texts["password"] = s.password;
        }
        if (s.rootDir) {
            spec.texts["rootDir"] = s.rootDir;
        }
        spec.encrypt = s.encrypt;
        spec.recurse = s.recurse;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&s);
        spec.raw.assign(bytes, bytes + sizeof(s));
        r.specs.push_back(spec);
    }
    for (int i = 0; i < cmd->exclusionCount; ++i) {
        r.exclusions.push_back(cmd->exclusions[i]);
    }
}
#else
void keepUnzip(const UnzipCommandCommon* c) {
    Recording& r = recording();
    r.texts.clear();
    r.oldSpecs.clear();
    r.specs.clear();
    keepText("password", c->password);
    keepText("archiveName", c->archiveName);
    if (r.version <= 151) {
        const auto* old = reinterpret_cast<const UnzipCommandOld*>(c);
        keepRaw(old);
        for (int i = 0; i < c->specCount; ++i) {
            r.oldSpecs.push_back(old->specs[i] ? old->specs[i] : "<null>");
        }
        return;
    }
    const auto* cmd = reinterpret_cast<const UnzipCommand*>(c);
    keepRaw(cmd);
    keepText("baseDir", cmd->baseDir);
    for (int i = 0; i < c->specCount; ++i) {
        tk::test::RecordedSpec spec;
        if (cmd->specs[i].spec) {
            spec.texts["spec"] = cmd->specs[i].spec;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(&cmd->specs[i]);
        spec.raw.assign(bytes, bytes + sizeof(UnzipFileSpec));
        r.specs.push_back(spec);
    }
}
#endif

}  // namespace

extern "C" {

__attribute__((visibility("default"))) Recording* RecordingControl() {
    return &recording();
}

#ifdef RECORDING_ZIP
__attribute__((visibility("default"))) int32_t GetZipEngVersion() {
    return recording().version;
}
__attribute__((visibility("default"))) int32_t ZipEngExec(ZipCommandCommon* c) {
    ++recording().calls;
    keepZip(c);
    runScript(c->callback, c->caller);
    return recording().result;
}
#else
__attribute__((visibility("default"))) int32_t GetUnzEngVersion() {
    return recording().version;
}
__attribute__((visibility("default"))) int32_t UnzEngExec(UnzipCommandCommon* c) {
    ++recording().calls;
    keepUnzip(c);
    runScript(c->callback, c->caller);
    return recording().result;
}
#endif
}
