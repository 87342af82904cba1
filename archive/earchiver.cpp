// The archive component's exception and the Korean texts of its message numbers.
#include "archive/archiver_types.h"

#include <algorithm>
#include <iterator>

namespace tk {
namespace {

// A message says what happened (with the detail, if any, joined to that sentence) and then what the
// user can do; the number closes it so that a report names the exact cause. A caption is a label
// of the password prompt and carries neither.
struct MessageText {
    int id;
    const char16_t* what;
    const char16_t* todo;              // null for a caption
    const char16_t* detail = u": %1";  // how a detail joins the first sentence
};

constexpr char16_t kCheckDamage[] = u"파일이 손상되었을 수 있으니 백업에서 복원하거나 다른 파일을 고르십시오.";
constexpr char16_t kReinstall[] = u"프로그램 폴더에 이 파일이 있는지 확인하거나 프로그램을 다시 설치하십시오.";
constexpr char16_t kRetry[] = u"다시 시도하고, 되풀이되면 프로그램을 다시 시작하십시오.";
constexpr char16_t kUntrusted[] = u"믿을 수 있는 곳에서 받은 압축 파일인지 확인하십시오. 이 파일은 남기지 않았습니다.";
constexpr char16_t kDamagedMember[] =
    u"백업에서 압축 파일을 복원하거나 보낸 사람에게 다시 받으십시오. 풀다 만 파일은 남기지 않았습니다.";
constexpr char16_t kSpanned[] = u"나뉜 압축 파일은 열 수 없으니 하나로 합친 압축 파일을 여십시오.";

// Sorted by number.
constexpr MessageText kTexts[] = {
    {10101, u"압축 엔진이 파일을 추가하다가 예기치 않게 멈췄습니다", kRetry},
    {10102, u"압축 파일을 찾을 수 없습니다", u"파일이 옮겨지거나 지워지지 않았는지 확인하고 목록을 새로 읽으십시오."},
    {10103, u"메모리가 부족하여 압축 파일을 처리하지 못했습니다", u"다른 프로그램을 닫은 뒤 다시 시도하십시오."},
    {10104, u"두 번 입력한 암호가 서로 다릅니다", u"같은 암호를 두 번 입력하십시오."},
    {10150, u"파일을 암호로 보호하려면 암호가 필요한데 물어볼 수 없습니다", u"암호를 지정한 뒤 다시 시도하십시오."},
    {10151, u"암호로 보호된 파일을 풀려면 암호가 필요한데 물어볼 수 없습니다", u"암호를 지정한 뒤 다시 시도하십시오."},
    {10152, u"확인", nullptr},
    {10153, u"취소", nullptr},
    {10154, u"암호 입력", nullptr},
    {10155, u"암호를 입력하십시오:", nullptr},
    {10156, u"확인을 위해 암호를 한 번 더 입력하십시오:", nullptr},
    {10157, u"모두 취소", nullptr},
    {10158, u"중단", nullptr},
    {10201, u"압축 파일의 목록을 읽지 못했습니다", kCheckDamage},
    {10202, u"압축 파일의 목록을 읽는 중 오류가 났습니다", kCheckDamage},
    {10203, u"압축 파일의 목록이 기록된 위치와 다른 곳에 있습니다",
     u"읽기는 계속하지만 파일이 손상되었을 수 있으니 내용을 확인하십시오."},
    {10204, u"압축 파일 끝에 알 수 없는 데이터가 붙어 있습니다",
     u"읽기는 계속하지만 파일이 손상되었을 수 있으니 내용을 확인하십시오."},
    {10301, u"압축 파일에 추가할 파일이 지정되지 않았습니다", u"추가할 파일을 고른 뒤 다시 시도하십시오."},
    {10302, u"암호로 보호하도록 했지만 암호가 없습니다", u"암호를 입력한 뒤 다시 시도하십시오."},
    {10303, u"여러 디스크에 나누어 쓸 때는 바뀐 파일만 추가하는 방식을 쓸 수 없습니다",
     u"그 설정을 끄고 다시 시도하십시오."},
    {10304, u"자동 압축 풀림 파일의 시작 부분을 쓰지 못했습니다", u"디스크 공간과 쓰기 권한을 확인하십시오.",
     u"(결과 %1)"},
    {10305, u"압축 엔진이 오래되어 메모리의 데이터를 압축할 수 없습니다", u"프로그램을 다시 설치하십시오."},
    {10306, u"압축 파일을 그대로 읽을 수 없어 파일을 넣지 않았습니다",
     u"압축 파일은 바뀌지 않았습니다. 그 압축 파일을 풀어 새 압축 파일로 다시 만든 뒤 넣으십시오."},
    {10307, u"추가할 파일을 읽을 수 없어 넣지 않았습니다", u"파일이 있는지, 읽기 권한이 있는지 확인하십시오."},
    {10308, u"추가할 파일을 찾지 못해 아무것도 넣지 않았습니다", u"파일 이름과 폴더를 확인하고 다시 시도하십시오."},
    {10309, u"압축 파일에 파일을 넣지 못했습니다",
     u"디스크 공간과 쓰기 권한을 확인하고 다시 시도하십시오. 압축 파일은 바뀌지 않았습니다."},
    {10501, u"압축 엔진이 파일을 풀다가 예기치 않게 멈췄습니다", kRetry},
    {10502, u"암호가 지정되지 않아 암호로 보호된 파일은 풀지 않습니다",
     u"보호된 파일이 필요하면 암호를 지정한 뒤 다시 시도하십시오."},
    {10503, u"압축 엔진이 오래되어 메모리로 압축을 풀 수 없습니다", u"프로그램을 다시 설치하십시오."},
    {10504, u"압축 파일 안의 파일이 폴더 32단계보다 깊거나 이름이 1,024바이트보다 길어 풀지 않았습니다", kUntrusted},
    {10505, u"압축 파일 안의 파일이 압축된 크기의 100배를 넘게 풀려 나와 압축 폭탄으로 보고 풀지 않았습니다",
     kUntrusted},
    {10506, u"압축을 풀 공간이 부족하여 풀지 않았습니다",
     u"필요 없는 파일을 지워 공간을 마련한 뒤 다시 시도하십시오. 풀다 만 파일은 남기지 않았습니다."},
    {10507, u"압축 파일 안에 이름이 같은 파일이 둘 이상 있어 어느 파일도 풀지 않았습니다",
     u"압축 파일을 만든 프로그램에서 이름이 겹치지 않게 다시 만드십시오."},
    {10508, u"이 프로그램이 풀 수 없는 압축 방식이라 풀지 않았습니다",
     u"Deflate 방식으로 다시 압축하거나 그 방식을 푸는 다른 프로그램으로 푸십시오."},
    {10509, u"압축 파일 안의 파일이 손상되어 풀지 않았습니다", kDamagedMember},
    {10510, u"압축 파일 안의 파일이 CRC 검사에서 손상된 것으로 나와 풀지 않았습니다", kDamagedMember},
    {10511, u"압축 파일의 구조가 앞뒤가 맞지 않아 어느 파일도 풀지 않았습니다",
     u"파일이 손상되었거나 조작되었을 수 있으니 백업에서 복원하거나 믿을 수 있는 곳에서 다시 받으십시오."},
    {10512, u"이 프로그램이 풀 수 없는 암호화 방식이라 풀지 않았습니다",
     u"그 방식을 푸는 다른 프로그램으로 풀거나, AES 방식으로 다시 보호하십시오."},
    {10513, u"압축 파일 안의 파일 이름이 안전하지 않아 풀지 않았습니다", kUntrusted},
    {10514, u"압축 파일 안의 링크나 특수 파일은 풀지 않습니다",
     u"링크가 가리키는 파일이 필요하면 그 파일을 따로 받으십시오."},
    {10515, u"풀어 놓을 폴더를 만들 수 없거나 그 자리에 폴더나 링크가 있어 풀지 않았습니다",
     u"풀어 놓을 폴더에서 그 이름의 폴더나 링크를 옮기거나 지운 뒤 다시 시도하십시오."},
    {10516, u"압축을 푼 파일을 쓰지 못했습니다",
     u"풀어 놓을 폴더의 쓰기 권한과 디스크 공간을 확인하십시오. 풀다 만 파일은 남기지 않았습니다."},
    {10517, u"암호로 보호된 파일의 인증 코드가 맞지 않아(손상되었거나 바뀜) 풀지 않았습니다", kDamagedMember},
    {10518, u"암호가 맞지 않아 풀지 않았습니다", u"올바른 암호로 다시 여십시오."},
    {10519, u"압축을 풀 폴더를 열 수 없습니다", u"폴더가 있는지, 쓰기 권한이 있는지 확인하십시오."},
    {10601, u"압축 엔진 libzipeng.so를 불러왔습니다", u""},
    {10602, u"압축 엔진 libzipeng.so에 필요한 기능(ZipEngExec)이 없습니다", kReinstall},
    {10603, u"압축 엔진 libzipeng.so에 필요한 기능(GetZipEngVersion)이 없습니다", kReinstall},
    {10604, u"압축 엔진 libzipeng.so를 불러올 수 없습니다", kReinstall},
    {10701, u"압축 풀기 엔진 libunzeng.so를 불러왔습니다", u""},
    {10702, u"압축 풀기 엔진 libunzeng.so에 필요한 기능(UnzEngExec)이 없습니다", kReinstall},
    {10703, u"압축 풀기 엔진 libunzeng.so에 필요한 기능(GetUnzEngVersion)이 없습니다", kReinstall},
    {10704, u"압축 풀기 엔진 libunzeng.so를 불러올 수 없습니다", kReinstall},
    {11001, u"압축 파일을 열 수 없습니다", u"파일이 있는지, 읽기 권한이 있는지 확인하십시오."},
    {11002, u"압축 파일에 설명을 쓰지 못했습니다", u"쓰기 권한과 디스크 공간을 확인하고 다시 시도하십시오."},
    {11003, u"압축 파일이 있는 드라이브의 이름이 올바르지 않습니다", u"파일의 위치를 확인하십시오."},
    {11004, u"압축 파일이 있는 드라이브를 쓸 수 없습니다", u"드라이브가 연결되어 있는지 확인하십시오."},
    {11008, u"압축 파일 안의 위치로 옮겨 가지 못했습니다", kCheckDamage},
    {11010, u"압축 파일의 설명을 끝까지 쓰지 못했습니다", u"디스크 공간을 확인하고 다시 시도하십시오."},
    {11011, u"압축 파일의 끝 부분을 읽지 못했습니다", kCheckDamage},
    {11013, u"압축 파일의 목록이 중간에 끊겼습니다", kCheckDamage},
    {11015, u"압축 파일의 목록에 잘못된 항목이 있습니다", kCheckDamage},
    {11017, u"압축 파일 안의 파일 이름을 끝까지 읽지 못했습니다", kCheckDamage},
    {11022, u"압축 파일 안의 파일 설명을 끝까지 읽지 못했습니다", kCheckDamage},
    {11030, u"압축 파일의 끝 부분을 쓰지 못했습니다", u"디스크 공간과 쓰기 권한을 확인하고 다시 시도하십시오."},
    {11036, u"압축 파일이 아니거나 손상되었습니다", u"백업에서 복원하거나 다른 파일을 고르십시오."},
    {11037, u"여러 조각으로 나뉜 압축 파일의 첫 조각입니다", kSpanned},
    {11038, u"여러 조각으로 나뉜 압축 파일의 중간 조각입니다", kSpanned},
    {11041, u"여러 디스크에 나누어 쓰는 압축 파일의 이름은 .EXE로 끝날 수 없습니다", u"다른 이름을 고르십시오."},
    {11045, u"여러 조각으로 나뉜 압축 파일의 일부이고 마지막 조각이 없습니다", kSpanned},
    {11050, u"다른 작업이 이 압축 파일을 쓰고 있어 기다렸지만 끝나지 않았습니다",
     u"그 작업이 끝난 뒤 다시 시도하십시오. 이번 변경은 저장되지 않았습니다.", u"(%1초)"},
    {11051, u"압축 파일을 쓰기 전에 잠글 수 없습니다",
     u"압축 파일이 있는 폴더에 쓰기 권한이 있는지 확인하십시오. 이번 변경은 저장되지 않았습니다."},
};

constexpr bool sortedById() {
    for (size_t i = 1; i < std::size(kTexts); ++i) {
        if (kTexts[i - 1].id >= kTexts[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(sortedById());

constexpr MessageText kUnknown{0, u"압축 파일을 처리하는 중 오류가 났습니다",
                               u"다시 시도하고, 되풀이되면 파일이 손상되지 않았는지 확인하십시오."};

const MessageText& textOf(int id) {
    const auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                                     [](const MessageText& m, int n) { return m.id < n; });
    return it != std::end(kTexts) && it->id == id ? *it : kUnknown;
}

// A detail comes from elsewhere (a system error, a drive, a number); its own closing full stop or
// line break would end the sentence early.
QString trimmedDetail(const QString& detail) {
    QString d = detail.trimmed();
    while (d.endsWith(QLatin1Char('.'))) {
        d.chop(1);
    }
    return d.trimmed();
}

}  // namespace

QString archiverMessageText(int id, const QString& detail) {
    const MessageText& m = textOf(id);
    QString text = QString::fromUtf16(m.what);
    if (!m.todo) {
        return text;
    }
    const QString d = trimmedDetail(detail);
    if (!d.isEmpty()) {
        text += QString::fromUtf16(m.detail).arg(d);
    }
    text += QLatin1Char('.');
    const QString todo = QString::fromUtf16(m.todo);
    if (!todo.isEmpty()) {
        text += QLatin1Char(' ') + todo;
    }
    return text + QStringLiteral(" (") + QString::number(id) + QLatin1Char(')');
}

EArchiver::EArchiver(int id, bool display) : id_(id), display_(display), text_(archiverMessageText(id)) {
    utf8_ = text_.toStdString();
}

EArchiver::EArchiver(int id, int detail, bool display) : EArchiver(id, QString::number(detail), display) {}

EArchiver::EArchiver(int id, const QString& detail, bool display)
    : id_(id), display_(display), text_(archiverMessageText(id, detail)) {
    utf8_ = text_.toStdString();
}

}  // namespace tk
