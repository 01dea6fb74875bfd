#include "publish/PublishDestination.h"

namespace Kakiva {

PublishDestination destinationOf(const Settings &settings)
{
    return {settings.server, settings.user, settings.directory};
}

} // namespace Kakiva
