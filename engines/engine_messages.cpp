#include "engines/engine_messages.h"

#include "archive/archiver_types.h"
#include "engines/engine_context.h"
#include "engines/extract_limits.h"

#include <zip.h>

#include <cstring>

namespace tk::engine {
namespace {

constexpr size_t kNameInMessage = 90;

const char* methodName(uint16_t method) {
    switch (method) {
        case 1:
            return "Shrink";
        case 2:
        case 3:
        case 4:
        case 5:
            return "Reduce";
        case 6:
            return "Implode";
        case 9:
            return "Deflate64";
        case 10:
            return "DCL Implode";
        case 12:
            return "BZIP2";
        case 14:
            return "LZMA";
        case 18:
            return "TERSE";
        case 19:
            return "LZ77";
        case 20:
        case 93:
            return "Zstandard";
        case 94:
            return "MP3";
        case 95:
            return "XZ";
        case 96:
            return "JPEG";
        case 97:
            return "WavPack";
        case 98:
            return "PPMd";
        default:
            return nullptr;
    }
}

}  // namespace

std::string componentMessage(int id, const std::string& detail) {
    return archiverMessageText(id, QString::fromStdString(detail)).toStdString();
}

std::string memberMessage(int id, const std::string& name, const std::string& more) {
    std::string detail = "\"" + elided(name, kNameInMessage) + "\"";
    if (!more.empty()) {
        detail += ", " + more;
    }
    return componentMessage(id, detail);
}

std::string methodText(uint16_t method) {
    const char* name = methodName(method);
    const std::string number = std::to_string(method) + "번";
    return name ? std::string(name) + " 방식(" + number + ")" : "알 수 없는 방식(" + number + ")";
}

std::string zipErrorText(int zipError, int systemError) {
    switch (zipError) {
        case ZIP_ER_EXISTS:
            return "이름이 같은 파일이 둘 이상 있음";
        case ZIP_ER_INCONS:
            return "구조가 앞뒤가 맞지 않음";
        case ZIP_ER_NOZIP:
            return "압축 파일이 아님";
        case ZIP_ER_MEMORY:
            return "메모리가 부족함";
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_NOPASSWD:
            return "암호가 맞지 않음";
        case ZIP_ER_CRC:
            return "CRC 검사에서 손상된 것으로 나옴";
        case ZIP_ER_ZLIB:
        case ZIP_ER_COMPRESSED_DATA:
        case ZIP_ER_EOF:
            return "압축된 데이터가 손상됨";
        case ZIP_ER_COMPNOTSUPP:
            return "풀 수 없는 압축 방식임";
        case ZIP_ER_ENCRNOTSUPP:
            return "풀 수 없는 암호화 방식임";
        case ZIP_ER_CANCELLED:
            return "사용자가 취소함";
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
        case ZIP_ER_TMPOPEN:
        case ZIP_ER_WRITE:
        case ZIP_ER_CLOSE:
        case ZIP_ER_RENAME:
        case ZIP_ER_REMOVE:
            return systemError != 0 ? engine::systemError(systemError) : "읽거나 쓸 수 없음";
        default:
            return "손상됨";
    }
}

std::string zipErrorText(zip_error_t* error) {
    return zipErrorText(zip_error_code_zip(error), zip_error_code_system(error));
}

std::string addRefusedMessage(int zipError, int systemError) {
    if (zipError == ZIP_ER_MEMORY) {
        return componentMessage(10103);
    }
    return componentMessage(10306, zipErrorText(zipError, systemError));
}

std::string openFailureMessage(int zipError, const std::string& detail) {
    switch (zipError) {
        case ZIP_ER_EXISTS:
            return componentMessage(kMsgDuplicateName, detail);
        case ZIP_ER_INCONS:
        case ZIP_ER_NOZIP:
            return componentMessage(kMsgInconsistent, detail);
        case ZIP_ER_MEMORY:
            return componentMessage(10103);
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return componentMessage(11001, detail);
        default:
            return componentMessage(kMsgDamagedMember, detail);
    }
}

}  // namespace tk::engine
