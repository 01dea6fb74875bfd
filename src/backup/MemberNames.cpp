#include "backup/MemberNames.h"

#include <QStringTokenizer>

namespace Kakiva {

namespace {

bool hasControlCharacter(const QString &name)
{
    for (const QChar character : name)
        if (character.category() == QChar::Other_Control)
            return true;
    return false;
}

bool isPlainPart(QStringView part)
{
    return !part.isEmpty() && part != u"." && part != u"..";
}

bool isPlainRelativePath(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    // A folder's name ends in '/', which leaves one empty last part.
    const QStringView path =
        name.endsWith(QLatin1Char('/')) ? QStringView(name).chopped(1) : QStringView(name);
    for (const QStringView part : path.tokenize(u'/'))
        if (!isPlainPart(part))
            return false;
    return !path.isEmpty();
}

} // namespace

QString memberNameFault(const QString &name)
{
    if (hasControlCharacter(name))
        return QStringLiteral("a member's name holds a control character");
    if (!isPlainRelativePath(name))
        return QStringLiteral("%1: not a relative path inside the archive").arg(name);
    return {};
}

QString MemberLayout::add(const QString &name, bool isFolder)
{
    const QString path = name.endsWith(QLatin1Char('/')) ? name.chopped(1) : name;
    const QString clash = QStringLiteral("%1: a file and a folder of the same name").arg(path);
    // From the nearest folder out; one known already was checked with all around it.
    for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
         slash = path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
        const QString folder = path.first(slash);
        if (m_folders.contains(folder))
            break;
        if (m_files.contains(folder))
            return clash;
        m_folders.insert(folder);
    }
    if (isFolder) {
        if (m_files.contains(path))
            return clash;
        m_folders.insert(path);
        return {};
    }
    if (m_folders.contains(path))
        return clash;
    if (m_files.contains(path))
        return QStringLiteral("%1: twice in the archive").arg(path);
    m_files.insert(path);
    return {};
}

} // namespace Kakiva
