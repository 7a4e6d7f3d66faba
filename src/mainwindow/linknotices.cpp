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
    connect(link, &CommTcp::notice, this, [](int cmd, bool succeeded) {
        MessageBox::sure(nullptr, succeeded ? QMessageBox::Information : QMessageBox::Warning,
            CommTcp::noticeTitle(succeeded), CommTcp::noticeText(cmd, succeeded));
    });
}
