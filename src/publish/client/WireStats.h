#pragma once

namespace Kakiva {

// What an FTP session cost on the wire so far.
struct WireStats
{
    int commandsSent = 0;
    // Waits for the server: one each time a reply has to be waited for after sending
    // something. STOR's preliminary and final replies count once when the data went
    // out right behind the command, and twice when it waited for the preliminary one.
    int roundTrips = 0;
    // Files sent a second time, in the classic order, because the server had dropped
    // the data that followed STOR before it had taken the command.
    int storesResent = 0;
};

} // namespace Kakiva
