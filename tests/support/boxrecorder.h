#pragma once

#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"

#include <QList>
#include <QQueue>
#include <QVariant>

// Answers every message box and dialog of the tool while it lives, and keeps
// what each said. Unless an answer is queued, a box gets its default button
// (Standard boxes: the default button, else OK; Custom boxes: the default
// index; Sure boxes: their one button), and a dialog is cancelled.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    QList<MessageBox::Box> boxes;
    QList<DialogPrompt::Request> dialogs;

    // Queued answers, used in order by the next boxes / dialogs.
    void answerNext(int answer) { m_boxAnswers.enqueue(answer); }
    void answerDialog(const QVariant& answer) { m_dialogAnswers.enqueue(answer); }

    QStringList texts() const;
    bool saw(const QString& text) const { return texts().contains(text); }
    int count(const QString& text) const { return texts().count(text); }
    const MessageBox::Box* last() const { return boxes.isEmpty() ? nullptr : &boxes.last(); }
    void clear();

private:
    QQueue<int> m_boxAnswers;
    QQueue<QVariant> m_dialogAnswers;
};
