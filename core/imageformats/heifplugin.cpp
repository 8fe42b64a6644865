#include "heifplugin.h"

#include <libheif/heif.h>

#include "heifhandler.h"

namespace {

// libheif may be built without one of the two codecs; a key whose codec is missing is
// not claimed, so that another reader can have it.
bool decodes(const QByteArray &format)
{
    if (format == "avif")
        return heif_have_decoder_for_format(heif_compression_AV1) != 0;
    if (format == "heic" || format == "heif")
        return heif_have_decoder_for_format(heif_compression_HEVC) != 0;
    return false;
}

} // namespace

HeifPlugin::HeifPlugin()
{
    heif_init(nullptr);
}

HeifPlugin::~HeifPlugin()
{
    heif_deinit();
}

QImageIOPlugin::Capabilities HeifPlugin::capabilities(QIODevice *device,
                                                      const QByteArray &format) const
{
    if (!format.isEmpty())
        return decodes(format.toLower()) ? CanRead : Capabilities();
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
