#pragma once

#include "platform/message_box.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>
#include <functional>

#include <ostream>

// Test failures show texts as text, Korean included, rather than as bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tk::test {

// Answers every message box by script while it lives and records what was asked.
class ScriptedMessages final {
  public:
    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    // Answers given in order; once used up, questions get their default answer and notes get Ok.
    void queue(MsgAnswer answer) { answers_.push_back(answer); }
    const QList<MsgRequest>& requests() const { return requests_; }
    QStringList texts() const;

  private:
    std::deque<MsgAnswer> answers_;
    QList<MsgRequest> requests_;
};

// Writes bytes to a file, creating its folder; fails the calling test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Runs the event loop until done() holds or ms pass; returns done().
bool waitFor(const std::function<bool()>& done, int ms = 5000);

// An archive with no members whose end record carries the given comment bytes.
QByteArray emptyZipWithComment(const QByteArray& comment);

// Makes depth nested folders "d" below folder, with a file "f" at the bottom, going from handle to
// handle so that the tree may pass PATH_MAX as an extracted archive can make it.
void makeDeepTree(const QString& folder, int depth);

}  // namespace tk::test
