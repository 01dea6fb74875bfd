#pragma once

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>

// A command line with each temporary of an upload shown as "~" and its number, for
// comparing sessions whose temporaries carry a new tag each time: "STOR ~0".
inline QByteArray withTemporariesShown(const QByteArray &line)
{
    static const QRegularExpression temporary(
        QStringLiteral("\\.kakiva-[0-9a-f]{8}-([0-9]+)\\.tmp"));
    return QString::fromUtf8(line).replace(temporary, QStringLiteral("~\\1")).toUtf8();
}

inline QList<QByteArray> withTemporariesShown(const QList<QByteArray> &lines)
{
    QList<QByteArray> shown;
    for (const QByteArray &line : lines)
        shown.append(withTemporariesShown(line));
    return shown;
}
