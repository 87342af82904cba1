#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tk {

enum class MsgKind { Plain, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo, YesNoCancel, OkCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MsgRequest {
    MsgKind kind = MsgKind::Information;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultAnswer = MsgAnswer::Ok;
    QString caption;
    QString text;
};

// Every message box of the program goes through here, so that tests can answer them by script
// and no test ever waits on a dialog.
class Messages final {
  public:
    using Responder = std::function<MsgAnswer(const MsgRequest&)>;

    // The caption of plain message boxes.
    static QString applicationTitle() { return QStringLiteral("TOMEKEEP"); }

    static void show(QWidget* parent, const QString& text, MsgKind kind = MsgKind::Information,
                     const QString& caption = {});
    static MsgAnswer ask(QWidget* parent, const QString& text, const QString& caption,
                         MsgButtons buttons = MsgButtons::YesNo, MsgAnswer defaultAnswer = MsgAnswer::Yes,
                         MsgKind kind = MsgKind::Question);

    // Replaces the real boxes; an empty responder brings them back.
    static void setResponder(Responder responder);

  private:
    static MsgAnswer run(QWidget* parent, MsgRequest request);
};

}  // namespace tk
