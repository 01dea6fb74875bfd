#include "pages/StarterFiles.h"

#include "pages/PagePaths.h"
#include "platform/Cp932.h"
#include "platform/WholeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace Kakiva {

namespace {

// The SHA-256 digests of the starters earlier versions wrote, so that an unchanged old one
// is replaced by this version's. Add the digests of this version's starters here when
// they change.
const QList<QByteArray> EarlierDigests = {};

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The starters are kept as UTF-8 in the program and written in the pages' code page,
// which the front page declares as the generated pages do.
QByteArray starterBytes(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the starter %s is not built into the program", qPrintable(resource));
    const QByteArray text = file.readAll();
    return resource.endsWith(QLatin1String(".html")) ? toCp932(QString::fromUtf8(text)) : text;
}

QString pathOf(const StarterFile &starter)
{
    return htmlRootPath() + QLatin1Char('/') + starter.name;
}

bool writeStarter(const StarterFile &starter, QStringList *written, QString *error)
{
    if (!writeFileWhole(pathOf(starter), starter.bytes, error))
        return false;
    written->append(starter.name);
    return true;
}

} // namespace

QList<StarterFile> starterFiles()
{
    static const QList<StarterFile> starters = {
        {QStringLiteral("index.html"), starterBytes(QStringLiteral(":/site/index.html"))},
        {QStringLiteral("kakiva.css"), starterBytes(QStringLiteral(":/site/kakiva.css"))},
    };
    return starters;
}

StarterState starterState(const StarterFile &starter)
{
    const QString path = pathOf(starter);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return StarterState::Missing;
    QByteArray bytes;
    // Only a plain file can be a starter Kakiva wrote; anything else is the user's.
    if (!info.isFile() || info.isSymLink() || readFileWhole(path, &bytes) != FileRead::Done)
        return StarterState::Edited;
    if (bytes == starter.bytes)
        return StarterState::Current;
    return EarlierDigests.contains(digestOf(bytes)) ? StarterState::Earlier : StarterState::Edited;
}

bool installStarterFiles(QStringList *written, QString *error)
{
    for (const StarterFile &starter : starterFiles()) {
        const StarterState state = starterState(starter);
        if ((state == StarterState::Missing || state == StarterState::Earlier) &&
            !writeStarter(starter, written, error))
            return false;
    }
    return true;
}

bool writeFreshStarterFiles(const std::function<bool(const QString &name)> &replaceEdited,
                            QStringList *written, QString *error)
{
    for (const StarterFile &starter : starterFiles()) {
        const StarterState state = starterState(starter);
        if (state == StarterState::Current ||
            (state == StarterState::Edited && !replaceEdited(starter.name)))
            continue;
        if (!writeStarter(starter, written, error))
            return false;
    }
    return true;
}

} // namespace Kakiva
