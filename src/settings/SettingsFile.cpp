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
bool readSettingsAt(const QString &path, QByteArray *bytes, QString *error)
{
    QString reason;
    if (readFileWhole(path, bytes, &reason) != FileRead::Failed)
        return true;
    if (error)
        *error = reason;
    return false;
}

// What a reader makes of a stored value. A character the code page cannot hold was
// stored as a reference; the dialog and the login need the character itself.
QString readValue(QByteArrayView stored)
{
    return restoreCharacterReferences(fromCp932(cp932Prefix(stored, ValueByteLimit)));
}

bool isBlankOrQuote(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '"' || byte == '\'';
}

// Reading drops blanks around a value and one pair of quotes around it, so a value that
// starts or ends with either goes in quotes. No second byte of a double-byte character
// is a blank or a quote, so the ends are single characters.
QByteArray quotedIfNeeded(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && (isBlankOrQuote(bytes.front()) || isBlankOrQuote(bytes.back())))
        return '"' + bytes + '"';
    return bytes;
}

} // namespace

SettingValueFault settingValueFault(const QString &value)
{
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return SettingValueFault::LineBreak;
    const QByteArray bytes = toCp932(value);
    if (bytes.size() > ValueByteLimit)
        return SettingValueFault::TooLong;
    // Stored and read back the way the file does it, so every rule of reading counts.
    IniDocument document;
    document.setValue(u"S", u"K", quotedIfNeeded(bytes));
    if (readValue(document.value(u"S", u"K")) != value)
        return SettingValueFault::CharacterChanges;
    return SettingValueFault::None;
}

QString settingsFilePath()
{
    return applicationPath(SettingsFileName);
}

bool readSettingsFile(QByteArray *bytes, QString *error)
{
    return readSettingsAt(settingsFilePath(), bytes, error);
}

QString settingIn(const IniDocument &settings, const QString &section, const QString &key)
{
    return readValue(settings.value(section, key));
}

QString IniRead(const QString &section, const QString &key, QString *error)
{
    QByteArray bytes;
    if (!readSettingsFile(&bytes, error))
        return {};
    return settingIn(IniDocument(bytes), section, key);
}

bool IniWrite(const QString &section, const QString &key, const QString &value, QString *error)
{
    const QString path = settingsFilePath();
    if (settingValueFault(value) != SettingValueFault::None) {
        if (error)
            *error = fileErrorMessage(
                path, QStringLiteral("the value of %1 would not read back as given").arg(key));
        return false;
    }
    QByteArray bytes;
    if (!readSettingsAt(path, &bytes, error))
        return false;
    IniDocument document(bytes);
    document.setValue(section, key, quotedIfNeeded(toCp932(value)));
    // The file holds the FTP password in clear text.
    return writeFileWhole(path, document.bytes(), error, /*ownerOnly=*/true);
}

QByteArray settingsWithoutPassword(const QByteArray &settings)
{
    IniDocument document(settings);
    document.clearEvery(QString(PasswordKey));
    return document.bytes();
}

QByteArray quotedSettingValue(const QByteArray &bytes)
{
    return quotedIfNeeded(bytes);
}

} // namespace Kakiva
