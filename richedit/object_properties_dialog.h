#pragma once

#include "richedit/ole_ui_info.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tk {

// The selected object's properties: its type, size and place ("일반"), content or icon ("보기"), and
// for a linked object its source and updates ("연결"). The view and the update choice take effect
// with OK; the link buttons act at once.
class TObjectPropertiesDialog final : public QDialog {
    Q_OBJECT

  public:
    TObjectPropertiesDialog(TOleUIObjInfo& objectInfo, TOleUILinkInfo* linkInfo, const QString& caption,
                            QWidget* parent);

    QTabWidget* pages() const { return pages_; }
    QRadioButton* contentButton() const { return contentButton_; }
    QRadioButton* iconButton() const { return iconButton_; }
    QLabel* sourceLabel() const { return sourceLabel_; }
    QRadioButton* automaticButton() const { return automaticButton_; }
    QRadioButton* manualButton() const { return manualButton_; }
    QPushButton* updateButton() const { return updateButton_; }
    QPushButton* openButton() const { return openButton_; }
    QPushButton* changeButton() const { return changeButton_; }
    QPushButton* breakButton() const { return breakButton_; }

  private:
    QWidget* generalPage();
    QWidget* viewPage();
    QWidget* linkPage();
    void changeSource();
    void apply();

    TOleUIObjInfo& objectInfo_;
    TOleUILinkInfo* linkInfo_;
    QTabWidget* pages_;
    QRadioButton* contentButton_ = nullptr;
    QRadioButton* iconButton_ = nullptr;
    QLabel* sourceLabel_ = nullptr;
    QRadioButton* automaticButton_ = nullptr;
    QRadioButton* manualButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* changeButton_ = nullptr;
    QPushButton* breakButton_ = nullptr;
    unsigned aspect_ = ole::DVASPECT_CONTENT;
};

}  // namespace tk
