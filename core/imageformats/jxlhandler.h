#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "parsedimagehandler.h"

#include <jxl/decode.h>
#include <jxl/memory_manager.h>

class JxlLibrary;

// Reads the first frame of a JPEG XL file (bare codestream or container) through libjxl:
// full resolution, alpha kept, the stated orientation applied, 8 bits per channel.
class JxlHandler : public ParsedImageHandler
{
public:
    JxlHandler();
    ~JxlHandler() override;

    using ParsedImageHandler::canRead;
    bool read(QImage *image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Whether the device starts with the JPEG XL codestream or container signature.
    // Peeks without consuming.
    static bool canRead(QIODevice *device);

    // What the decoder may allocate through its memory manager, and what it has.
    struct MemoryBudget
    {
        quint64 limit = 0; // 0: no limit
        quint64 used = 0;
    };

private:
    bool hasSignature(QIODevice *device) const override { return canRead(device); }
    bool parse() override;
    void release() override;

    const JxlLibrary *m_lib = nullptr;
    QByteArray m_data; // libjxl reads it in place while the decoder lives
    JxlDecoder *m_decoder = nullptr;
    void *m_runner = nullptr;
    MemoryBudget m_budget;
    JxlMemoryManager m_memory {};
    JxlBasicInfo m_info {};
    QSize m_size; // after orientation
};
