// The find window's searches beyond the main list: every category's rows, and the entries' text
// through the search index, protected entries included with a password.
#include "app/entry_dialog.h"
#include "app/find_window.h"
#include "app/library_search.h"
#include "app/main_window.h"
#include "app/search_service.h"
#include "platform/message_box.h"
#include "search/entry_text.h"
#include "search/search_terms.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>

namespace tk {
namespace {

// The most entries a message names one by one; the rest are counted.
constexpr qsizetype kNamedAtMost = 15;

// The words around a match as a tool tip: rich text, so that it wraps, with the query's words in
// bold wherever they stand, inside longer words too. The text itself is never taken for markup.
QString snippetToolTip(const QString& snippet, const QString& query) {
    QStringList words;
    for (QString word : query.split(u' ', Qt::SkipEmptyParts)) {
        word.remove(u'"');
        if (word.startsWith(u'-') || word == QLatin1String("OR") || word.isEmpty()) {
            continue;
        }
        words.append(QRegularExpression::escape(word));
    }
    QString html;
    qsizetype from = 0;
    if (!words.isEmpty()) {
        const QRegularExpression pattern(words.join(u'|'), QRegularExpression::CaseInsensitiveOption);
        for (QRegularExpressionMatchIterator it = pattern.globalMatch(snippet); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            html += snippet.mid(from, match.capturedStart() - from).toHtmlEscaped();
            html += QStringLiteral("<b>") + match.captured().toHtmlEscaped() + QStringLiteral("</b>");
            from = match.capturedEnd();
        }
    }
    html += snippet.mid(from).toHtmlEscaped();
    return QStringLiteral("<p>") + html + QStringLiteral("</p>");
}

}  // namespace

void TForm6::findInAllCategories() {
    form1_->FindList->entries()->setRows({});
    indexCatchingUp_ = false;
    beginLibrarySearch(QStringLiteral("모든 분류에서 찾는 중입니다..."));
    library_->startTitles(form1_->store().libraryDir(), upperAscii(FindText->text()), options());
}

void TForm6::findInBodies() {
    const QString query = FindText->text().trimmed();
    if (query.isEmpty()) {
        Messages::show(this, QStringLiteral("본문에서 찾을 말을 입력한 뒤 다시 찾기를 누르세요."));
        return;
    }
    if (const QString problem = search::queryProblem(query); !problem.isEmpty()) {
        Messages::show(this, problem);
        return;
    }
    if (!AllCheck->isChecked() && form1_->ListDir.isEmpty()) {
        Messages::show(this, QStringLiteral("보고 있는 분류가 없습니다. 분류를 고르거나 '모든 분류'를 체크한 뒤 다시 "
                                            "찾으세요."));
        return;
    }
    search::SearchIndex* index = availableIndex();
    if (!index) {
        return;
    }
    query_ = query;
    scope_ = AllCheck->isChecked() ? QString() : form1_->ListDir;
    candidates_.clear();
    form1_->FindList->entries()->setRows({});
    if (PassCheck->isChecked()) {
        beginLibrarySearch(QStringLiteral("암호가 걸린 글을 모으는 중입니다..."));
        library_->startProtectedList(index, scope_);
    } else {
        beginLibrarySearch(QStringLiteral("본문에서 찾는 중입니다..."));
        library_->startBody(index, query_, scope_);
    }
}

search::SearchIndex* TForm6::availableIndex() {
    SearchService* service = form1_->searchService();
    search::SearchIndex* index = service && service->isAvailable() ? service->index() : nullptr;
    if (!index) {
        const QString why = indexTrouble_.isEmpty() ? QString() : indexTrouble_ + u'\n';
        Messages::show(this,
                       QStringLiteral("검색 색인을 쓸 수 없어 본문에서 찾지 못했습니다.\n%1'본문' 체크를 풀면 제목, "
                                      "분류, 파일 이름으로 찾을 수 있습니다. 본문에서 찾으려면 프로그램을 다시 "
                                      "시작해 보세요.")
                           .arg(why),
                       MsgKind::Warning);
        return nullptr;
    }
    indexCatchingUp_ = service->isCatchingUp();
    return index;
}

void TForm6::beginLibrarySearch(const QString& note) {
    Note->setText(note);
    Note->setToolTip(note);
    ProgressBar1->setRange(0, 0);  // busy, until a count is known
    ProgressBar1->show();
}

void TForm6::endLibrarySearch(const QString& note) {
    ProgressBar1->hide();
    Note->setText(note);
    Note->setToolTip(note);
}

void TForm6::librarySearchFinished(const LibrarySearchOutcome& outcome) {
    if (outcome.failed) {
        endLibrarySearch(QStringLiteral("찾지 못했습니다."));
        Messages::show(
            this, QStringLiteral("검색 색인에서 찾지 못했습니다.\n%1\n잠시 뒤에 다시 찾아 보세요.").arg(outcome.error),
            MsgKind::Warning);
        return;
    }
    if (outcome.kind == LibrarySearchOutcome::Kind::ProtectedList) {
        protectedEntriesListed(outcome);
        return;
    }
    showHits(outcome.hits);
    const bool fromIndex = outcome.kind != LibrarySearchOutcome::Kind::Titles;
    QString note = resultNote(outcome.hits.size(), fromIndex);
    if (outcome.kind == LibrarySearchOutcome::Kind::Titles && !outcome.unreadable.isEmpty()) {
        note += QStringLiteral(
                    " 읽을 수 없는 글 보관 파일 %1개는 빼고 찾았습니다. 파일을 읽을 권한이 있는지 "
                    "확인하세요.")
                    .arg(outcome.unreadable.size());
    }
    endLibrarySearch(note);
    if (outcome.kind == LibrarySearchOutcome::Kind::Protected) {
        if (!outcome.unreadable.isEmpty()) {
            reportUnopened(outcome.unreadable);
        }
        candidates_.clear();
    }
}

void TForm6::protectedEntriesListed(const LibrarySearchOutcome& outcome) {
    if (outcome.hits.empty()) {
        endLibrarySearch(scope_.isEmpty() ? QStringLiteral("암호가 걸린 글이 없습니다. '암호' 체크를 풀고 찾으세요.")
                                          : QStringLiteral("이 분류에는 암호가 걸린 글이 없습니다. '모든 분류'를 "
                                                           "체크하거나 '암호' 체크를 풀고 찾으세요."));
        return;
    }
    candidates_ = outcome.hits;
    QString password = askSearchPassword(candidates_.size());
    if (password.isEmpty()) {
        candidates_.clear();
        endLibrarySearch(QStringLiteral("암호가 걸린 글은 찾지 않았습니다."));
        return;
    }
    beginLibrarySearch(QStringLiteral("암호가 걸린 글을 읽는 중입니다..."));
    library_->startProtected(query_, candidates_, std::move(password));
}

QString TForm6::askSearchPassword(size_t count) {
    TForm4* dialog = form1_->entryDialog();
    dialog->Pass_in->clear();
    dialog->showPasswordPanelFor(QStringLiteral("암호가 걸린 글 %1개의 본문에서 찾습니다.").arg(count));
    dialog->exec();
    // A copy of its own: the field is emptied at once, and the caller wipes this one.
    const QString typed = dialog->Pass_in->text();
    QString password(typed.constData(), typed.size());
    dialog->Pass_in->clear();
    if (dialog->DialogCancelled) {
        search::wipeText(password);
        Messages::show(this, QStringLiteral("암호 입력을 취소했습니다. 암호가 걸린 글을 찾으려면 다시 찾기를 "
                                            "누르고 암호를 넣으세요."));
        return {};
    }
    if (password.isEmpty()) {
        Messages::show(this, QStringLiteral("암호를 입력하세요. 암호가 걸린 글을 찾으려면 다시 찾기를 누르고 "
                                            "암호를 넣으세요."));
    }
    return password;
}

void TForm6::reportUnopened(const QStringList& unreadable) {
    QStringList names;
    for (const QString& line : unreadable) {
        if (names.size() == kNamedAtMost) {
            names.append(QStringLiteral("(외 %1개)").arg(unreadable.size() - kNamedAtMost));
            break;
        }
        QString name = line;
        for (const search::SearchHit& entry : candidates_) {
            const QString path = entry.archivePath();
            if (line.startsWith(path + QStringLiteral(": "))) {
                const QString where =
                    entry.row.category.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(entry.row.category);
                name = entry.row.title + where + QStringLiteral(" - ") + line.mid(path.size() + 2);
                break;
            }
        }
        names.append(QStringLiteral("• ") + name);
    }
    Messages::show(this,
                   QStringLiteral("암호가 걸린 글 %1개는 이 암호로 열지 못해 찾지 못했습니다.\n\n%2\n\n암호가 맞는지 "
                                  "확인하세요. 다른 암호를 건 글은 그 암호로 다시 찾으세요.")
                       .arg(unreadable.size())
                       .arg(names.join(u'\n')),
                   MsgKind::Warning);
}

void TForm6::showHits(const std::vector<search::SearchHit>& hits) {
    std::vector<EntryRow> rows;
    rows.reserve(hits.size());
    for (const search::SearchHit& hit : hits) {
        rows.push_back(hit.row);
        rows.back().folder = hit.folder;
    }
    EntryListModel* results = form1_->FindList->entries();
    results->setRows(std::move(rows));
    for (int i = 0; i < results->rowCount(); ++i) {
        const QString& snippet = hits[static_cast<size_t>(i)].snippet;
        if (!snippet.isEmpty()) {
            results->setToolTip(results->row(i), snippetToolTip(snippet, query_));
        }
    }
}

QString TForm6::resultNote(size_t count, bool fromIndex) const {
    QString note = count == 0 ? QStringLiteral("찾는 말이 든 글이 없습니다.")
                              : QStringLiteral("%1개를 찾았습니다. 두 번 누르면 엽니다.").arg(count);
    SearchService* service = form1_->searchService();
    if (fromIndex && (indexCatchingUp_ || (service && service->isCatchingUp()))) {
        note += QStringLiteral(
            " 검색 색인을 맞추는 중이라 최근에 바뀐 글은 빠졌을 수 있습니다. 잠시 뒤에 다시 찾아 "
            "보세요.");
    }
    return note;
}

}  // namespace tk
