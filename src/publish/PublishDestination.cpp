#include "publish/PublishDestination.h"

#include "settings/SettingsFile.h"

namespace Kakiva {

PublishDestination configuredDestination()
{
    return {IniRead(FtpSection, ServerKey), IniRead(FtpSection, NameKey),
            IniRead(FtpSection, DirectoryKey)};
}

} // namespace Kakiva
