#include "boxrecorder.h"

BoxRecorder::BoxRecorder()
{
    MessageBox::setResponder([this](const MessageBox::Box& box) {
        boxes.append(box);
        if (!m_boxAnswers.isEmpty())
            return m_boxAnswers.dequeue();
        switch (box.kind) {
        case MessageBox::Kind::Standard:
            return int(box.defaultButton != QMessageBox::NoButton ? box.defaultButton : QMessageBox::Ok);
        case MessageBox::Kind::Custom: return box.defaultIndex;
        default: return 0;
        }
    });
    DialogPrompt::setResponder([this](const DialogPrompt::Request& request) {
        dialogs.append(request);
        return m_dialogAnswers.isEmpty() ? QVariant() : m_dialogAnswers.dequeue();
    });
}

BoxRecorder::~BoxRecorder()
{
    MessageBox::setResponder(nullptr);
    DialogPrompt::setResponder(nullptr);
}

QStringList BoxRecorder::texts() const
{
    QStringList result;
    for (const MessageBox::Box& box : boxes)
        result.append(box.text);
    return result;
}

void BoxRecorder::clear()
{
    boxes.clear();
    dialogs.clear();
    m_boxAnswers.clear();
    m_dialogAnswers.clear();
}
