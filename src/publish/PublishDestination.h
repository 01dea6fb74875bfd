#pragma once

#include "settings/Settings.h"

#include <QString>

namespace Kakiva {

// Where the site is published: the server, the user logged in as and the remote directory,
// as the settings name them. What the server holds is remembered per destination, so a
// changed setting starts from nothing.
struct PublishDestination
{
    QString server;
    QString user;
    QString directory;

    // Without a server there is nowhere to send, so nothing counts as unsent.
    bool isSet() const { return !server.trimmed().isEmpty(); }
    bool operator==(const PublishDestination &) const = default;
};

// The destination the settings name.
PublishDestination destinationOf(const Settings &settings);

} // namespace Kakiva
