#pragma once

// A stand-in engine for the tests: it reports a chosen version, keeps a copy of every record and
// text the component sends, and makes the callbacks a test scripts.
#include "archive/engine_records.h"

#include <map>
#include <string>
#include <vector>

namespace tk::test {

struct RecordedSpec {
    std::map<std::string, std::string> texts;  // "spec", "password", "rootDir"; absent when null
    int32_t encrypt = 0;
    uint16_t recurse = 0;
    std::vector<unsigned char> raw;
};

struct Recording {
    int32_t version = 160;
    int32_t result = 0;
    std::vector<engine::CallbackRecord> script;   // callbacks to make during Exec
    std::vector<engine::CallbackRecord> replies;  // the records as the component left them
    std::vector<int32_t> returns;                 // what the callback routine returned
    int calls = 0;
    std::vector<unsigned char> raw;            // the command record, byte for byte
    std::map<std::string, std::string> texts;  // the record's texts by field name; absent when null
    std::vector<std::string> oldSpecs;         // the text array of the older layouts
    std::vector<RecordedSpec> specs;           // the file-spec records of the newer layouts
    std::vector<std::string> exclusions;
};

using RecordingControlFn = Recording* (*)();

}  // namespace tk::test
