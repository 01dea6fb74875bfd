#pragma once

#include <QString>

namespace Kakiva {

// The session log: one time-stamped line per command sent, reply received and local event,
// appended to a text file. Each line opens, appends and closes the file, so nothing stays
// open between calls and a crash loses at most the line being written. A log that cannot be
// written is skipped silently: logging never fails an upload. Past RotateSize the file is
// renamed to "<name>.1" (replacing the one before), which keeps the two together bounded.
class SessionLog
{
public:
    static constexpr qint64 RotateSize = 1024 * 1024;

    // Starts logging to path. Returns false when the file cannot be opened for appending;
    // later lines are still attempted, in case the reason goes away.
    bool open(const QString &path);
    void close() { m_path.clear(); }
    bool isOpen() const { return !m_path.isEmpty(); }

    // Text equal to secret is written as "****" wherever it appears in a logged line, in
    // case a server echoes the password back, however short the secret is.
    void setSecret(const QString &secret) { m_secret = secret; }

    void sent(const QString &line) { write(QLatin1Char('>'), line); }
    void received(const QString &line) { write(QLatin1Char('<'), line); }
    void note(const QString &text) { write(QLatin1Char('*'), text); }

private:
    void write(QChar direction, const QString &text);
    QString cleaned(const QString &text) const;
    void rotateIfFull(qint64 incoming) const;

    QString m_path;
    QString m_secret;
};

} // namespace Kakiva
