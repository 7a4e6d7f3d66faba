#include "programmingrun.h"

#include "firmwarepackage.h"
#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "versiontext.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtEndian>

namespace {

// The run's version request always asks for the "Firmware" component: its
// version tells which transfer the card takes.
constexpr quint8 kFirmwareType = 1;

} // namespace

ProgrammingRun::ProgrammingRun(const Policy& policy, QObject* parent)
    : QObject(parent)
    , m_policy(policy)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &ProgrammingRun::onTimeout);
    m_clock.start();
}

ProgrammingRun::~ProgrammingRun()
{
    releaseImage();
}

void ProgrammingRun::start(const QString& image, quint8 type)
{
    abort();
    m_image = image;
    m_type = type;
    m_state = State::AwaitingVersion;
    // Without a card no version reply comes: the run ends by itself.
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(kFirmwareType)));
}

void ProgrammingRun::readVersion(quint8 type)
{
    abort();
    m_versionOnly = true;
    m_state = State::AwaitingVersion;
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(type)));
}

bool ProgrammingRun::handleReply(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::ReadVersion:
        if (m_state != State::AwaitingVersion)
            return false;
        m_version = VersionText::versionWord(VersionText::text(data, size));
        m_oldProtocol = VersionText::usesOldProtocol(data, size);
        if (m_versionOnly)
            finish(NoFailure);
        else if (!openImage())
            finish(ImageUnreadable);
        else
            sendStart();
        return true;
    case CommandCode::StartProgramming:
        if (m_state != State::AwaitingStart)
            return false;
        if (!ResultByte::succeeded(data, size)) {
            finish(StartRefused);
            return true;
        }
        m_state = State::Transferring;
        m_deadline = -1;
        emit transferStarted(m_totalBytes);
        sendNextChunk();
        return true;
    case CommandCode::ImageChunk:
        if (m_state != State::Transferring && m_state != State::AwaitingInstallation)
            return false;
        if (!ResultByte::succeeded(data, size)) {
            finish(ChunkRefused);
            return true;
        }
        m_retries = 0;
        emit chunkAcknowledged(m_sentBytes);
        sendNextChunk();
        return true;
    case CommandCode::Installing:
        // Mid-transfer the card cannot be installing this image: the run goes
        // on (and times out if the card really stopped taking chunks).
        if (m_state != State::AwaitingInstallation)
            return false;
        m_state = State::Installing;
        if (m_policy.imagePerRun)
            releaseImage();
        emit installing();
        return true;
    case CommandCode::ProgrammingFinished:
        if (m_state == State::AwaitingInstallation || m_state == State::Installing)
            finish(NoFailure);
        else if (m_state == State::Transferring)
            finish(ChunkRefused);
        else
            return false;
        return true;
    default: return false;
    }
}

void ProgrammingRun::linkLost()
{
    if (m_state != State::Idle)
        finish(ConnectionLost);
}

void ProgrammingRun::abort()
{
    ++m_generation;
    m_state = State::Idle;
    m_version.clear();
    m_sentBytes = m_totalBytes = 0;
    m_resends = m_retries = 0;
    m_sequence = 0;
    m_versionOnly = m_acknowledgedAll = false;
    m_deadline = -1;
    m_timer->stop();
    if (m_policy.imagePerRun)
        releaseImage();
}

void ProgrammingRun::closeImage()
{
    m_file.close();
}

// The page unwraps a firmware package into the temporary image once the card
// has answered; the worker sends the batch's open image from its first byte.
bool ProgrammingRun::openImage()
{
    if (m_policy.imagePerRun || !m_file.isOpen()) {
        m_file.close();
        QString path = m_image;
        bool unwrapped = true;
        if (m_policy.imagePerRun) {
            FirmwarePackage package(path);
            if (package.extractTo(m_policy.temporaryImage))
                path = m_policy.temporaryImage;
            unwrapped = !package.writeFailed();
        }
        m_file.setFileName(path);
        if (unwrapped)
            m_file.open(QIODevice::ReadOnly);
    }
    // The size field of command 256 holds 32 bits: a larger image would be
    // announced with a size that is not its own.
    if (m_file.isOpen() && m_file.size() <= kMaxImageSize && m_file.seek(0)) {
        m_totalBytes = m_file.size();
        return true;
    }
    m_file.close();
    if (m_policy.imagePerRun && FirmwarePackage::isTemporaryImage(m_file.fileName(), m_policy.temporaryImage))
        QFile::remove(m_file.fileName());
    return false;
}

void ProgrammingRun::sendStart()
{
    QByteArray data(5, char(m_type));
    qToBigEndian<quint32>(quint32(m_totalBytes), data.data() + 1);
    m_state = State::AwaitingStart;
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::StartProgramming, data);
}

void ProgrammingRun::sendNextChunk()
{
    const qint64 wanted = qMin<qint64>(m_totalBytes - m_sentBytes, kChunkSize);
    if (wanted <= 0) {
        // Every byte is out and acknowledged, an empty image included.
        if (m_state == State::Transferring) {
            m_state = State::AwaitingInstallation;
            arm(m_policy.installTimeoutMs);
        }
        if (!m_acknowledgedAll && m_state == State::AwaitingInstallation) {
            m_acknowledgedAll = true;
            emit installationAwaited();
        }
        return;
    }
    // Nothing else holds the buffer once its chunk has left: it is filled
    // again in place.
    const int offset = m_oldProtocol ? 0 : 1;
    m_chunk.resize(offset + int(wanted));
    const qint64 got = m_file.read(m_chunk.data() + offset, wanted);
    // A file that ends before the size the card was told would leave the
    // card waiting for bytes that never come.
    if (got <= 0) {
        finish(ImageUnreadable);
        return;
    }
    m_chunk.truncate(offset + int(got));
    if (offset)
        m_chunk[0] = char(m_sequence++);
    m_sentBytes += got;
    const quint64 generation = m_generation;
    emit sendCmd(CommandCode::ImageChunk, m_chunk);
    // A failed send may have ended the run meanwhile.
    if (generation != m_generation)
        return;
    if (m_sentBytes >= m_totalBytes) {
        // No resend of the last chunk: the card reports the installation.
        m_state = State::AwaitingInstallation;
        arm(m_policy.installTimeoutMs);
    } else {
        arm(m_policy.chunkTimeoutMs);
    }
    emit chunkSent(m_sentBytes);
}

void ProgrammingRun::arm(int ms)
{
    const qint64 now = m_clock.elapsed();
    const qint64 due = now + ms;
    // A timer already due no later than this wait ends is left running: it
    // waits again for what is left when it fires.
    if (!m_timer->isActive() || m_deadline < 0 || due < m_deadline)
        m_timer->start(ms);
    m_deadline = due;
}

void ProgrammingRun::onTimeout()
{
    if (m_deadline < 0 || m_state == State::Idle)
        return;
    const qint64 left = m_deadline - m_clock.elapsed();
    if (left > 0) {
        m_timer->start(int(left));
        return;
    }
    switch (m_state) {
    case State::Idle: return;
    case State::AwaitingVersion:
    case State::AwaitingStart: finish(NoReply); return;
    case State::Transferring:
        // The plain transfer has no resends.
        if (m_oldProtocol || m_retries >= kMaxResends) {
            finish(ChunkTimeout);
            return;
        }
        ++m_retries;
        ++m_resends;
        arm(m_policy.chunkTimeoutMs);
        emit sendCmd(CommandCode::ImageChunk, m_chunk);
        return;
    case State::AwaitingInstallation:
    case State::Installing: finish(InstallationTimeout); return;
    }
}

// Over before anyone hears of it: a reply arriving while a caller's box is
// open changes nothing.
void ProgrammingRun::finish(int failure)
{
    ++m_generation;
    m_state = State::Idle;
    m_acknowledgedAll = false;
    m_deadline = -1;
    m_timer->stop();
    if (m_policy.imagePerRun)
        releaseImage();
    emit finished(failure);
}

// Only the temporary image goes; a file of the technician's whose name merely
// ends the same way stays.
void ProgrammingRun::releaseImage()
{
    const bool wasOpen = m_file.isOpen();
    m_file.close();
    if (wasOpen && FirmwarePackage::isTemporaryImage(m_file.fileName(), m_policy.temporaryImage))
        QFile::remove(m_file.fileName());
}

QString ProgrammingRun::failureText(int failure)
{
    // Marked for the batch dialog's Detail column, which shows them translated.
    static const char* const texts[] = { QT_TRANSLATE_NOOP("BatchProgrammingDialog", "connect failed"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "start refused"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "chunk refused"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "chunk time-out"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "connection lost"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "installation time-out"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "image unreadable"),
        QT_TRANSLATE_NOOP("BatchProgrammingDialog", "no reply") };
    return failure > NoFailure && failure <= NoReply ? QString::fromLatin1(texts[failure - 1]) : QString();
}

QString ProgrammingRun::failureMessage(int failure)
{
    static const char* const texts[] = { nullptr, QT_TRANSLATE_NOOP("ProgrammingPage", "Start programming failed!"),
        QT_TRANSLATE_NOOP("ProgrammingPage", "Programming failed!"),
        QT_TRANSLATE_NOOP("ProgrammingPage", "Programming timeout!"), "Programming failed!", "Programming timeout!",
        QT_TRANSLATE_NOOP("ProgrammingPage", "Open programming file failed!"), "Programming timeout!" };
    const bool known = failure > NoFailure && failure <= NoReply && texts[failure - 1];
    return known ? QCoreApplication::translate("ProgrammingPage", texts[failure - 1]) : QString();
}

QString ProgrammingRun::percentText(qint64 done, qint64 maximum)
{
    const double percent = maximum > 0 ? double(done) * 100.0 / double(maximum) : 100.0;
    return QString::number(percent, 'f', 2);
}

QString ProgrammingRun::elapsedText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const bool hours = seconds >= 3600;
    const QString minutes = QStringLiteral("%1:%2")
                                .arg(seconds / 60 % 60, hours ? 2 : 1, 10, QLatin1Char('0'))
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours ? QString::number(seconds / 3600) + QLatin1Char(':') + minutes : minutes;
}
