// The editor's links and insertions: opening a clicked link, writing a file link, inserting a
// picture or another object, and paste special.
#include "editor/editor_window.h"

#include "editor/file_links.h"
#include "platform/message_box.h"
#include "platform/ole_objects.h"
#include "platform/shell_open.h"
#include "richedit/qe_rich_edit.h"
#include "store/entry_store.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTextDocument>
#include <QUrl>

namespace tk {

void TForm3::setupLinkDialogs() {
    OpenDialog1 = [this](const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(this, QStringLiteral("파일 링크"), folder, filter);
    };
    OpenPictureDialog1 = [this](const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(this, QStringLiteral("이미지 넣기"), folder, filter);
    };
}

QString TForm3::fileLinkFilter() {
    return QStringLiteral("모든 파일 (*)");
}

// PNG, which pictures mostly come as today, is offered with the others and as a kind of its own.
QString TForm3::pictureFilter() {
    return QStringLiteral(
        "All (*.gif *.dib *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.png);;JPEG Image File (*.jpg);;"
        "JPEG Image File (*.jpeg);;Bitmaps (*.bmp);;Icons (*.ico);;Enhanced Metafiles (*.emf);;"
        "Metafiles (*.wmf);;GIF Image (*.gif);;Device Independent Bitmap (*.dib);;PNG Image (*.png)");
}

QString TForm3::programDir() const {
    return host_->store().programDir();
}

void TForm3::showCannotOpen(const QString& link) {
    Messages::show(this, QStringLiteral("실행할 수 없습니다.\n%1\n주소가 올바른지, 이 파일이나 주소를 열 프로그램이 "
                                        "있는지 확인하십시오.")
                             .arg(link));
}

// A link's file is opened by its default program; one that would run a program only after the
// user agreed (a "no" ends it quietly).
void TForm3::openLinkedFile(const QString& link, const QString& path) {
    const QString found = findPathIgnoringCase(path);
    if (found.isEmpty()) {
        QString text = link + QStringLiteral("가 없습니다.\n");
        if (!path.isEmpty()) {
            text += QStringLiteral("(찾아본 곳: %1)\n").arg(QDir::current().absoluteFilePath(path));
        }
        Messages::show(this, text + QStringLiteral("파일이 옮겨졌거나 이름이 바뀌었으면 링크를 고치십시오."));
        return;
    }
    const QString file = QFileInfo(found).absoluteFilePath();
    const bool program = opensAsProgram(file);
    if (!shellOpenFile(this, file) && !program) {
        showCannotOpen(link);
    }
}

void TForm3::RichEdit1URLClick(QObject*, const QString& URLText, TMouseButton) {
    if (isFileLink(URLText)) {
        openLinkedFile(URLText, fileLinkPath(URLText, programDir()));
        return;
    }
    QUrl url(URLText);
    // An address without a scheme ("www.a.kr") is a web page, as the link detection took it.
    if (url.scheme().isEmpty() && URLText.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        url = QUrl(QStringLiteral("http://") + URLText);
    }
    if (!url.isValid()) {
        showCannotOpen(URLText);
        return;
    }
    // Any other way of naming a local file ("file:/x") also asks before running a program.
    if (url.isLocalFile()) {
        openLinkedFile(URLText, url.toLocalFile());
        return;
    }
    if (!shellLaunch(url)) {
        showCannotOpen(URLText);
    }
}

void TForm3::N31Click() {
    const QString path = OpenDialog1(QString(), fileLinkFilter());
    if (path.isEmpty()) {
        return;
    }
    const QString link = fileLinkText(QFileInfo(path).absoluteFilePath(), programDir());
    if (link.isEmpty()) {
        Messages::show(this,
                       QStringLiteral("이 파일에는 링크를 만들 수 없습니다.\n%1\n경로에 \\ 나 \" 또는 줄바꿈 같은 "
                                      "공백 문자가 있으면 링크가 그 파일을 찾지 못합니다. 파일이나 폴더의 이름을 "
                                      "바꾼 뒤 다시 하십시오.")
                           .arg(path),
                       MsgKind::Warning);
        return;
    }
    RichEdit1->SetSelectedText(link);
}

namespace {

const QString kNoPictureObject =
    QStringLiteral("그림 개체를 만들 수 없습니다.\n프로그램을 다시 설치한 뒤 다시 해 보십시오.");

}  // namespace

// The picture goes in before the selected text, which is removed only once the picture is in, so
// that a picture that cannot be read leaves the document as it was.
void TForm3::N7Click() {
    if (ole::ObjectServers::instance().find(QString::fromLatin1(ole::kImageClassName)) == nullptr) {
        Messages::show(this,
                       QStringLiteral("그림을 넣을 수 없습니다. 프로그램의 그림 기능(그림 개체 모듈)이 없습니다.\n"
                                      "프로그램을 다시 설치하십시오."),
                       MsgKind::Error);
        return;
    }
    const QString chosen = OpenPictureDialog1(programDir(), pictureFilter());
    if (chosen.isEmpty()) {
        return;
    }
    const int start = RichEdit1->SelectionStart();
    const int replaced = RichEdit1->SelectionLength();
    RichEdit1->SetSelectionRange(start, start, false);
    if (!insertPicture(start, QFileInfo(chosen).absoluteFilePath())) {
        RichEdit1->SetSelectionRange(start, start + replaced, false);
        return;
    }
    if (replaced > 0) {
        RichEdit1->SetSelectionRange(start + 1, start + 1 + replaced, false);
        RichEdit1->SetSelectedText(QString());
    }
    RichEdit1->SetSelectionRange(start, start + 1, false);
}

bool TForm3::insertPicture(int position, const QString& file) {
    const bool wasModified = RichEdit1->Modified();
    const int before = RichEdit1->document().characterCount();
    RichEdit1->InsertObjectByClassName(QString::fromLatin1(ole::kImageClassName),
                                       ole::REO_RESIZABLE | ole::REO_DYNAMICSIZE);
    if (RichEdit1->document().characterCount() != before + 1) {
        Messages::show(this, kNoPictureObject, MsgKind::Error);
        return false;
    }
    RichEdit1->SetSelectionRange(position, position + 1, false);
    if (loadPicture(file)) {
        return true;
    }
    RichEdit1->SetSelectedText(QString());  // no empty picture stays behind
    RichEdit1->SetModified(wasModified);
    setModifiedMark(wasModified);
    return false;
}

bool TForm3::loadPicture(const QString& file) {
    ole::TReObject object;
    if (!RichEdit1->SelectedObjectPresent() || !ole::succeeded(RichEdit1->GetSelectedObject(object)) ||
        object.poleobj == nullptr) {
        Messages::show(this, kNoPictureObject, MsgKind::Error);
        return false;
    }
    auto* image = static_cast<ole::IQEImage*>(object.poleobj->queryInterface(ole::IID_IQEImage));
    if (image == nullptr) {
        Messages::show(this,
                       QStringLiteral("그림 개체가 그림을 받지 못합니다. 프로그램의 그림 기능이 올바르지 않습니다.\n"
                                      "프로그램을 다시 설치하십시오."),
                       MsgKind::Error);
        return false;
    }
    ole::HRESULT result = image->SetUpdating(true);
    if (ole::succeeded(result)) {
        result = image->LoadFromFile(file);
        if (!ole::succeeded(result)) {
            Messages::show(this,
                           QStringLiteral("그림 파일(%1)을 읽을 수 없습니다. 다른 그림 파일을 고르십시오.\n(%2)")
                               .arg(file, ole::errorText(result)),
                           MsgKind::Error);
            return false;
        }
        result = image->SetUpdating(false);
    }
    if (ole::succeeded(result)) {
        result = image->SetAutoSize(true);
    }
    if (!ole::succeeded(result)) {
        Messages::show(this, QStringLiteral("그림을 넣을 수 없습니다.\n") + ole::errorText(result), MsgKind::Error);
        return false;
    }
    return true;
}

void TForm3::N12Click() {
    RichEdit1->ShowInsertObjectDialog();
}

void TForm3::N8Click() {
    RichEdit1->ShowPasteSpecialDialog();
}

}  // namespace tk
