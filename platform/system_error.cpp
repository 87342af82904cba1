#include "platform/system_error.h"

#include <cerrno>

namespace tk::platform {

QString systemErrorText(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("디스크 공간이 부족함");
        case EACCES:
        case EPERM:
            return QStringLiteral("권한이 없음");
        case EROFS:
            return QStringLiteral("읽기 전용 디스크임");
        case ENOENT:
            return QStringLiteral("파일이나 폴더가 없음");
        case EEXIST:
            return QStringLiteral("같은 이름이 이미 있음");
        case EISDIR:
            return QStringLiteral("폴더임");
        case ENOTDIR:
            return QStringLiteral("경로 가운데 폴더가 아닌 것이 있음");
        case ENAMETOOLONG:
            return QStringLiteral("이름이 너무 긺");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("열린 파일이 너무 많음");
        case EFBIG:
            return QStringLiteral("파일이 너무 큼");
        case EIO:
            return QStringLiteral("디스크를 읽거나 쓰다가 입출력 오류가 남");
        case ENOMEM:
            return QStringLiteral("메모리가 부족함");
        case EXDEV:
            return QStringLiteral("다른 디스크로는 옮길 수 없음");
        case EBUSY:
            return QStringLiteral("다른 프로그램이 쓰고 있음");
        case ENOTEMPTY:
            return QStringLiteral("폴더가 비어 있지 않음");
        case ELOOP:
            return QStringLiteral("링크가 너무 여러 번 이어짐");
        default:
            return QStringLiteral("시스템 오류 %1").arg(error);
    }
}

}  // namespace tk::platform
