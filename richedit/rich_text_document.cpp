#include "richedit/rich_text_document.h"

#include "richtext/rich_edit_model.h"

namespace tk {

using namespace richedit;

TRichTextDocument::TRichTextDocument()
    : model_(std::make_unique<richedit::RichEditModel>(&document_)), lines_(std::make_unique<TRichEditStrings>(*this)) {
    model_->setTextLimit(0x7FFFFFFF);
    CharFormat2 font;
    font.dwMask = CFM_SIZE | CFM_FACE | CFM_CHARSET | CFM_COLOR;
    font.yHeight = 9 * 20;
    font.szFaceName = QStringLiteral("굴림");
    font.bCharSet = 129;  // Korean
    font.dwEffects = CFE_AUTOCOLOR;
    model_->setCharFormat(SCF_DEFAULT, font);
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
