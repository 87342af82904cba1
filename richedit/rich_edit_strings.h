#pragma once

#include "richedit/conversion.h"
#include "richedit/rich_edit_types.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;
class QObject;

namespace tk {

namespace richedit {
class RichEditModel;
}

// What the line list needs of the control that owns it. The rich text control is one; a control
// without a screen (the command-line companion) is another.
class RichLinesHost {
  public:
    virtual ~RichLinesHost() = default;
    // The window's document side; the window is created when it does not exist yet.
    virtual richedit::RichEditModel& editModel() = 0;
    virtual bool PlainText() const = 0;
    virtual bool Compress() const = 0;
    virtual void SetCompress(bool compress) = 0;
    virtual void setLinesUpdating(bool updating) = 0;
    virtual void Clear() = 0;
    virtual void SetSelectionRange(int start, int end, bool scrollCaret) = 0;
    virtual std::unique_ptr<TConversion> makeDefaultConversion() const = 0;
    // Redrawing while the list updates (off while it runs, repaint and text-changed at its end).
    virtual void setRedraw(bool on) = 0;
    // The selection-change event, detached while lines are added.
    virtual std::function<void(QObject*)>* selectionChangeEvent() = 0;
};

// The control's text as a list of lines, and the loading and saving of its whole content as
// plain text, RTF or compressed RTF.
class TRichEditStrings final {
  public:
    explicit TRichEditStrings(RichLinesHost& host);
    ~TRichEditStrings();
    TRichEditStrings(const TRichEditStrings&) = delete;
    TRichEditStrings& operator=(const TRichEditStrings&) = delete;

    // Lines, numbered from 0.
    int LineCount() const;
    QString GetLine(int index) const;
    void SetLine(int index, const QString& text);
    void InsertLine(int index, const QString& text);
    void DeleteLine(int index);
    void Add(const QString& text) { InsertLine(LineCount(), text); }
    void Clear();
    void SetUpdating(bool updating);
    void BeginUpdate();
    void EndUpdate();
    // The whole text, lines joined by CR LF, each line ending in one.
    QString Text() const;
    void SetText(const QString& text);
    void AddLines(const QStringList& lines);
    QStringList ToStringList() const;

    TRichStreamFormat StreamFormat() const { return streamFormat_; }
    void SetStreamFormat(TRichStreamFormat format) { streamFormat_ = format; }
    TRichStreamModes StreamMode() const { return streamMode_; }
    void SetStreamMode(TRichStreamModes modes) { streamMode_ = modes; }
    // The bytes plain text is saved in (unless smUnicode asks for UTF-16); loading reads either.
    TTextEncoding TextEncoding() const { return textEncoding_; }
    void SetTextEncoding(TTextEncoding encoding) { textEncoding_ = encoding; }

    // Loading and saving. On failure errorString() says why: loadRefusal() when the content was
    // refused for a reason of its own, "Failed to Load Stream" or "Failed to Save Stream" when the
    // control could not take or give the content, else the file error.
    [[nodiscard]] bool LoadStream(QIODevice& stream);
    [[nodiscard]] bool SaveStream(QIODevice& stream);
    [[nodiscard]] bool LoadFile(const QString& fileName);
    [[nodiscard]] bool SaveFile(const QString& fileName);
    QString errorString() const { return errorString_; }
    // Why the last failed load refused the content, in Korean for the user: a document too large
    // to read, or a compressed container that cannot be decoded. Empty after any other outcome.
    QString loadRefusal() const { return loadRefusal_; }

    // The conversion of the last compressed load or save, kept until the next one.
    const TConversion* currentConversion() const { return conversion_.get(); }

  private:
    bool rtfFormat() const;
    int loadFlags() const;
    int saveFlags() const;
    void replaceRange(int start, int end, const QString& text);
    bool formatFromExtension(const QString& fileName);

    RichLinesHost& host_;
    TRichStreamFormat streamFormat_ = TRichStreamFormat::sfDefault;
    TRichStreamModes streamMode_;
    TTextEncoding textEncoding_ = TTextEncoding::teAnsi;
    std::unique_ptr<TConversion> conversion_;
    int updateDepth_ = 0;
    QString errorString_;
    QString loadRefusal_;
};

}  // namespace tk
