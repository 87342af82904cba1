#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

// Embedded objects: what an object server makes, the record the rich edit window keeps for each
// object in a document, and the servers registered by class name. The values and names follow the
// object interfaces documents and callers were written against, so that flags read from a stored
// document or given by a caller mean what they meant there.
namespace tk::ole {

// A 32-bit result code: failures have the top bit set and so are negative. (A 64-bit long would
// make every failure code positive, and succeeded() true for it.)
using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001L);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002L);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005L);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000EL);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057L);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154L);
inline constexpr HRESULT STG_E_FILENOTFOUND = HRESULT(0x80030002L);
inline constexpr HRESULT STG_E_ACCESSDENIED = HRESULT(0x80030005L);
inline constexpr HRESULT STG_E_WRITEFAULT = HRESULT(0x8003001DL);
inline constexpr HRESULT STG_E_MEDIUMFULL = HRESULT(0x80030070L);
// The file is not a picture that can be read.
inline constexpr HRESULT CTL_E_INVALIDPICTURE = HRESULT(0x800A01E1L);
inline constexpr bool succeeded(HRESULT hr) {
    return hr >= 0;
}

// Object record flags.
enum ReoFlag : unsigned {
    REO_NULL = 0,
    REO_RESIZABLE = 0x00000001,
    REO_BELOWBASELINE = 0x00000002,
    REO_INVERTEDSELECT = 0x00000004,
    REO_DYNAMICSIZE = 0x00000008,
    REO_BLANK = 0x00000010,
    REO_DONTNEEDPALETTE = 0x00000020,
    REO_LINKAVAILABLE = 0x00800000,
    REO_GETMETAFILE = 0x00400000,
    REO_HILITED = 0x01000000,
    REO_INPLACEACTIVE = 0x02000000,
    REO_OPEN = 0x04000000,
    REO_SELECTED = 0x08000000,
    REO_STATIC = 0x40000000,
    REO_LINK = 0x80000000,
};

// Character position "at the selection" and object index "the selected object".
inline constexpr int REO_CP_SELECTION = -1;
inline constexpr int REO_IOB_SELECTION = -1;

// How an object is shown.
enum DvAspect : unsigned {
    DVASPECT_CONTENT = 1,
    DVASPECT_THUMBNAIL = 2,
    DVASPECT_ICON = 4,
    DVASPECT_DOCPRINT = 8,
};

// Verb numbers every object understands; a server's own verbs count from 0 (the primary verb).
inline constexpr int OLEIVERB_PRIMARY = 0;
inline constexpr int OLEIVERB_SHOW = -1;
inline constexpr int OLEIVERB_OPEN = -2;
inline constexpr int OLEIVERB_HIDE = -3;
inline constexpr int OLEIVERB_PROPERTIES = -7;

struct OleVerb {
    int number = 0;
    QString name;                 // menu caption, with its "&" accelerator
    bool onContainerMenu = true;  // offered in the holder's context menu
};

// The source of a linked object (REO_LINK).
class OleLink {
  public:
    virtual ~OleLink() = default;
    virtual QString sourceDisplayName() const = 0;
    virtual HRESULT setSourceDisplayName(const QString& name) = 0;
    // 1 = updated automatically, 3 = only when asked.
    virtual unsigned updateOptions() const = 0;
    virtual HRESULT setUpdateOptions(unsigned options) = 0;
    // Reads the source again.
    virtual HRESULT update() = 0;
};

// An embedded object as its server makes it. The holder owns it, draws picture() at the record's
// size, stores save() in the document and gives it back to load() when the document is read again.
class OleObject {
  public:
    virtual ~OleObject() = default;
    // The class name the server registered ("ZIZazidi.QEImage", "Package").
    virtual QString className() const = 0;
    virtual QUuid classId() const = 0;
    // User type names: the full one for menus and dialog captions, the short one for lists.
    virtual QString fullTypeName() const = 0;
    virtual QString shortTypeName() const = 0;
    virtual QList<OleVerb> verbs() const = 0;
    // Carries out a verb; window is the holder's window, for dialogs and placement.
    virtual HRESULT doVerb(int verb, QWidget* window) = 0;
    // The server's stored data and the way back from it.
    virtual QByteArray save() const = 0;
    virtual HRESULT load(const QByteArray& data) = 0;
    // What the object shows in its content aspect and its natural size in twips (empty: the
    // picture's own size at 96 dots per inch).
    virtual QImage picture() const = 0;
    virtual QSize extentTwips() const = 0;
    // The shown picture as encoded bytes a document can keep unchanged, with their kind ("png" or
    // "jpeg") in *kind; empty when the picture has to be encoded anew.
    virtual QByteArray encodedPicture(QByteArray* kind) const { return {}; }
    // Another interface of the object by identifier, or null when it has none.
    virtual void* queryInterface(const QUuid& iid) { return nullptr; }
    virtual OleLink* link() { return nullptr; }
    // Ends the object's work without saving (open files, windows of its own).
    virtual void close() {}

    // Set by the holder: the object calls it after its picture, size or stored data changed.
    std::function<void()> changed;
};

// One registered class: its names, and how to make an object of it.
struct ServerClass {
    QString name;  // program identifier, e.g. "ZIZazidi.QEImage"
    QUuid classId;
    QString fullTypeName;
    QString shortTypeName;
    // Offered by the insert-object dialog's list of classes to create new.
    bool insertable = true;
    std::function<std::unique_ptr<OleObject>()> create;
    // Makes an object holding a copy of the file; only the package server has one.
    std::function<std::unique_ptr<OleObject>(const QString& path, HRESULT* result)> createFromFile;
};

// What the program lends its object servers, plugins included: they reach the program's own
// services through these members rather than through copies of its code of their own.
struct ServerHost {
    // The program's scratch folder, ending in "/": objects write the files they open below it.
    QString scratchDir;
    // Opens a file with the desktop's program for it, asking first when it would run a program
    // (shellOpenFile); false when the user said no or the desktop could not open it.
    std::function<bool(QWidget* parent, const QString& path)> openFile;
    // Asks the user for a file to read (QFileDialog); empty when cancelled.
    std::function<QString(QWidget* parent, const QString& caption, const QString& filter)> chooseFile;
    // Tells the user of a failure in the program's message box (Messages::show).
    std::function<void(QWidget* parent, const QString& text)> showWarning;
};

// A Korean sentence saying what went wrong for a failure code an object or server returned.
QString errorText(HRESULT hr);

// The servers registered by class name. Registration happens at start, from the program itself
// (the package server) and from the server plugins beside the program.
class ObjectServers {
  public:
    // The host's openFile is shellOpenFile and its scratch folder empty until set.
    ObjectServers();
    static ObjectServers& instance();

    const ServerHost& host() const { return host_; }
    // The scratch folder is given at start, once the program has made it.
    void setScratchDir(const QString& folder) { host_.scratchDir = folder; }
    void setFileOpener(std::function<bool(QWidget* parent, const QString& path)> openFile) {
        host_.openFile = std::move(openFile);
    }
    void setFileChooser(std::function<QString(QWidget*, const QString&, const QString&)> chooseFile) {
        host_.chooseFile = std::move(chooseFile);
    }

    // Adds or replaces the class of the same name.
    void registerClass(ServerClass serverClass);
    void unregisterClass(const QString& name);
    // Finds a class by its name (case-insensitively) or by its braced class identifier.
    const ServerClass* find(const QString& nameOrClassId) const;
    std::vector<const ServerClass*> classes() const;

    // A new object of a registered class; null with *result set when the class is unknown
    // (REGDB_E_CLASSNOTREG) or the server fails.
    std::unique_ptr<OleObject> create(const QString& nameOrClassId, HRESULT* result = nullptr) const;
    // A new object holding a copy of a file, for the insert-object dialog's "create from file": a
    // package object of the class kPackageClassName.
    std::unique_ptr<OleObject> createFromFile(const QString& path, HRESULT* result = nullptr) const;

  private:
    std::vector<ServerClass> classes_;
    ServerHost host_;
};

// The object record the rich edit window keeps for each object and hands to the holder's events.
struct TReObject {
    unsigned cbStruct = 56;
    int cp = 0;  // character position; REO_CP_SELECTION when inserting at the selection
    QUuid clsid;
    OleObject* poleobj = nullptr;  // owned by the window
    QSize sizel;                   // twips; empty: the object's own size
    unsigned dvaspect = DVASPECT_CONTENT;
    unsigned dwFlags = 0;
    unsigned dwUser = 0;
};

// The picture server's own interface, asked for by identifier through queryInterface. A picture
// object is filled by LoadFromFile between SetUpdating(true) and SetUpdating(false), and then asked
// to take the picture's size with SetAutoSize(true). Each call returns S_OK or a failure code.
inline const QUuid IID_IQEImage{QStringLiteral("{71DFCD7F-EFAB-4E57-8C15-6DF8FBA1DF11}")};
class IQEImage {
  public:
    virtual ~IQEImage() = default;
    // Loads the picture file (slot 10 of the interface's table).
    virtual HRESULT LoadFromFile(const QString& fileName) = 0;
    // While true, changes are collected and not yet shown (slot 12).
    virtual HRESULT SetUpdating(bool updating) = 0;
    // With true the object takes the natural size of its picture (slot 26).
    virtual HRESULT SetAutoSize(bool autoSize) = 0;
};

// The class names of picture objects and of embedded files.
inline constexpr const char* kImageClassName = "ZIZazidi.QEImage";
inline constexpr const char* kPackageClassName = "Package";

}  // namespace tk::ole
