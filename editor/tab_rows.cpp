#include "editor/tab_rows.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace tk {

TTabRows::TTabRows(const QStringList& captions, int width, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    QHBoxLayout* row = nullptr;
    int used = 0;
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setText(captions[i]);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group_->addButton(button, i);
        const int needed = button->sizeHint().width();
        if (row == nullptr || (used > 0 && used + needed > width)) {
            row = new QHBoxLayout;
            row->setSpacing(0);
            rows->addLayout(row);
            ++rows_;
            used = 0;
        }
        row->addWidget(button);
        used += needed;
    }
    group_->setExclusive(true);
    SetTabIndex(0);
    connect(group_, &QButtonGroup::idClicked, this, [this](int index) {
        // A click on the selected tab keeps it; only a change of tab is reported.
        if (index != current_) {
            current_ = index;
            Q_EMIT Change();
        }
    });
}

int TTabRows::TabIndex() const {
    return current_;
}

void TTabRows::SetTabIndex(int index) {
    QAbstractButton* button = group_->button(index);
    if (button == nullptr) {
        return;
    }
    button->setChecked(true);
    current_ = index;
}

int TTabRows::count() const {
    return static_cast<int>(group_->buttons().size());
}

QAbstractButton* TTabRows::tab(int index) const {
    return group_->button(index);
}

}  // namespace tk
