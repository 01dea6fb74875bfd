#pragma once

#include <QString>

namespace Kakiva {

// Kakiva.ini as it stood when one thing the user does began: read once (readSettings) and
// handed down, so every step of it sees the same settings and the file is opened once. A
// setting added to the file is a key in SettingsKeys.h and a field here.
struct Settings
{
    // Where the site is published ([FTP] Server, Name, Directory).
    QString server;
    QString user;
    QString directory;
    // The password as the file holds it, in clear; empty when the keyring holds it.
    QString password;
    QString passwordStore; // [FTP] PasswordStore
    QString certificate;   // [FTP] Certificate: "<host:port> <SHA-256 hex>"
    QString backupFolder;  // [Backup] Folder; empty for the folder beside the program
    QString siteUrl;       // [Site] URL: the public address of the HTML tree; empty for none
    // [Site] PictureLongEdge: pictures inserted into an entry are scaled to at most this
    // many pixels on their long edge; 0 when the file names none (the default applies).
    int pictureLongEdge = 0;

    // No password of the file's own, and the file points at the keyring. A password in the
    // file always counts, so a file an older version wrote again keeps working.
    bool passwordInKeyring() const;
};

// Reads the settings file once. A missing file gives empty settings; one that cannot be read
// gives empty settings too, with *error saying which path and why.
Settings readSettings(QString *error = nullptr);

} // namespace Kakiva
