#pragma once

#include "publish/sftp/SftpPacket.h"

#include <optional>

namespace Kakiva {

// The fields of an SFTP version 3 attribute block that are used here; the rest are read past.
struct SftpAttributes
{
    std::optional<quint64> size;
    std::optional<quint32> permissions;

    bool isDirectory() const
    {
        return permissions &&
               (*permissions & SftpPacket::FileTypeMask) == SftpPacket::DirectoryBits;
    }
    bool isRegularFile() const
    {
        return permissions ? (*permissions & SftpPacket::FileTypeMask) == RegularFileBits
                           : size.has_value();
    }

    static constexpr quint32 RegularFileBits = 0100000;
};

// Reads one attribute block; nothing when the block is cut short.
std::optional<SftpAttributes> readSftpAttributes(SftpPacket::Reader &reader);

} // namespace Kakiva
