#include "app/find_window.h"

#include "app/library_search.h"
#include "app/main_window.h"
#include "app/search_service.h"
#include "platform/message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>

namespace tk {

TForm6::TForm6(TForm1* form1) : QDialog(form1), form1_(form1) {
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("찾기"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    Label1 = new QLabel(QStringLiteral("찾을 내용"), this);
    FindText = new QLineEdit(this);
    Label1->setBuddy(FindText);
    NameCheck = new QCheckBox(QStringLiteral("제목"), this);
    NameCheck->setChecked(true);
    ColCheck = new QCheckBox(QStringLiteral("분류"), this);
    FileCheck = new QCheckBox(QStringLiteral("파일"), this);
    PassCheck = new QCheckBox(QStringLiteral("암호"), this);
    BodyCheck = new QCheckBox(QStringLiteral("본문"), this);
    BodyCheck->setToolTip(QStringLiteral("제목과 분류에 더해 글의 본문에서도 찾습니다."));
    AllCheck = new QCheckBox(QStringLiteral("모든 분류"), this);
    AllCheck->setToolTip(QStringLiteral("보고 있는 분류만이 아니라 모든 분류에서 찾습니다."));
    Note = new QLabel(this);
    // A long note is cut rather than widening the window; the whole of it is its tool tip.
    Note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Note->setMinimumHeight(Note->fontMetrics().height());
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(Note->fontMetrics().height());
    QSizePolicy keepPlace = ProgressBar1->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    ProgressBar1->setSizePolicy(keepPlace);
    ProgressBar1->hide();
    Button1 = new QPushButton(QStringLiteral("찾기"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("취소"), this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setVerticalSpacing(4);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(FindText, 0, 1);
    layout->addWidget(Button1, 0, 2);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {NameCheck, ColCheck, FileCheck, PassCheck, BodyCheck, AllCheck}) {
        boxes->addWidget(box);
    }
    boxes->addStretch(1);
    layout->addLayout(boxes, 1, 1);
    layout->addWidget(Button2, 1, 2);
    layout->addWidget(Note, 2, 0, 1, 2);
    layout->addWidget(ProgressBar1, 2, 2);
    setFixedSize(sizeHint().expandedTo(QSize(373, 71)));

    library_ = new LibrarySearch(this);
    connect(library_, &LibrarySearch::finished, this, &TForm6::librarySearchFinished);
    connect(library_, &LibrarySearch::progress, this, [this](qsizetype done, qsizetype total) {
        ProgressBar1->setRange(0, static_cast<int>(total));
        ProgressBar1->setValue(static_cast<int>(done));
        Note->setText(QStringLiteral("암호가 걸린 글을 읽는 중입니다: %1/%2개").arg(done).arg(total));
    });
    if (SearchService* service = form1_->searchService()) {
        connect(service, &SearchService::unavailable, this, [this](const QString& why) { indexTrouble_ = why; });
    }
    connect(PassCheck, &QCheckBox::clicked, this, &TForm6::PassCheckClick);
    connect(BodyCheck, &QCheckBox::clicked, this, &TForm6::BodyCheckClick);
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm6::FormShow() {
    StopFind = false;
    form1_->FindPanel->show();
}

void TForm6::PassCheckClick(bool checked) {
    if (checked) {
        Messages::show(this, QStringLiteral("이것을 체크하시면 암호가 걸린 문서 중 에서만 찾습니다."));
    }
}

// Escape and the title bar's close button stop a running search as "취소" does, rather than
// leaving it busy behind a hidden window.
void TForm6::reject() {
    StopFind = true;
    if (library_->isRunning()) {
        library_->cancel();
        endLibrarySearch(QStringLiteral("찾기를 멈췄습니다."));
    }
    QDialog::reject();
}

void TForm6::stopSearches() {
    StopFind = true;
    library_->stopAndWait();
    ProgressBar1->hide();
}

bool TForm6::isSearching() const {
    return searching_ || library_->isRunning();
}

void TForm6::BodyCheckClick(bool checked) {
    for (QCheckBox* box : {NameCheck, ColCheck, FileCheck}) {
        box->setEnabled(!checked);
    }
}

void TForm6::Button2Click() {
    reject();
}

FindOptions TForm6::options() const {
    return FindOptions{NameCheck->isChecked(), ColCheck->isChecked(), FileCheck->isChecked(), PassCheck->isChecked()};
}

void TForm6::Button1Click() {
    // A press of "찾기" while a search runs would start a second one inside the first.
    if (isSearching()) {
        return;
    }
    if (BodyCheck->isChecked()) {
        findInBodies();
    } else if (AllCheck->isChecked()) {
        findInAllCategories();
    } else {
        findInList();
    }
}

void TForm6::findInList() {
    EntryListModel* source = form1_->ListView1->entries();
    if (source->rowCount() == 0) {
        return;  // the previous results stay
    }
    QScopedValueRollback busy(searching_, true);
    EntryListModel* results = form1_->FindList->entries();
    results->setRows({});
    std::vector<EntryRow> found;
    QString text;
    QString needle;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    // The list may change while input is delivered: the walk goes by position up to the count
    // taken now and stops where the list has become shorter.
    const int count = source->rowCount();
    for (int i = 0; i < count && i < source->rowCount(); ++i) {
        // The text may be edited during the search; it is read again for every row.
        if (const QString now = FindText->text(); now != text) {
            text = now;
            needle = upperAscii(text);
        }
        const EntryRow& row = source->row(i);
        if (rowMatchesFind(row, needle, options())) {
            found.push_back(row);
        }
        if (sinceEvents.elapsed() >= kEventIntervalMs) {
            results->appendRows(found);
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (StopFind) {
            break;
        }
    }
    results->appendRows(found);
}

}  // namespace tk
