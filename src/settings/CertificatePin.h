#pragma once

#include <QLatin1StringView>
#include <QString>

namespace Kakiva {

// Beside the server setting, "Certificate=<host:port> <SHA-256 hex>": the one certificate the
// user trusted for that server although it did not verify.
inline constexpr QLatin1StringView CertificateKey{"Certificate"};

// The SHA-256 (hex) pinned for server ("host:port"), or "" when none is, or the pin stored
// belongs to another server.
QString readCertificatePin(const QString &server);

// Pins sha256Hex for server, replacing any pin before. False when the file could not be
// written; then *error says which path and why.
bool writeCertificatePin(const QString &server, const QString &sha256Hex, QString *error = nullptr);

} // namespace Kakiva
