#pragma once

#include "richedit/rich_edit_strings.h"

#include <QTextDocument>

#include <functional>
#include <memory>

namespace tk {

namespace richedit {
class RichEditModel;
}

// A rich text control without a window: a document with its line list, for code that has no
// screen (the command-line companion) but loads and saves as the control does. Its default
// character format is the editor's: "굴림" at 9 points in the Korean character set, so plain text
// turned into rich text reads as it would have been typed in the editor.
class TRichTextDocument final : public RichLinesHost {
  public:
    TRichTextDocument();
    ~TRichTextDocument() override;
    TRichTextDocument(const TRichTextDocument&) = delete;
    TRichTextDocument& operator=(const TRichTextDocument&) = delete;

    TRichEditStrings& Lines() { return *lines_; }
    QTextDocument& document() { return document_; }

    bool PlainText() const override { return plainText_; }
    bool Compress() const override { return compress_; }
    void SetCompress(bool compress) override { compress_ = compress; }
    void Clear() override;
    void SetSelectionRange(int start, int end, bool scrollCaret) override;

    richedit::RichEditModel& editModel() override { return *model_; }
    void setLinesUpdating(bool updating) override {}
    std::unique_ptr<TConversion> makeDefaultConversion() const override;
    void setRedraw(bool on) override {}
    std::function<void(QObject*)>* selectionChangeEvent() override { return &selectionChange_; }

  private:
    QTextDocument document_;
    std::unique_ptr<richedit::RichEditModel> model_;
    std::unique_ptr<TRichEditStrings> lines_;
    std::function<void(QObject*)> selectionChange_;
    bool plainText_ = false;
    bool compress_ = false;
};

}  // namespace tk
