#include "linknotices.h"

#include "link/commtcp.h"
#include "prompts/messagebox.h"

LinkNotices::LinkNotices(CommTcp* link, QObject* parent)
    : QObject(parent)
{
    connect(link, &CommTcp::notConnected, this,
        [] { MessageBox::warning(nullptr, CommTcp::warningTitle(), CommTcp::notConnectedText()); });
    connect(link, &CommTcp::sendError, this,
        [] { MessageBox::warning(nullptr, CommTcp::warningTitle(), CommTcp::sendFailedText()); });
    connect(link, &CommTcp::notice, this, &LinkNotices::showNotice);
}

void LinkNotices::showNotice(int cmd, bool succeeded)
{
    if (m_open.contains(cmd))
        return;
    m_open.insert(cmd);
    MessageBox::sure(nullptr, succeeded ? QMessageBox::Information : QMessageBox::Warning,
        CommTcp::noticeTitle(succeeded), CommTcp::noticeText(cmd, succeeded));
    m_open.remove(cmd);
}
