#include "settings/SettingsFile.h"

#include "platform/AppDir.h"
#include "platform/Cp932.h"
#include "platform/Cp932Bytes.h"
#include "platform/WholeFile.h"
#include "settings/IniDocument.h"

namespace Kakiva {

namespace {

// What a reader gets of a value has always fitted a 255-byte buffer with its closing NUL.
constexpr qsizetype ValueByteLimit = 254;

// A missing file is an empty one. An existing file that cannot be read is an error, so
// that a write never replaces it with a file holding nothing but the new value.
bool readSettingsFile(const QString &path, QByteArray *bytes, QString *error)
{
    return readFileWhole(path, bytes, error) != FileRead::Failed;
}

// A value is one line of the file: every line break in it (CR LF, CR or LF) becomes one
// blank, which keeps the words apart and, at either end, vanishes on reading.
QString singleLine(const QString &value)
{
    QString line = value;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

QString settingsFilePath()
{
    return applicationPath(SettingsFileName);
}

QString IniRead(const QString &section, const QString &key)
{
    QByteArray bytes;
    if (!readSettingsFile(settingsFilePath(), &bytes, nullptr))
        return {};
    const QByteArray value = IniDocument(bytes).value(section, key);
    // A character the code page cannot hold was stored as a reference; the dialog and
    // the login need the character itself.
    return restoreCharacterReferences(fromCp932(cp932Prefix(value, ValueByteLimit)));
}

bool IniWrite(const QString &section, const QString &key, const QString &value, QString *error)
{
    const QString path = settingsFilePath();
    QByteArray bytes;
    if (!readSettingsFile(path, &bytes, error))
        return false;
    IniDocument document(bytes);
    document.setValue(section, key, toCp932(singleLine(value)));
    // The file holds the FTP password in clear text.
    return writeFileWhole(path, document.bytes(), error, /*ownerOnly=*/true);
}

} // namespace Kakiva
