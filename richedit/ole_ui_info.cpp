#include "richedit/ole_ui_info.h"

#include "platform/message_box.h"
#include "richedit/custom_rich_edit.h"
#include "richtext/rich_edit_window_objects.h"

#include <QFileInfo>

namespace tk {

using namespace tk::ole;

HRESULT TOleUIObjInfo::GetObjectInfo(qint64* size, QString* label, QString* type, QString* shortType,
                                     QString* location) const {
    const OleObject* object = record_.poleobj;
    *size = -1;
    *label = object->fullTypeName();
    *type = object->fullTypeName();
    *shortType = object->shortTypeName();
    const QString title = owner_.Title().trimmed();
    *location = title.isEmpty() ? Messages::applicationTitle()
                                : QStringLiteral("%1 - %2").arg(Messages::applicationTitle(), owner_.Title());
    return S_OK;
}

HRESULT TOleUIObjInfo::GetConvertInfo(QUuid* classId) const {
    *classId = record_.poleobj->classId();
    return S_OK;
}

HRESULT TOleUIObjInfo::GetViewInfo(QImage* icon, unsigned* aspect, int* scale) const {
    *icon = richedit::classIconImage(record_.poleobj->shortTypeName());
    *aspect = record_.dvaspect;
    *scale = 0;
    return S_OK;
}

HRESULT TOleUIObjInfo::SetViewInfo(unsigned aspect) {
    richedit::RichEditObjects* objects = owner_.OleInterface();
    if (objects == nullptr) {
        return E_NOTIMPL;
    }
    const bool icon = aspect == DVASPECT_ICON ||
                      (aspect != DVASPECT_CONTENT && aspect != DVASPECT_ICON && record_.dvaspect == DVASPECT_ICON);
    const unsigned wanted = icon ? DVASPECT_ICON : DVASPECT_CONTENT;
    const HRESULT hr = objects->setDvaspect(REO_IOB_SELECTION, wanted);
    if (succeeded(hr)) {
        record_.dvaspect = wanted;
    }
    return hr;
}

// ---- the link ----

QString TOleUILinkInfo::invalidSourceText() {
    return QStringLiteral("잘못된 원본에는 연결할 수 없습니다. 있는 파일을 고르십시오.");
}

QString TOleUILinkInfo::cancelLinkText() {
    return QStringLiteral("연결 끊기는 지원하지 않습니다.");
}

QString TOleUILinkInfo::captionText() {
    return QStringLiteral("연결 속성");
}

std::unique_ptr<TOleUILinkInfo> TOleUILinkInfo::create(TCustomRichEdit2& owner, const TReObject& record) {
    OleLink* link = record.poleobj != nullptr ? record.poleobj->link() : nullptr;
    if (link == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<TOleUILinkInfo>(new TOleUILinkInfo(owner, record, link));
}

HRESULT TOleUILinkInfo::SetLinkUpdateOptions(unsigned options) {
    const HRESULT hr = link_->setUpdateOptions(options);
    if (succeeded(hr)) {
        owner_.SetModified(true);
    }
    return hr;
}

HRESULT TOleUILinkInfo::GetLinkUpdateOptions(unsigned* options) const {
    *options = link_->updateOptions();
    return S_OK;
}

HRESULT TOleUILinkInfo::SetLinkSource(const QString& displayName, bool validated, int* eaten) {
    if (!validated) {
        Messages::show(&owner_, invalidSourceText(), MsgKind::Error, captionText());
        return E_FAIL;
    }
    const QString name = displayName.left(256);
    if (!succeeded(link_->setSourceDisplayName(name))) {
        return E_FAIL;
    }
    *eaten = static_cast<int>(name.size());
    return S_OK;
}

HRESULT TOleUILinkInfo::GetLinkSource(QString* displayName, int* fileNameLength, QString* fullType,
                                      QString* shortType) const {
    *displayName = link_->sourceDisplayName();
    *fileNameLength = QFileInfo(*displayName).isAbsolute() ? static_cast<int>(displayName->size()) : 0;
    *fullType = record_.poleobj->fullTypeName();
    *shortType = record_.poleobj->shortTypeName();
    return S_OK;
}

HRESULT TOleUILinkInfo::OpenLinkSource() {
    const HRESULT hr = record_.poleobj->doVerb(OLEIVERB_SHOW, &owner_);
    if (!succeeded(hr)) {
        Messages::show(&owner_, QStringLiteral("연결된 원본을 열지 못했습니다. 원본 파일이 있는지 확인하십시오."),
                       MsgKind::Error, captionText());
    }
    return hr;
}

HRESULT TOleUILinkInfo::UpdateLink() {
    const HRESULT hr = link_->update();
    if (!succeeded(hr)) {
        Messages::show(&owner_, QStringLiteral("연결된 원본을 다시 읽지 못했습니다. 원본 파일이 있는지 확인하십시오."),
                       MsgKind::Error, captionText());
    }
    return hr;
}

HRESULT TOleUILinkInfo::CancelLink() {
    Messages::show(&owner_, cancelLinkText(), MsgKind::Error, captionText());
    return E_NOTIMPL;
}

}  // namespace tk
