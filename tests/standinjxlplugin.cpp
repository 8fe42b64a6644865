// A stand-in for a JPEG XL plugin that Qt itself might ship: a dynamic plugin for the
// "jxl" key whose reader answers every file with the same 3 x 3 magenta picture, so that
// a test can tell which reader Qt chose.
#include <QImage>
#include <QImageIOHandler>
#include <QImageIOPlugin>

class StandInHandler : public QImageIOHandler
{
public:
    bool canRead() const override { return device() && device()->peek(2) == "\xff\x0a"; }
    bool read(QImage *image) override
    {
        *image = QImage(3, 3, QImage::Format_RGB32);
        image->fill(Qt::magenta);
        return true;
    }
};

class StandInJxlPlugin : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "standinjxlplugin.json")

public:
    Capabilities capabilities(QIODevice *device, const QByteArray &format) const override
    {
        if (format == "jxl")
            return CanRead;
        if (format.isEmpty() && device && device->peek(2) == "\xff\x0a")
            return CanRead;
        return {};
    }
    QImageIOHandler *create(QIODevice *device, const QByteArray &format) const override
    {
        auto *handler = new StandInHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArray("jxl") : format);
        return handler;
    }
};

#include "standinjxlplugin.moc"
