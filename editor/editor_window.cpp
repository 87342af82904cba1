#include "editor/editor_window.h"

#include "archive/archiver.h"
#include "editor/archive_progress.h"
#include "editor/web_view.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/wait_cursor.h"
#include "richedit/qe_rich_edit.h"
#include "store/entry_comment.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tk {

TForm3::TForm3(EditorHost* host, QWidget* parent) : QMainWindow(parent), host_(host) {
    setWindowTitle(QStringLiteral("TKEDIT"));
    resize(696, 480);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);
    setupEditPanel();
    setupWebView();
    layout->addWidget(EditPanel);
    layout->addWidget(htmlPanel);
    setupStatusBar();
    setupMenu();
    setBodyView(false);
}

TForm3::~TForm3() = default;

void TForm3::setupEditPanel() {
    EditPanel = new QWidget(this);
    auto* layout = new QVBoxLayout(EditPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    RichEdit1 = new TQE_RichEdit(EditPanel);
    RichEdit1->SetWordWrap(true);
    RichEdit1->SetWantTabs(true);
    RichEdit1->SetCompress(false);
    QFont font(QStringLiteral("굴림"), 9);
    font.setFamilies({QStringLiteral("굴림"), QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR")});
    RichEdit1->SetFont(font);
    layout->addWidget(RichEdit1);
    RichEdit1->OnChange = [this](QObject*) { setModifiedMark(RichEdit1->Modified()); };
    RichEdit1->OnSelectionChange = [this](QObject*) { refreshCaretPosition(); };
}

void TForm3::setupWebView() {
    htmlPanel = new WebView(this);
    connect(htmlPanel->ToolButton1, &QToolButton::clicked, this, &TForm3::N1Click);
    connect(htmlPanel->ToolButton2, &QToolButton::clicked, this, &TForm3::N11Click);
    connect(htmlPanel, &WebView::DownloadBegin, this, [this] { StatusPanel1->setText(QStringLiteral("연결중...")); });
    connect(htmlPanel, &WebView::DownloadComplete, this, [this] { StatusPanel1->clear(); });
    connect(htmlPanel, &WebView::StatusTextChange, this, [this](const QString& text) { StatusPanel3->setText(text); });
}

void TForm3::setupStatusBar() {
    Edit_StatusBar = statusBar();
    auto panel = [this](int width, Qt::Alignment alignment, int stretch) {
        auto* label = new QLabel(Edit_StatusBar);
        label->setMinimumWidth(width);
        label->setAlignment(alignment | Qt::AlignVCenter);
        Edit_StatusBar->addWidget(label, stretch);
        return label;
    };
    StatusPanel0 = panel(10, Qt::AlignRight, 0);
    StatusPanel1 = panel(120, Qt::AlignHCenter, 0);
    StatusPanel2 = panel(1, Qt::AlignHCenter, 0);
    StatusPanel2->setMaximumWidth(1);
    StatusPanel3 = panel(100, Qt::AlignLeft, 1);
    StatusPanel0->setText(QStringLiteral("-"));
}

void TForm3::setupMenu() {
    PopupMenu1 = new QMenu(this);
    auto add = [this](const QString& caption, const QKeySequence& key, void (TForm3::*slot)()) {
        QAction* action = PopupMenu1->addAction(caption);
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            RichEdit1->addAction(action);
        }
        if (slot) {
            connect(action, &QAction::triggered, this, slot);
        }
        return action;
    };
    N25 = add(QStringLiteral("실행 취소"), QKeySequence(Qt::CTRL | Qt::Key_Z), nullptr);
    N29 = add(QStringLiteral("되돌림"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), nullptr);
    PopupMenu1->addSeparator();
    N1 = add(QStringLiteral("새로 만들기"), QKeySequence(Qt::CTRL | Qt::Key_N), &TForm3::N1Click);
    PopupMenu1->addSeparator();
    N3 = add(QStringLiteral("잘라내기"), QKeySequence(Qt::CTRL | Qt::Key_X), nullptr);
    N4 = add(QStringLiteral("복사"), QKeySequence(Qt::CTRL | Qt::Key_C), nullptr);
    N5 = add(QStringLiteral("붙여넣기"), QKeySequence(Qt::CTRL | Qt::Key_V), nullptr);
    N18 = add(QStringLiteral("지우기"), {}, nullptr);
    PopupMenu1->addSeparator();
    N19 = add(QStringLiteral("문서 열기"), QKeySequence(Qt::CTRL | Qt::Key_O), &TForm3::N19Click);
    N10 = add(QStringLiteral("문서 저장"), QKeySequence(Qt::CTRL | Qt::Key_S), &TForm3::N10Click);
    // Ctrl+N belongs to the first item in menu order, new document; here it is only shown.
    N11 = add(QStringLiteral("새 이름으로 문서 저장\tCtrl+N"), {}, &TForm3::N11Click);

    connect(N25, &QAction::triggered, this, [this] { RichEdit1->Undo(); });
    connect(N29, &QAction::triggered, this, [this] { RichEdit1->Redo(); });
    connect(N3, &QAction::triggered, this, [this] { RichEdit1->CutToClipboard(); });
    connect(N4, &QAction::triggered, this, [this] { RichEdit1->CopyToClipboard(); });
    connect(N5, &QAction::triggered, this, [this] { RichEdit1->PasteFromClipboard(); });
    connect(N18, &QAction::triggered, this, [this] { RichEdit1->SetSelectedText(QString()); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm3::PopupMenu1Popup);
    RichEdit1->SetPopupMenu(PopupMenu1);
}

QString TForm3::scratchDir() const {
    return host_->programDir() + QStringLiteral("TEMP/");
}

void TForm3::setBodyView(bool web) {
    htmlPanel->setVisible(web);
    EditPanel->setVisible(!web);
}

bool TForm3::isWebBody() const {
    return !htmlPanel->isHidden();
}

bool TForm3::isModified() const {
    return RichEdit1->Modified();
}

void TForm3::setModifiedMark(bool modified) {
    StatusPanel0->setText(modified ? QStringLiteral("*") : QStringLiteral("-"));
}

QString TForm3::modifiedMark() const {
    return StatusPanel0->text();
}

QString TForm3::positionText() const {
    return StatusPanel1->text();
}

QString TForm3::titleText() const {
    return StatusPanel3->text();
}

void TForm3::refreshCaretPosition() {
    const int p = RichEdit1->SelectionStart();
    const int line = RichEdit1->LineOfChar(p);
    const int column = p - RichEdit1->LineStartIndex(line);
    StatusPanel1->setText(QString::asprintf("열: %3d   행: %3d", column + 1, line + 1));
}

void TForm3::commitComposition() {
    if (QInputMethod* im = QGuiApplication::inputMethod()) {
        im->commit();
    }
}

void TForm3::N1Click() {
    setBodyView(false);
    StatusPanel3->clear();
    password_.clear();
    StatusPanel1->clear();
    RichEdit1->Clear();
    RichEdit1->SetModified(false);
    newEntry_ = true;
    setModifiedMark(false);
}

void TForm3::N19Click() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("문서 열기"), QString(),
        QStringLiteral("RTF 파일 (*.rtf);;TXT 파일 (*.txt);;HTM 또는 HTML 파일 (*.htm *.html);;모든 파일 (*)"));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

void TForm3::openFile(const QString& path) {
    if (path.endsWith(QLatin1String(".htm")) || path.endsWith(QLatin1String(".html"))) {
        newEntry_ = true;
        WebDocPath = QFileInfo(path).absoluteFilePath();
        showWebBody(WebDocPath);
        RichEdit1->Clear();
        RichEdit1->SetModified(true);
        setModifiedMark(true);
        return;
    }
    setBodyView(false);
    if (!RichEdit1->Lines().LoadFile(path)) {
        Messages::show(this, RichEdit1->Lines().errorString(), MsgKind::Error);
    }
}

bool TForm3::showRichBody(const QString& rtfPath) {
    setBodyView(false);
    return RichEdit1->Lines().LoadFile(rtfPath);
}

void TForm3::showWebBody(const QString& pagePath) {
    WebDocPath = pagePath;
    setBodyView(true);
    htmlPanel->Navigate(pagePath);
}

void TForm3::bindEntry(const QString& title, const QString& password) {
    StatusPanel3->setText(title);
    password_ = password;
    newEntry_ = false;
    RichEdit1->SetModified(false);
    setModifiedMark(false);
}

void TForm3::N10Click() {
    commitComposition();
    if (newEntry_) {
        N11Click();
    } else {
        (void)RtfSave();
    }
}

bool TForm3::RtfSave() {
    commitComposition();
    WaitCursor wait;
    TArchiver& archiver = host_->archiver();
    const bool web = isWebBody();
    if (!web && !RichEdit1->Lines().SaveFile(scratchDir() + kDocumentFile)) {
        Messages::show(this, RichEdit1->Lines().errorString(), MsgKind::Error);
        return true;
    }
    archiver.SetPassword(password_);
    archiver.SetFSpecArgs({});
    if (web) {
        AddOpts options = archiver.AddOptions();
        options.insert(AddOptsEnum::AddDirNames).insert(AddOptsEnum::AddRecurseDirs);
        archiver.SetAddOptions(options);
        archiver.SetRootDir(withTrailingSlash(QFileInfo(WebDocPath).absolutePath()));
        archiver.SetFSpecArgs({QStringLiteral("*.*")});
    } else {
        archiver.SetRootDir(scratchDir());
        archiver.SetFSpecArgs({kDocumentFile});
    }
    {
        ArchiveProgress progress(archiver, this, QStringLiteral("저장하는 중..."));
        archiver.Add();
    }
    if (archiver.HandledCount() == 0) {
        Messages::show(this, addFailedMessage(), MsgKind::Error);
        return true;
    }
    archiver.SetRootDir(QString());
    RichEdit1->SetModified(false);
    setModifiedMark(false);
    return false;
}

void TForm3::N11Click() {
    commitComposition();
    if (host_->listDir().isEmpty()) {
        // No category is listed: there is no folder to put a new entry in.
        Messages::show(this, QStringLiteral("항목을 선택해주세요."));
        return;
    }
    NewEntryAnswer answer;
    if (!host_->askNewEntry(&answer)) {
        return;
    }
    QString name = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    while (QFileInfo::exists(host_->listDir() + name + QStringLiteral(".zip"))) {
        name += u'_';
    }
    TArchiver& archiver = host_->archiver();
    archiver.SetZipFileName(host_->listDir() + name + QStringLiteral(".zip"));
    host_->ZipOptions(answer.isProtected);
    password_ = answer.isProtected ? answer.password : QString();
    const QString document = isWebBody() ? QFileInfo(WebDocPath).fileName() : kDocumentFile;
    const QString comment = answer.title + u'|' + answer.category + u'|' +
                            (answer.isProtected ? QStringLiteral("Y|") : QStringLiteral("N|")) + document;
    if (RtfSave()) {
        return;
    }
    archiver.SetZipComment(comment);
    StatusPanel3->setText(answer.title);
    host_->addEntryRow(name, comment);
}

void TForm3::FormClose() {
    commitComposition();
    if (RichEdit1->Modified() &&
        Messages::ask(this, QStringLiteral("변경된 내용을 저장 하시겠습니까?"), QStringLiteral("TKEDIT"),
                      MsgButtons::YesNo, MsgAnswer::Yes) == MsgAnswer::Yes) {
        N10Click();
    }
    StatusPanel3->clear();
    password_.clear();
    RichEdit1->Clear();
    RichEdit1->SetModified(false);
    setModifiedMark(false);
    closing_ = true;
    hide();
    closing_ = false;
}

void TForm3::closeEvent(QCloseEvent* event) {
    if (!closing_ && isVisible()) {
        FormClose();
    }
    event->accept();
}

void TForm3::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!isWebBody()) {
        refreshCaretPosition();
    }
}

void TForm3::PopupMenu1Popup() {
    N25->setEnabled(RichEdit1->CanUndo());
    N29->setEnabled(RichEdit1->CanRedo());
    N5->setEnabled(RichEdit1->CanPaste());
    const bool selected = RichEdit1->SelectionLength() != 0;
    N3->setEnabled(selected);
    N4->setEnabled(selected);
    N18->setEnabled(selected);
}

}  // namespace tk
