// tomekeep-cli search [--json] [--all-categories] [--password-stdin] QUERY FOLDER: the entries whose
// title, category or body match, from the library's search index (brought up to date first);
// protected entries only with their password, decrypted into memory.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/password_input.h"
#include "cli/row_output.h"
#include "search/entry_text.h"
#include "search/memory_search.h"
#include "search/search_index.h"
#include "search/search_terms.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace tk::cli {
namespace {

constexpr const char* kCommand = "search";
// A catch-up that takes longer than this says how far it is, on standard error.
constexpr qint64 kQuietMs = 2000;

// The library folder ("LIST") a category folder lies in: the outermost folder named LIST on its
// path, so a category that happens to be called LIST is not taken for the library.
QString libraryOf(const QString& folder) {
    QString found;
    QDir dir(QFileInfo(folder).canonicalFilePath());
    do {
        if (dir.dirName() == QLatin1String("LIST")) {
            found = dir.absolutePath();
        }
    } while (dir.cdUp());
    return found;
}

// Says how far a long catch-up is, at most once a second.
class CatchUpMeter final {
  public:
    CatchUpMeter() { clock_.start(); }
    void operator()(qsizetype done, qsizetype total) {
        if (clock_.elapsed() < kQuietMs || clock_.elapsed() - lastMs_ < 1000) {
            return;
        }
        lastMs_ = clock_.elapsed();
        complain(kCommand,
                 QStringLiteral("검색 색인을 맞추는 중입니다: %1/%2개. 잠시 기다리세요.").arg(done).arg(total));
    }

  private:
    QElapsedTimer clock_;
    qint64 lastMs_ = 0;
};

// Names each entry that could not be read, then how many there were and what to do (%1: the count).
void nameUnreadable(const QStringList& unreadable, const QString& summary) {
    for (const QString& line : unreadable) {
        complain(kCommand, line);
    }
    if (!unreadable.isEmpty()) {
        complain(kCommand, summary.arg(unreadable.size()));
    }
}

std::vector<EntryRow> rowsByTitle(const std::vector<search::SearchHit>& hits) {
    std::vector<EntryRow> rows;
    rows.reserve(hits.size());
    for (const search::SearchHit& hit : hits) {
        rows.push_back(hit.row);
    }
    sortByTitle(rows);
    return rows;
}

// The protected entries of the folder matched in memory; false when they could not be listed.
bool searchProtectedEntries(search::SearchIndex& index, const QString& query, const QString& scope,
                            std::vector<search::SearchHit>* hits) {
    std::vector<search::SearchHit> candidates;
    if (!index.protectedEntries(scope, &candidates)) {
        complain(kCommand, index.errorString());
        return false;
    }
    if (candidates.empty()) {
        return true;
    }
    Passwords passwords;
    if (!readPasswords(kCommand, {true, false}, &passwords)) {
        return false;
    }
    search::ProtectedSearchReport report;
    std::vector<search::SearchHit> found =
        search::searchProtected(query, candidates, passwords.current, false, {}, nullptr, &report);
    search::wipeText(passwords.current);
    nameUnreadable(report.unreadable, QStringLiteral("암호가 걸린 글 %1개는 주신 암호로 열 수 없어 찾지 못했습니다. "
                                                     "암호가 맞는지 확인하고 다시 찾으세요."));
    hits->insert(hits->end(), found.begin(), found.end());
    return true;
}

int runSearch(const QStringList& list) {
    Arguments args;
    if (const int usage = parseArguments(kCommand, list, {}, {"--json", "--all-categories", "--password-stdin"}, &args);
        usage != kExitOk) {
        return usage;
    }
    if (args.positional.size() != 2) {
        return usageError(kCommand, QStringLiteral("찾을 말과 분류 폴더를 주세요."));
    }
    const QString query = args.positional.at(0);
    const QString folder = args.positional.at(1);
    if (const QString problem = search::queryProblem(query); !problem.isEmpty()) {
        return usageError(kCommand, problem);
    }
    if (!QFileInfo(folder).isDir()) {
        complain(kCommand, QStringLiteral("%1: 폴더가 아닙니다. 분류 폴더의 경로를 확인하세요.").arg(folder));
        return kExitFailure;
    }
    const bool all = args.has("--all-categories");
    const QString library = all ? folder : libraryOf(folder);
    if (library.isEmpty()) {
        complain(kCommand, QStringLiteral("%1: 자료 폴더(LIST) 안의 분류 폴더가 아닙니다. 분류 폴더를 주거나, "
                                          "LIST 폴더에 --all-categories를 붙여 주세요.")
                               .arg(folder));
        return kExitFailure;
    }
    search::SearchIndex index;
    if (!index.open(library)) {
        complain(kCommand, index.errorString());
        return kExitFailure;
    }
    if (index.isReadOnly()) {
        complain(kCommand, QStringLiteral("다른 프로그램이 검색 색인을 고치고 있어 지금 색인으로 찾습니다. 최근에 "
                                          "바뀐 글은 빠질 수 있으니 잠시 뒤에 다시 찾아 보세요."));
    }
    search::CatchUpReport caught;
    CatchUpMeter meter;
    if (!index.catchUp(std::ref(meter), nullptr, &caught)) {
        complain(kCommand, index.errorString());
        return kExitFailure;
    }
    nameUnreadable(caught.unreadable, QStringLiteral("글 %1개는 읽을 수 없어 본문을 찾지 못했습니다. 위의 파일이 "
                                                     "손상되지 않았는지 'tomekeep-cli info'로 확인하세요."));
    const QString scope = all ? QString() : folder;
    std::vector<search::SearchHit> hits;
    bool searched = index.search(query, scope, false, &hits);
    if (!searched && index.wasRebuilt()) {
        // Found damaged by the search and made anew: filled again, it can answer.
        searched = index.catchUp(std::ref(meter), nullptr, &caught) && index.search(query, scope, false, &hits);
    }
    if (!searched) {
        complain(kCommand, index.errorString());
        return kExitFailure;
    }
    if (args.has("--password-stdin") && !searchProtectedEntries(index, query, scope, &hits)) {
        return kExitFailure;
    }
    printRows(rowsByTitle(hits), args.has("--json"));
    return kExitOk;
}

const CommandRegistrar registrar{
    Command{kCommand,
            "[--json] [--all-categories] [--password-stdin] 찾을말 분류폴더  (제목, 분류, 본문에 찾을 말이 있는 "
            "글을 list처럼 출력; --all-categories: 분류폴더 대신 LIST 폴더를 주고 모든 분류에서 찾기; "
            "--password-stdin: 표준 입력 첫 줄의 암호로 암호가 걸린 글도 찾기)",
            runSearch, true}};

}  // namespace
}  // namespace tk::cli
