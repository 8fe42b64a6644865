#include "heifplugin.h"

#include "heifhandler.h"
#include "heiflibrary.h"

namespace {

bool isKey(const QByteArray &format)
{
    return format == "heic" || format == "heif" || format == "avif";
}

// libheif may be built without one of the two codecs; a file whose codec is missing is
// not claimed, so that another reader can have it.  Asking loads the library, so it is
// asked only for a file at hand.
bool decodes(const QByteArray &format)
{
    const HeifLibrary *lib = HeifLibrary::instance();
    if (!lib)
        return false;
    if (format == "avif")
        return lib->heif_have_decoder_for_format(heif_compression_AV1) != 0;
    return lib->heif_have_decoder_for_format(heif_compression_HEVC) != 0;
}

} // namespace

QImageIOPlugin::Capabilities HeifPlugin::capabilities(QIODevice *device,
                                                      const QByteArray &format) const
{
    if (!format.isEmpty()) {
        const QByteArray key = format.toLower();
        if (!isKey(key))
            return {};
        // a question about the format alone (the list of readable formats) is answered
        // without loading libheif
        return !device || decodes(key) ? CanRead : Capabilities();
    }
    if (!device || !device->isOpen())
        return {};
    QByteArray detected;
    if (device->isReadable() && HeifHandler::canRead(device, &detected) && decodes(detected))
        return CanRead;
    return {};
}

QImageIOHandler *HeifPlugin::create(QIODevice *device, const QByteArray &format) const
{
    auto *handler = new HeifHandler;
    handler->setDevice(device);
    // found by content: the brands tell which of the keys the file is
    QByteArray detected = format;
    if (detected.isEmpty() && !HeifHandler::canRead(device, &detected))
        detected = "heic";
    handler->setFormat(detected);
    return handler;
}
