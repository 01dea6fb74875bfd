#include "publish/sftp/SftpAttributes.h"

namespace Kakiva {

namespace {

constexpr quint32 HasSize = 0x01;
constexpr quint32 HasOwner = 0x02;
constexpr quint32 HasPermissions = 0x04;
constexpr quint32 HasTimes = 0x08;
constexpr quint32 HasExtended = 0x80000000;

} // namespace

std::optional<SftpAttributes> readSftpAttributes(SftpPacket::Reader &reader)
{
    SftpAttributes attributes;
    const auto flags = reader.u32();
    if (!flags)
        return std::nullopt;
    if (*flags & HasSize) {
        attributes.size = reader.u64();
        if (!attributes.size)
            return std::nullopt;
    }
    if (*flags & HasOwner && (!reader.u32() || !reader.u32()))
        return std::nullopt;
    if (*flags & HasPermissions) {
        attributes.permissions = reader.u32();
        if (!attributes.permissions)
            return std::nullopt;
    }
    if (*flags & HasTimes && (!reader.u32() || !reader.u32()))
        return std::nullopt;
    if (*flags & HasExtended) {
        const auto count = reader.u32();
        if (!count)
            return std::nullopt;
        // Each pair takes at least eight bytes, so a count the message cannot hold fails on
        // its way through the reads below, never before.
        for (quint32 i = 0; i < *count; ++i) {
            if (!reader.string() || !reader.string())
                return std::nullopt;
        }
    }
    return attributes;
}

} // namespace Kakiva
