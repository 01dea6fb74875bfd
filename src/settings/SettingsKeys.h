#pragma once

#include <QLatin1StringView>

namespace Kakiva {

// Every section and key of Kakiva.ini, and the values a key takes by name. A new setting is
// named here and read into Settings (Settings.h) beside the others.

// Where the site is published, and how to log in there.
inline constexpr QLatin1StringView FtpSection{"FTP"};
inline constexpr QLatin1StringView ServerKey{"Server"};
inline constexpr QLatin1StringView NameKey{"Name"};
inline constexpr QLatin1StringView PasswordKey{"Password"};
inline constexpr QLatin1StringView DirectoryKey{"Directory"};
// Beside an empty Password: the password is in the desktop's keyring. Versions that know
// nothing of the keyring ignore the key.
inline constexpr QLatin1StringView PasswordStoreKey{"PasswordStore"};
inline constexpr QLatin1StringView KeyringPasswordStore{"keyring"};
// Beside the server setting, "Certificate=<host:port> <SHA-256 hex>": the one certificate the
// user trusted for that server although it did not verify.
inline constexpr QLatin1StringView CertificateKey{"Certificate"};

// Where the backups go; empty for the folder beside the program.
inline constexpr QLatin1StringView BackupSection{"Backup"};
inline constexpr QLatin1StringView BackupFolderKey{"Folder"};

// The public address of the HTML tree, as readers reach it: the feed's links need it, and
// the server settings cannot tell it. Empty: no feed.
inline constexpr QLatin1StringView SiteSection{"Site"};
inline constexpr QLatin1StringView SiteUrlKey{"URL"};
// The longest edge, in pixels, of a picture made for the site; empty for the default.
inline constexpr QLatin1StringView PictureLongEdgeKey{"PictureLongEdge"};

} // namespace Kakiva
