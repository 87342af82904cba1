#pragma once

#include "richtext/rich_edit_window_objects.h"

namespace tk {

class TCustomRichEdit2;

// How the rich text control answers its window's questions about objects: insertions need
// roOLEInsert and may be refused by OnQueryInsertObject, deletions raise OnDeleteObject and close
// the object. In-place activation is not offered: objects open in their own windows or in the
// desktop's programs, so the in-place answers are E_NOTIMPL and the container events never come.
class TRichEditOleCallback final : public richedit::RichEditOleCallback {
  public:
    explicit TRichEditOleCallback(TCustomRichEdit2& owner) : owner_(owner) {}

    ole::HRESULT QueryInterface(const QUuid& iid, void** object) override;
    unsigned long AddRef() override { return ++refCount_; }
    unsigned long Release() override { return --refCount_; }
    ole::HRESULT GetNewStorage(std::unique_ptr<QByteArray>* storage) override;
    ole::HRESULT GetInPlaceContext() override { return ole::E_NOTIMPL; }
    ole::HRESULT ShowContainerUI(bool) override { return ole::E_NOTIMPL; }
    ole::HRESULT QueryInsertObject(const QUuid& clsid) override;
    ole::HRESULT DeleteObject(const ole::TReObject& reObject) override;
    ole::HRESULT QueryAcceptData() override { return ole::S_OK; }
    ole::HRESULT ContextSensitiveHelp(bool) override { return ole::S_OK; }
    ole::HRESULT GetClipboardData() override { return ole::E_NOTIMPL; }
    ole::HRESULT GetDragDropEffect() override { return ole::E_NOTIMPL; }
    ole::HRESULT GetContextMenu() override { return ole::E_NOTIMPL; }

    // The identifiers QueryInterface answers to: this interface and the basic one every object has.
    static const QUuid IID_IRichEditOleCallback;
    static const QUuid IID_IUnknown;

  private:
    TCustomRichEdit2& owner_;
    unsigned long refCount_ = 0;
};

}  // namespace tk
