#pragma once

#include "platform/ole_objects.h"

#include <QImage>
#include <QString>

namespace tk {

class TCustomRichEdit2;

// What the object-properties dialog asks about the selected object, answered from a copy of its
// record.
class TOleUIObjInfo final {
  public:
    TOleUIObjInfo(TCustomRichEdit2& owner, const ole::TReObject& record) : owner_(owner), record_(record) {}

    // size -1: unknown. location: the program's title, with the control's title after it.
    ole::HRESULT GetObjectInfo(qint64* size, QString* label, QString* type, QString* shortType,
                               QString* location) const;
    ole::HRESULT GetConvertInfo(QUuid* classId) const;
    ole::HRESULT ConvertObject() const { return ole::E_NOTIMPL; }
    ole::HRESULT GetViewInfo(QImage* icon, unsigned* aspect, int* scale) const;
    // Shows the object as its icon or its content.
    ole::HRESULT SetViewInfo(unsigned aspect);

  private:
    TCustomRichEdit2& owner_;
    ole::TReObject record_;
};

// The one link of a linked object, as the properties dialog's link page works it.
class TOleUILinkInfo final {
  public:
    // Null when the object has no link.
    static std::unique_ptr<TOleUILinkInfo> create(TCustomRichEdit2& owner, const ole::TReObject& record);

    // The identifier of the link after the given one; 0 when there is none.
    quintptr GetNextLink(quintptr link) const { return link == 0 ? 1 : 0; }
    ole::HRESULT SetLinkUpdateOptions(unsigned options);
    ole::HRESULT GetLinkUpdateOptions(unsigned* options) const;
    // A source the dialog has not found to exist is refused with a message.
    ole::HRESULT SetLinkSource(const QString& displayName, bool validated, int* eaten);
    ole::HRESULT GetLinkSource(QString* displayName, int* fileNameLength, QString* fullType, QString* shortType) const;
    ole::HRESULT OpenLinkSource();
    ole::HRESULT UpdateLink();
    // Breaking a link is not offered; it says so.
    ole::HRESULT CancelLink();
    ole::HRESULT GetLastUpdate() const { return ole::S_OK; }

    static QString invalidSourceText();
    static QString cancelLinkText();
    static QString captionText();

  private:
    TOleUILinkInfo(TCustomRichEdit2& owner, const ole::TReObject& record, ole::OleLink* link)
        : owner_(owner), record_(record), link_(link) {}

    TCustomRichEdit2& owner_;
    ole::TReObject record_;
    ole::OleLink* link_;
};

}  // namespace tk
