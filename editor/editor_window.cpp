#include "editor/editor_window.h"

#include "editor/archive_progress.h"
#include "editor/char_palette.h"
#include "editor/format_bar.h"
#include "editor/ruler.h"
#include "editor/web_view.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/wait_cursor.h"
#include "richedit/qe_rich_edit.h"
#include "store/entry_store.h"
#include "store/web_page_files.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLabel>
#include <QLocale>
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
    setupLinkDialogs();
    setBodyView(false);
}

TForm3::~TForm3() = default;

void TForm3::setupEditPanel() {
    EditPanel = new QWidget(this);
    auto* layout = new QVBoxLayout(EditPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    RichEdit1 = new TQE_RichEdit(EditPanel);
    RichEdit1->SetWordWrap(true);
    RichEdit1->SetWantTabs(true);
    RichEdit1->SetCompress(false);
    QFont font(QStringLiteral("굴림"), 9);
    font.setFamilies({QStringLiteral("굴림"), QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR")});
    RichEdit1->SetFont(font);
    setupRuler();
    setupFormatBar();
    layout->addWidget(Ruler);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(Panel1);
    RichEdit1->OnChange = [this](QObject*) { setModifiedMark(RichEdit1->Modified()); };
    RichEdit1->OnSelectionChange = [this](QObject*) { RichEdit1SelectionChange(); };
    RichEdit1->OnURLClick = [this](QObject* sender, const QString& url, TMouseButton button) {
        RichEdit1URLClick(sender, url, button);
    };
}

void TForm3::setupWebView() {
    htmlPanel = new WebView(this);
    connect(htmlPanel->ToolButton1, &QToolButton::clicked, this, [this] { N1Click(); });
    connect(htmlPanel->ToolButton2, &QToolButton::clicked, this, [this] { N11Click(); });
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
    auto add = [this](const QString& caption, const QKeySequence& key, bool (TForm3::*slot)()) {
        QAction* action = PopupMenu1->addAction(caption);
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            RichEdit1->addAction(action);
        }
        if (slot) {
            connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
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
    N8 = add(QStringLiteral("선택하여 붙여넣기"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_V), nullptr);
    N18 = add(QStringLiteral("지우기"), {}, nullptr);
    PopupMenu1->addSeparator();
    setupFormatMenu();
    setupFindMenu();
    PopupMenu1->addSeparator();
    N31 = add(QStringLiteral("파일 링크"), {}, nullptr);
    N12 = add(QStringLiteral("개체 넣기"), {}, nullptr);
    N7 = add(QStringLiteral("이미지 넣기"), {}, nullptr);
    N27 = add(QStringLiteral("특수문자 넣기"), {}, nullptr);
    N30 = add(QStringLiteral("날짜 시간 넣기"), {}, nullptr);
    PopupMenu1->addSeparator();
    N19 = add(QStringLiteral("문서 열기"), QKeySequence(Qt::CTRL | Qt::Key_O), &TForm3::N19Click);
    N10 = add(QStringLiteral("문서 저장"), QKeySequence(Qt::CTRL | Qt::Key_S), &TForm3::N10Click);
    // Ctrl+N belongs to the first item in menu order, new document; here it is only shown.
    N11 = add(QStringLiteral("새 이름으로 문서 저장\tCtrl+N"), {}, &TForm3::N11Click);
    setupPrintMenu();

    connect(N25, &QAction::triggered, this, [this] { RichEdit1->Undo(); });
    connect(N29, &QAction::triggered, this, [this] { RichEdit1->Redo(); });
    connect(N3, &QAction::triggered, this, [this] { RichEdit1->CutToClipboard(); });
    connect(N4, &QAction::triggered, this, [this] { RichEdit1->CopyToClipboard(); });
    connect(N5, &QAction::triggered, this, [this] { RichEdit1->PasteFromClipboard(); });
    connect(N8, &QAction::triggered, this, &TForm3::N8Click);
    connect(N31, &QAction::triggered, this, &TForm3::N31Click);
    connect(N12, &QAction::triggered, this, &TForm3::N12Click);
    connect(N7, &QAction::triggered, this, &TForm3::N7Click);
    connect(N27, &QAction::triggered, this, &TForm3::N27Click);
    connect(N30, &QAction::triggered, this, &TForm3::N30Click);
    connect(N18, &QAction::triggered, this, [this] { RichEdit1->SetSelectedText(QString()); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm3::PopupMenu1Popup);
    RichEdit1->SetPopupMenu(PopupMenu1);
}

void TForm3::N27Click() {
    if (Form7 == nullptr) {
        return;
    }
    Form7->show();
    Form7->raise();
    Form7->activateWindow();
}

// The date with the weekday's full name and the time on the 12-hour clock with its morning or
// afternoon marker, in Korean whatever the system's language: the program's texts are Korean.
void TForm3::N30Click() {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    RichEdit1->SetSelectedText(korean.toString(Now(), QStringLiteral("yyyy.MM.dd.dddd hh:mm AP")));
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

void TForm3::bind(const EntryRef& entry) {
    bound_ = entry;
    newEntry_ = false;
    StatusPanel3->setText(entry.title);
}

void TForm3::unbind() {
    bound_ = EntryRef{};
    newEntry_ = true;
}

void TForm3::clearDocument() {
    StatusPanel3->clear();
    StatusPanel2->clear();
    RichEdit1->Clear();
    RichEdit1->SetModified(false);
    setModifiedMark(false);
}

bool TForm3::maybeSave() {
    commitComposition();
    if (!RichEdit1->Modified()) {
        return true;
    }
    switch (Messages::ask(this, QStringLiteral("변경된 내용을 저장 하시겠습니까?"), QStringLiteral("TKEDIT"),
                          MsgButtons::YesNoCancel, MsgAnswer::Yes)) {
        case MsgAnswer::Yes:
            return N10Click();
        case MsgAnswer::No:
            return true;
        default:
            return false;
    }
}

bool TForm3::N1Click() {
    if (!maybeSave()) {
        return false;
    }
    setBodyView(false);
    StatusPanel3->clear();
    StatusPanel2->clear();
    StatusPanel1->clear();
    RichEdit1->Clear();
    RichEdit1->SetModified(false);
    unbind();
    setModifiedMark(false);
    return true;
}

bool TForm3::N19Click() {
    if (!maybeSave()) {
        return false;
    }
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("문서 열기"), QString(),
        QStringLiteral("RTF 파일 (*.rtf);;TXT 파일 (*.txt);;HTM 또는 HTML 파일 (*.htm *.html);;모든 파일 (*)"));
    return !path.isEmpty() && openFile(path);
}

bool TForm3::openFile(const QString& path) {
    if (path.endsWith(QLatin1String(".htm")) || path.endsWith(QLatin1String(".html"))) {
        unbind();
        WebDocPath = QFileInfo(path).absoluteFilePath();
        setBodyView(true);
        htmlPanel->Navigate(WebDocPath);
        RichEdit1->Clear();
    } else {
        setBodyView(false);
        if (!RichEdit1->Lines().LoadFile(path)) {
            Messages::show(
                this, QStringLiteral("문서를 열 수 없습니다.\n%1\n(%2)").arg(path, RichEdit1->Lines().errorString()),
                MsgKind::Error);
            return false;
        }
    }
    // The opened document is in no entry yet (or differs from the bound one): closing offers to save it.
    RichEdit1->SetModified(true);
    setModifiedMark(true);
    return true;
}

bool TForm3::showEntry(const EntryRef& entry, const QString& bodyFile) {
    if (entry.isWeb()) {
        WebDocPath = bodyFile;
        setBodyView(true);
        htmlPanel->Navigate(WebDocPath);
        RichEdit1->Clear();
    } else {
        setBodyView(false);
        if (!RichEdit1->Lines().LoadFile(bodyFile)) {
            Messages::show(this,
                           QStringLiteral("Error in Extract; Fatal DLL Exception in mainunit\n문서를 읽을 수 없습니다. "
                                          "(%1)")
                               .arg(RichEdit1->Lines().errorString()),
                           MsgKind::Error);
            clearDocument();
            unbind();
            return false;
        }
    }
    bind(entry);
    RichEdit1->SetModified(false);
    setModifiedMark(false);
    return true;
}

void TForm3::entryRetitled(const EntryRef& entry) {
    if (!bound_.isValid() || bound_.archivePath != entry.archivePath) {
        return;
    }
    bound_.password = entry.password;
    bound_.title = entry.title;
    StatusPanel3->setText(entry.title);
}

void TForm3::entryDeleted(const QString& archivePath) {
    if (bound_.isValid() && bound_.archivePath == archivePath) {
        unbind();  // the next save asks as for a new entry
    }
}

void TForm3::entryFolderMoved(const QString& oldFolder, const QString& newFolder) {
    if (bound_.isValid() && bound_.archivePath.startsWith(oldFolder)) {
        bound_.archivePath = newFolder + bound_.archivePath.mid(oldFolder.size());
    }
}

bool TForm3::N10Click() {
    commitComposition();
    if (newEntry_) {
        return N11Click();
    }
    return !RtfSave();
}

bool TForm3::bodyFiles(BodyFiles* body) {
    EntryStore& store = host_->store();
    if (!isWebBody()) {
        if (!RichEdit1->Lines().SaveFile(store.richBodyFile())) {
            Messages::show(this,
                           QStringLiteral("Error in Add; Fatal DLL Exception in mainunit\n문서를 저장할 파일을 쓸 수 "
                                          "없습니다. (%1)\n편집한 내용은 그대로 남아 있습니다.")
                               .arg(RichEdit1->Lines().errorString()),
                           MsgKind::Error);
            return false;
        }
        *body = store.richBody();
        return true;
    }
    WebPageFiles page;
    QString why;
    if (!collectWebPageFiles(WebDocPath, &page, &why)) {
        Messages::show(this, why, MsgKind::Error);
        return false;
    }
    constexpr qint64 kAskAbove = 50LL * 1024 * 1024;
    if (page.totalBytes > kAskAbove &&
        Messages::ask(this,
                      QStringLiteral("저장할 웹 문서와 그에 딸린 파일이 모두 %1 MB입니다.\n저장하시겠습니까?")
                          .arg((page.totalBytes + 1024 * 1024 - 1) / (1024 * 1024)),
                      QStringLiteral("TKEDIT"), MsgButtons::YesNo, MsgAnswer::No) != MsgAnswer::Yes) {
        return false;
    }
    *body = BodyFiles{withTrailingSlash(QFileInfo(WebDocPath).absolutePath()), fileSpecsFor(page.relativePaths), true,
                      true};
    return true;
}

void TForm3::showSaveError() {
    EntryStore& store = host_->store();
    QString text = store.errorString() + QStringLiteral("\n편집한 내용은 그대로 남아 있습니다.");
    if (store.error() == EntryError::Missing) {
        text += QStringLiteral("\n다시 저장하면 새 글로 저장합니다.");
    }
    Messages::show(this, text, MsgKind::Error);
}

bool TForm3::RtfSave() {
    commitComposition();
    WaitCursor wait;
    BodyFiles body;
    if (!bodyFiles(&body)) {
        return true;
    }
    EntryStore& store = host_->store();
    bool saved = false;
    {
        ArchiveProgress progress(store.archiver(), this, QStringLiteral("저장하는 중..."));
        saved = store.saveBody(bound_, body);
    }
    if (!saved) {
        // The entry's archive is gone: saving it again makes a new entry instead of an untitled one.
        if (store.error() == EntryError::Missing) {
            unbind();
        }
        showSaveError();
        return true;
    }
    RichEdit1->SetModified(false);
    setModifiedMark(false);
    return false;
}

bool TForm3::N11Click() {
    commitComposition();
    const QString folder = host_->listDir();
    if (folder.isEmpty()) {
        // No category is listed: there is no folder to put a new entry in.
        Messages::show(this, QStringLiteral("항목을 선택해주세요."));
        return false;
    }
    NewEntryAnswer answer;
    if (!host_->askNewEntry(&answer)) {
        return false;
    }
    WaitCursor wait;
    BodyFiles body;
    if (!bodyFiles(&body)) {
        return false;
    }
    const QString document = isWebBody() ? QFileInfo(WebDocPath).fileName() : QString(kDocumentFile);
    const EntryComment comment{answer.title, answer.category, answer.isProtected, document};
    EntryStore& store = host_->store();
    EntryRef created;
    QString archiveName;
    bool saved = false;
    {
        ArchiveProgress progress(store.archiver(), this, QStringLiteral("저장하는 중..."));
        saved = store.create(folder, comment, answer.password, body, &created, &archiveName);
    }
    if (!saved) {
        showSaveError();
        return false;
    }
    // From now on the document belongs to the new entry: a plain save writes into it.
    bind(created);
    RichEdit1->SetModified(false);
    setModifiedMark(false);
    host_->entryCreated(folder, archiveName, comment);
    return true;
}

bool TForm3::FormClose() {
    commitComposition();
    if (RichEdit1->Modified() &&
        Messages::ask(this, QStringLiteral("변경된 내용을 저장 하시겠습니까?"), QStringLiteral("TKEDIT"),
                      MsgButtons::YesNo, MsgAnswer::Yes) == MsgAnswer::Yes &&
        !N10Click()) {
        return false;  // the save did not happen: the document stays
    }
    clearDocument();
    unbind();
    closing_ = true;
    hide();
    closing_ = false;
    return true;
}

void TForm3::closeEvent(QCloseEvent* event) {
    if (!closing_ && isVisible() && !FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void TForm3::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!isWebBody()) {
        RichEdit1SelectionChange();
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
    refreshFindNext();
}

QColor TForm3::editorWindowColor() const {
    // No colour of its own means the system's window colour.
    const QColor own = RichEdit1->Color();
    return own.isValid() ? own : RichEdit1->palette().color(QPalette::Base);
}

QColor TForm3::editorFontColor() const {
    return RichEdit1->palette().color(QPalette::Text);
}

void TForm3::setEditorColors(const QColor& window, const QColor& font) {
    RichEdit1->SetColor(window);
    QPalette p = RichEdit1->palette();
    p.setColor(QPalette::Text, font);
    RichEdit1->setPalette(p);
}

bool TForm3::wordWrap() const {
    return RichEdit1->WordWrap();
}

void TForm3::setWordWrap(bool wrap) {
    RichEdit1->SetWordWrap(wrap);
}

bool TForm3::stayOnTop() const {
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void TForm3::setStayOnTop(bool onTop) {
    if (stayOnTop() == onTop) {
        return;
    }
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible) {
        show();  // a change of window flags hides the window
    }
}

}  // namespace tk
