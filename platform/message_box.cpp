#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace tk {
namespace {

Messages::Responder& responder() {
    static Messages::Responder r;
    return r;
}

QMessageBox::StandardButton toButton(MsgAnswer answer) {
    switch (answer) {
        case MsgAnswer::Ok:
            return QMessageBox::Ok;
        case MsgAnswer::Cancel:
            return QMessageBox::Cancel;
        case MsgAnswer::Yes:
            return QMessageBox::Yes;
        case MsgAnswer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromButton(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        default:
            return MsgAnswer::Ok;
    }
}

QMessageBox::StandardButtons toButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return QMessageBox::Ok;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toIcon(MsgKind kind) {
    switch (kind) {
        case MsgKind::Plain:
            return QMessageBox::NoIcon;
        case MsgKind::Information:
            return QMessageBox::Information;
        case MsgKind::Warning:
            return QMessageBox::Warning;
        case MsgKind::Error:
            return QMessageBox::Critical;
        case MsgKind::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void Messages::show(QWidget* parent, const QString& text, MsgKind kind, const QString& caption) {
    run(parent, MsgRequest{kind, MsgButtons::Ok, MsgAnswer::Ok, caption, text});
}

MsgAnswer Messages::ask(QWidget* parent, const QString& text, const QString& caption, MsgButtons buttons,
                        MsgAnswer defaultAnswer, MsgKind kind) {
    return run(parent, MsgRequest{kind, buttons, defaultAnswer, caption, text});
}

void Messages::setResponder(Responder r) {
    responder() = std::move(r);
}

MsgAnswer Messages::run(QWidget* parent, MsgRequest request) {
    if (request.caption.isEmpty()) {
        request.caption = applicationTitle();
    }
    if (responder()) {
        return responder()(request);
    }
    QMessageBox box(toIcon(request.kind), request.caption, request.text, toButtons(request.buttons), parent);
    box.setDefaultButton(toButton(request.defaultAnswer));
    return fromButton(box.exec());
}

}  // namespace tk
