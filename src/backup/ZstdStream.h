#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;
struct ZSTD_CCtx_s;

namespace Kakiva {

// Compresses what is written to it as one zstd frame onto device, with the frame's
// checksum, so that any damaged byte of a backup is found when it is read: libarchive's
// own zstd writer leaves the checksum out. The compression runs on a worker thread of
// zstd's beside the caller, as gzip beside tar.
class ZstdStream
{
public:
    explicit ZstdStream(QIODevice &device);
    ~ZstdStream();
    ZstdStream(const ZstdStream &) = delete;
    ZstdStream &operator=(const ZstdStream &) = delete;

    // False with error() once the compressor or the device failed.
    bool write(const char *bytes, qsizetype length);
    // Ends the frame and writes what is left.
    bool finish();
    QString error() const { return m_error; }

private:
    bool pass(const char *bytes, qsizetype length, bool end);

    struct ContextFree
    {
        void operator()(ZSTD_CCtx_s *context) const;
    };
    QIODevice &m_device;
    std::unique_ptr<ZSTD_CCtx_s, ContextFree> m_context;
    QByteArray m_out;
    QString m_error;
};

} // namespace Kakiva
