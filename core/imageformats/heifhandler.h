#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "parsedimagehandler.h"

class HeifLibrary;
struct heif_context;
struct heif_image_handle;

// Reads the primary image of a HEIF file (HEIC with HEVC, AVIF with AV1) through libheif:
// full resolution, alpha kept, the file's crop, rotation and mirroring (clap, irot, imir)
// applied, higher bit depths reduced to 8 bits per channel.
class HeifHandler : public ParsedImageHandler
{
public:
    HeifHandler();
    ~HeifHandler() override;

    using ParsedImageHandler::canRead;
    bool read(QImage *image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Whether the device starts with an ISO base media 'ftyp' box naming a HEIF or AVIF
    // brand.  Peeks without consuming.  format, if given, receives "avif" or "heic".
    static bool canRead(QIODevice *device, QByteArray *format = nullptr);

private:
    bool hasSignature(QIODevice *device) const override { return canRead(device); }
    bool parse() override;
    void release() override;

    const HeifLibrary *m_lib = nullptr;
    QByteArray m_data; // libheif reads it in place: kept while m_context lives
    heif_context *m_context = nullptr;
    heif_image_handle *m_primary = nullptr;
    QSize m_size;       // after the file's transformations
    int m_bitDepth = 8; // of the luma plane
    bool m_hasAlpha = false;
};
