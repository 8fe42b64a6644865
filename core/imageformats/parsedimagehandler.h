#pragma once

#include <QIODevice>
#include <QImageIOHandler>

// What the program's image-format handlers share: the file is parsed once, on the first
// call that needs its header (canRead, option, read), a failed parse is final, and one
// image is read, after which canRead and read report the end.
class ParsedImageHandler : public QImageIOHandler
{
public:
    bool canRead() const override
    {
        if (m_read || m_state == ParseState::Error)
            return false;
        if (m_state == ParseState::Ok)
            return true;
        return hasSignature(device());
    }

protected:
    // Whether the device starts as the format does; peeks without consuming.
    virtual bool hasSignature(QIODevice *device) const = 0;
    // Reads and checks the header; false after a logged failure.
    virtual bool parse() = 0;
    // Drops what parse() holds.
    virtual void release() = 0;

    bool ensureParsed() const
    {
        if (m_state == ParseState::NotParsed) {
            auto *self = const_cast<ParsedImageHandler *>(this);
            self->m_state = self->parse() ? ParseState::Ok : ParseState::Error;
            if (m_state == ParseState::Error)
                self->release();
        }
        return m_state == ParseState::Ok;
    }

    // True once read() has begun: the handler has no second image.
    bool m_read = false;

private:
    enum class ParseState { NotParsed, Ok, Error };
    ParseState m_state = ParseState::NotParsed;
};
