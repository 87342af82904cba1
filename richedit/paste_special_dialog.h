#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QMimeData;

namespace tk {

// The paste-special entries in their order, each a kind of clipboard data.
enum class PasteEntry { EmbeddedObject = 0, LinkSource = 1, RichText = 2, Text = 3, Bitmap = 4 };

// The paste-special dialog: the entries the clipboard can give, the one to paste, and whether an
// object or link is shown as its icon.
class TPasteSpecialDialog final : public QDialog {
    Q_OBJECT

  public:
    TPasteSpecialDialog(const QMimeData* data, QWidget* parent);

    // The entries offered, in their order.
    static QList<PasteEntry> available(const QMimeData* data);
    // The local file a link would name, or empty.
    static QString linkSource(const QMimeData* data);

    PasteEntry selected() const;
    bool displayAsIcon() const;

    QListWidget* entryList() const { return list_; }
    QCheckBox* iconBox() const { return icon_; }

  private:
    void selectionChanged();

    QListWidget* list_;
    QCheckBox* icon_;
    QLabel* result_;
};

}  // namespace tk
