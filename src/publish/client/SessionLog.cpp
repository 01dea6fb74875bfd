#include "publish/client/SessionLog.h"

#include "platform/RegularFile.h"
#include "publish/client/WireText.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace Kakiva {

namespace {

// A log that is a named pipe or a device would stall the upload, so only a regular file
// is written.
bool openForAppending(QFile &file)
{
    return openRegularFile(file, QIODevice::WriteOnly | QIODevice::Append) == FileOpen::Opened;
}

bool appendTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return openForAppending(file) && file.write(bytes) == bytes.size();
}

} // namespace

bool SessionLog::open(const QString &path)
{
    m_path = path;
    QFile file(path);
    return openForAppending(file);
}

void SessionLog::write(QChar direction, const QString &text)
{
    if (!isOpen())
        return;
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    const QByteArray line = (stamp + QLatin1Char(' ') + direction + QLatin1Char(' ') +
                             cleaned(text) + QLatin1Char('\n'))
                                .toUtf8();
    rotateIfFull(line.size());
    appendTo(m_path, line);
}

// Server text goes into the log, so it must not be able to forge lines of its own.
QString SessionLog::cleaned(const QString &text) const
{
    QString result = text;
    for (QChar &c : result) {
        if (isControlCharacter(c))
            c = QLatin1Char('?');
    }
    if (!m_secret.isEmpty())
        result.replace(m_secret, QStringLiteral("****"));
    return result;
}

void SessionLog::rotateIfFull(qint64 incoming) const
{
    const QFileInfo info(m_path);
    if (!info.exists() || info.size() + incoming <= RotateSize)
        return;
    const QString previous = m_path + QStringLiteral(".1");
    QFile::remove(previous);
    QFile::rename(m_path, previous);
}

} // namespace Kakiva
