// The main window's part in the search index: it starts with the program, hears of every change
// the entry store makes, and shows in the status bar how far a catch-up is or why body search is
// off.
#include "app/main_window.h"
#include "app/search_service.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

namespace tk {
namespace {

// A catch-up shorter than this shows nothing, so a small library does not flicker at start.
constexpr int kShowProgressAfterMs = 500;
// Unreadable entries named in the tooltip; the rest are counted.
constexpr int kNamedUnreadable = 20;

QString progressText(int done, int total) {
    return total > 0 ? QStringLiteral("검색 색인 맞추는 중 %1/%2").arg(done).arg(total)
                     : QStringLiteral("검색 색인 맞추는 중");
}

QString unreadableTip(const QStringList& unreadable) {
    QStringList lines = unreadable.mid(0, kNamedUnreadable);
    if (unreadable.size() > kNamedUnreadable) {
        lines.append(QStringLiteral("(외 %1개)").arg(unreadable.size() - kNamedUnreadable));
    }
    lines.append(QString());
    lines.append(QStringLiteral("이 글들은 본문으로 찾을 수 없습니다."));
    lines.append(QStringLiteral("파일이 손상되지 않았는지 'tomekeep-cli info 파일'로 확인하세요."));
    lines.append(QStringLiteral("고친 글은 다음에 색인을 맞출 때 다시 읽습니다."));
    return lines.join(u'\n');
}

}  // namespace

void TForm1::setupSearch() {
    SearchProgress = new QProgressBar(StatusBar1);
    SearchProgress->setObjectName(QStringLiteral("SearchProgress"));
    SearchProgress->setMaximumWidth(120);
    SearchProgress->setMaximumHeight(14);
    SearchProgress->setTextVisible(false);
    SearchProgress->hide();
    StatusBar1->addWidget(SearchProgress);
    // Takes the room left of the panels and no more: a long notice is cut, never pushes them
    // aside; its tooltip holds it whole.
    SearchStatus = new QLabel(StatusBar1);
    SearchStatus->setObjectName(QStringLiteral("SearchStatus"));
    SearchStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SearchStatus->hide();
    StatusBar1->addWidget(SearchStatus, 1);

    searchProgressDelay_ = new QTimer(this);
    searchProgressDelay_->setSingleShot(true);
    searchProgressDelay_->setInterval(kShowProgressAfterMs);
    connect(searchProgressDelay_, &QTimer::timeout, this, [this] {
        if (!search_->isCatchingUp()) {
            return;
        }
        SearchStatus->setText(progressText(SearchProgress->value(), SearchProgress->maximum()));
        SearchStatus->setToolTip(
            QStringLiteral("바뀐 글을 검색 색인에 넣고 있습니다. 그동안에도 글을 열고 "
                           "저장할 수 있습니다."));
        SearchStatus->show();
        SearchProgress->show();
    });

    search_ = new SearchService(this);
    connect(search_, &SearchService::catchUpStarted, this, &TForm1::searchCatchUpStarted);
    connect(search_, &SearchService::catchUpProgress, this, &TForm1::searchCatchUpProgress);
    connect(search_, &SearchService::catchUpFinished, this, &TForm1::searchCatchUpFinished);
    connect(search_, &SearchService::unavailable, this, &TForm1::searchUnavailable);
    // Every write the program makes reaches the index at once, whichever window made it.
    store_.setChangeListener([this](const QString& archivePath, bool removed) {
        if (removed) {
            search_->entryRemoved(archivePath);
        } else {
            search_->entryChanged(archivePath);
        }
    });
}

void TForm1::searchCatchUpStarted() {
    SearchProgress->setRange(0, 0);  // busy until the number of archives is known
    searchProgressDelay_->start();
}

void TForm1::searchCatchUpProgress(qsizetype done, qsizetype total) {
    SearchProgress->setRange(0, static_cast<int>(total));
    SearchProgress->setValue(static_cast<int>(done));
    if (SearchProgress->isVisible()) {
        SearchStatus->setText(progressText(static_cast<int>(done), static_cast<int>(total)));
    }
}

void TForm1::searchCatchUpFinished(const search::CatchUpReport& report) {
    searchProgressDelay_->stop();
    SearchProgress->hide();
    // A notice of unreadable entries stays after later catch-ups: they do not read those entries
    // again unless they changed.
    if (!report.unreadable.isEmpty()) {
        searchNotice_ = QStringLiteral("글 %1개를 읽지 못해 본문 검색에서 뺐습니다").arg(report.unreadable.size());
        searchNoticeTip_ = unreadableTip(report.unreadable);
    }
    showSearchNotice();
}

void TForm1::searchUnavailable(const QString& text) {
    searchProgressDelay_->stop();
    SearchProgress->hide();
    searchNotice_ = QStringLiteral("검색 색인을 쓸 수 없어 본문 검색을 껐습니다");
    searchNoticeTip_ = text + QStringLiteral(
                                  "\n그동안에도 제목, 분류, 파일 이름으로는 찾을 수 있습니다. 까닭을 없앤 "
                                  "뒤 프로그램을 다시 시작하면 본문 검색이 돌아옵니다.");
    showSearchNotice();
}

void TForm1::showSearchNotice() {
    SearchStatus->setText(searchNotice_);
    SearchStatus->setToolTip(searchNotice_.isEmpty() ? QString() : searchNotice_ + u'\n' + searchNoticeTip_);
    SearchStatus->setVisible(!searchNotice_.isEmpty());
}

}  // namespace tk
