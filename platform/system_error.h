#pragma once

#include <QString>

namespace tk::platform {

// What a system error (errno) means, in Korean, for the reason part of a message: "디스크 공간이
// 부족함", "권한이 없음" and so on; an uncommon one is told by its number.
QString systemErrorText(int error);

}  // namespace tk::platform
