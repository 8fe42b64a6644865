#include "jxlplugin.h"

#include "jxlhandler.h"

QImageIOPlugin::Capabilities JxlPlugin::capabilities(QIODevice *device,
                                                     const QByteArray &format) const
{
    if (!format.isEmpty())
        return format.toLower() == "jxl" ? CanRead : Capabilities();
    if (!device || !device->isOpen())
        return {};
    return device->isReadable() && JxlHandler::canRead(device) ? CanRead : Capabilities();
}

QImageIOHandler *JxlPlugin::create(QIODevice *device, const QByteArray &format) const
{
    auto *handler = new JxlHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArray("jxl") : format);
    return handler;
}
