#pragma once

#include "settings/SettingsKeys.h"

#include <QString>

namespace Kakiva {

// The SHA-256 (hex) pinned for server ("host:port"), or "" when none is, or the pin stored
// belongs to another server.
QString readCertificatePin(const QString &server);

// Pins sha256Hex for server, replacing any pin before. False when the file could not be
// written; then *error says which path and why.
bool writeCertificatePin(const QString &server, const QString &sha256Hex, QString *error = nullptr);

} // namespace Kakiva
