#include "publish/sftp/SftpPacket.h"

#include <QtEndian>

namespace Kakiva::SftpPacket {

namespace {

constexpr qsizetype LengthSize = 4;
constexpr qsizetype HeaderSize = 1 + 4; // type and id

} // namespace

Writer &Writer::u8(quint8 value)
{
    m_bytes.append(static_cast<char>(value));
    return *this;
}

Writer &Writer::u32(quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    m_bytes.append(bytes, sizeof bytes);
    return *this;
}

Writer &Writer::u64(quint64 value)
{
    char bytes[8];
    qToBigEndian(value, bytes);
    m_bytes.append(bytes, sizeof bytes);
    return *this;
}

Writer &Writer::string(const QByteArray &value)
{
    u32(static_cast<quint32>(value.size()));
    m_bytes.append(value);
    return *this;
}

template <typename T> std::optional<T> Reader::number()
{
    if (m_position < 0 || m_bytes.size() - m_position < qsizetype(sizeof(T))) {
        m_position = -1;
        return std::nullopt;
    }
    const T value = qFromBigEndian<T>(m_bytes.constData() + m_position);
    m_position += qsizetype(sizeof(T));
    return value;
}

std::optional<quint32> Reader::u32()
{
    return number<quint32>();
}

std::optional<quint64> Reader::u64()
{
    return number<quint64>();
}

std::optional<QByteArray> Reader::string()
{
    const auto length = u32();
    if (!length || m_bytes.size() - m_position < qsizetype(*length)) {
        m_position = -1;
        return std::nullopt;
    }
    const QByteArray value = m_bytes.mid(m_position, *length);
    m_position += *length;
    return value;
}

QByteArray frame(Type type, quint32 idOrVersion, const QByteArray &body)
{
    Writer message;
    message.u32(static_cast<quint32>(HeaderSize + body.size())).u8(type).u32(idOrVersion);
    return message.bytes() + body;
}

std::optional<Message> takeMessage(QByteArray &buffer, bool *broken)
{
    *broken = false;
    if (buffer.size() < LengthSize)
        return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length < HeaderSize || length > MaxLength) {
        *broken = true;
        return std::nullopt;
    }
    if (buffer.size() < LengthSize + qsizetype(length))
        return std::nullopt;
    Message message;
    message.type = static_cast<quint8>(buffer.at(LengthSize));
    message.id = qFromBigEndian<quint32>(buffer.constData() + LengthSize + 1);
    message.body = buffer.mid(LengthSize + HeaderSize, length - HeaderSize);
    buffer.remove(0, LengthSize + length);
    return message;
}

} // namespace Kakiva::SftpPacket
