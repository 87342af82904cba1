#include "richedit/rich_text_document.h"

#include "richtext/rich_edit_model.h"

namespace tk {

TRichTextDocument::TRichTextDocument()
    : model_(std::make_unique<richedit::RichEditModel>(&document_)), lines_(std::make_unique<TRichEditStrings>(*this)) {
    model_->setTextLimit(0x7FFFFFFF);
}

TRichTextDocument::~TRichTextDocument() = default;

void TRichTextDocument::Clear() {
    model_->setText(QString());
}

void TRichTextDocument::SetSelectionRange(int start, int end, bool) {
    model_->setSelection(start, end);
}

std::unique_ptr<TConversion> TRichTextDocument::makeDefaultConversion() const {
    return std::make_unique<TConversion>();
}

}  // namespace tk
