#pragma once

#include "platform/ole_objects.h"
#include "richtext/rich_format.h"

#include <QObject>
#include <QPointer>
#include <QTextImageFormat>

#include <memory>
#include <unordered_map>
#include <vector>

class QMimeData;
class QTextCursor;
class QTextDocument;

namespace tk::richedit {

class RichEditModel;

// The clipboard type of a copied embedded object: its class, stored data, aspect and size.
inline constexpr char kObjectMimeType[] = "application/x-tomekeep-embedded-object";

using richformat::ObjectLinkSource;

// What the window asks its owner about objects. The owner answers insertions and deletions; the
// answers follow the object interfaces the control was written against.
class RichEditOleCallback {
  public:
    virtual ~RichEditOleCallback() = default;
    virtual ole::HRESULT QueryInterface(const QUuid& iid, void** object) = 0;
    virtual unsigned long AddRef() = 0;
    virtual unsigned long Release() = 0;
    // A new block of storage for an object's data.
    virtual ole::HRESULT GetNewStorage(std::unique_ptr<QByteArray>* storage) = 0;
    virtual ole::HRESULT GetInPlaceContext() = 0;
    virtual ole::HRESULT ShowContainerUI(bool show) = 0;
    // S_OK lets an object of the class in; anything else keeps it out.
    virtual ole::HRESULT QueryInsertObject(const QUuid& clsid) = 0;
    // The object's character has gone from the document; the record says what it was.
    virtual ole::HRESULT DeleteObject(const ole::TReObject& reObject) = 0;
    virtual ole::HRESULT QueryAcceptData() = 0;
    virtual ole::HRESULT ContextSensitiveHelp(bool enterMode) = 0;
    virtual ole::HRESULT GetClipboardData() = 0;
    virtual ole::HRESULT GetDragDropEffect() = 0;
    virtual ole::HRESULT GetContextMenu() = 0;
};

// The object record to be copied to the clipboard and read back.
struct CopiedObject {
    QString className;
    QByteArray data;
    unsigned aspect = ole::DVASPECT_CONTENT;
    QSize sizel;  // twips
};
QByteArray encodeCopiedObject(const CopiedObject& object);
bool decodeCopiedObject(const QByteArray& bytes, CopiedObject* object);

// A linked object: a package object holding a copy of the source file, with the link to that file.
// Updating the link reads the file again.
std::unique_ptr<ole::OleObject> makeLinkedObject(const QString& sourcePath, ole::HRESULT* result = nullptr);

// A new object of the copied object's class holding its data; null with *result set when the class
// is not registered or the data does not load.
std::unique_ptr<ole::OleObject> makeCopiedObject(const CopiedObject& object, ole::HRESULT* result = nullptr);

// The class icon shown for an object in its icon aspect: the file icon over the short type name.
QImage classIconImage(const QString& shortTypeName);

// The window's embedded objects: every image character of the document, in document order, with
// the live instance of the ones that have been asked for. Instances are made from a character's
// class and stored data when first needed, never while a document loads. The index follows the
// document's edits, so that a character's removal reaches the owner's callback as a deletion.
class RichEditObjects final : public QObject {
    Q_OBJECT

  public:
    RichEditObjects(RichEditModel& model, QWidget* window);
    ~RichEditObjects() override;
    RichEditObjects(const RichEditObjects&) = delete;
    RichEditObjects& operator=(const RichEditObjects&) = delete;

    void setCallback(RichEditOleCallback* callback) { callback_ = callback; }
    RichEditOleCallback* callback() const { return callback_; }
    // Stops following the document: the window lets go of it.
    void detach();

    int count();
    // The record of object index (or REO_IOB_SELECTION); with wantObject the live instance is made
    // when it can be. E_INVALIDARG when there is no such object.
    ole::HRESULT getObject(int index, ole::TReObject* record, bool wantObject);
    // The index of the object that is the whole selection, or -1.
    int selectedIndex();
    int positionOf(int index);
    // The index of the picture or object at the character position, or -1.
    int indexAt(int position);
    QTextImageFormat formatOf(int index);

    // Inserts the object as one character at record.cp (or the selection), with the character
    // format found there; the window takes the instance over. The record's flags, aspect, user
    // value and size (empty: the object's own) go on the character.
    ole::HRESULT insertObject(const ole::TReObject& record, std::unique_ptr<ole::OleObject> object);
    // Shows the selected object as its content or as its class icon.
    ole::HRESULT setDvaspect(int index, unsigned aspect);
    // Closes every live instance without saving, the last one first; the characters stay.
    void closeAll();

    // Whether the owner lets an object of the class in.
    bool queryInsert(const QUuid& clsid) const;
    // The class identifier of a registered class name; null for unknown classes.
    static QUuid classIdOf(const QString& className);
    // Removes from a document about to be pasted the image characters the owner refuses and
    // forgets their live-instance keys, so that the pasted ones are objects of their own.
    void filterPaste(QTextDocument& scratch) const;

  private:
    struct Entry {
        int pos = 0;
        QTextImageFormat format;
        int key = 0;
        QSize sizel;          // twips given at insertion; empty: the object's own size
        bool failed = false;  // its server could not make it
    };

    void contentsChange(int position, int removed, int added);
    void contentsChanged();
    void markStale();
    void resolve();
    std::vector<Entry> scan(int from, int to) const;
    std::vector<Entry> reconcile(std::vector<Entry>& gone, std::vector<Entry>& fresh);
    void deleted(Entry& entry);
    ole::TReObject recordOf(const Entry& entry) const;
    ole::OleObject* instanceOf(Entry& entry);
    void wire(Entry& entry, ole::OleObject* object);
    void objectChanged(int key);
    // Builds the character format showing the object as it is now.
    QTextImageFormat shownFormat(const Entry& entry, ole::OleObject* object) const;
    void writeFormat(Entry& entry, const QTextImageFormat& format);
    Entry* entryByKey(int key);

    RichEditModel& model_;
    QPointer<QTextDocument> document_;
    QWidget* window_;
    RichEditOleCallback* callback_ = nullptr;
    std::vector<Entry> entries_;
    std::unordered_map<int, std::unique_ptr<ole::OleObject>> live_;
    bool stale_ = false;
    bool sawChange_ = false;
    int lastLength_ = 0;
    bool ownUpdate_ = false;
    // The object inserted last, while nothing else changed: its first picture joins the insertion's
    // undo step, so that one undo takes the object out.
    int joinKey_ = 0;
    int joinUndoSteps_ = -1;
};

}  // namespace tk::richedit
