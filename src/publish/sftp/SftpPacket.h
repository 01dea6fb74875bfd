#pragma once

#include <QByteArray>

#include <optional>

// SFTP version 3 messages as they travel on the channel: a 32-bit length, a type byte, and
// for everything but the opening pair a 32-bit request id that the answer repeats.
namespace Kakiva::SftpPacket {

enum Type : quint8
{
    Init = 1,
    Version = 2,
    Open = 3,
    Close = 4,
    Write = 6,
    Fstat = 8,
    Opendir = 11,
    Readdir = 12,
    Remove = 13,
    Mkdir = 14,
    Stat = 17,
    Rename = 18,
    Status = 101,
    Handle = 102,
    Data = 103,
    Name = 104,
    Attrs = 105,
    Extended = 200,
    ExtendedReply = 201
};

// Open flags and attribute bits used here.
inline constexpr quint32 OpenWrite = 0x02;
inline constexpr quint32 OpenCreate = 0x08;
inline constexpr quint32 OpenTruncate = 0x10;
inline constexpr quint32 AttrSize = 0x01;
inline constexpr quint32 AttrPermissions = 0x04;
inline constexpr quint32 StatusOk = 0;
inline constexpr quint32 StatusNoSuchFile = 2;
inline constexpr quint32 DirectoryBits = 0040000;
inline constexpr quint32 FileTypeMask = 0170000;

// The largest message accepted from a server; OpenSSH's own bound.
inline constexpr quint32 MaxLength = 256 * 1024;

// Builds the body of a message, field by field.
class Writer
{
public:
    Writer &u8(quint8 value);
    Writer &u32(quint32 value);
    Writer &u64(quint64 value);
    Writer &string(const QByteArray &value);
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads fields from a message body; every read past the end fails, and the reader then
// stays failed.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}
    std::optional<quint32> u32();
    std::optional<quint64> u64();
    std::optional<QByteArray> string();
    bool atEnd() const { return m_position >= m_bytes.size(); }

private:
    template <typename T> std::optional<T> number();

    const QByteArray &m_bytes;
    qsizetype m_position = 0;
};

// A whole message: length, type, then id and body (or for Init the version and body).
QByteArray frame(Type type, quint32 idOrVersion, const QByteArray &body);

struct Message
{
    quint8 type = 0;
    quint32 id = 0; // the version, for Version
    QByteArray body;
};

// Takes the first whole message off the front of buffer. Nothing while the message is
// incomplete; *broken is set when the buffer can never hold a valid one (a length out of
// bounds).
std::optional<Message> takeMessage(QByteArray &buffer, bool *broken);

} // namespace Kakiva::SftpPacket
