#include "jxllibrary.h"

#include <QLibrary>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcJxl)

namespace {

// libjxl0.7's sonames: libjxl.so.0.7 and libjxl_threads.so.0.7
const QString kJxlSoVersion = QStringLiteral("0.7");

} // namespace

const JxlLibrary *JxlLibrary::instance()
{
    static const JxlLibrary *library = [] {
        static JxlLibrary loaded;
        return loaded.load() ? &loaded : nullptr;
    }();
    return library;
}

bool JxlLibrary::load()
{
    static QLibrary decoder(QStringLiteral("jxl"), kJxlSoVersion);
    static QLibrary threads(QStringLiteral("jxl_threads"), kJxlSoVersion);
    for (QLibrary *library : {&decoder, &threads}) {
        if (!library->load()) {
            qCWarning(lcJxl) << "cannot load libjxl:" << library->errorString();
            return false;
        }
    }
    bool ok = true;
    auto resolve = [&](QLibrary &library, auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.resolve(name));
        if (!function) {
            qCWarning(lcJxl, "libjxl has no %s", name);
            ok = false;
        }
    };
#define GLYPHORA_RESOLVE(library, name) resolve(library, name, #name);
    GLYPHORA_RESOLVE(decoder, JxlDecoderCreate)
    GLYPHORA_RESOLVE(decoder, JxlDecoderDestroy)
    GLYPHORA_RESOLVE(decoder, JxlDecoderSetParallelRunner)
    GLYPHORA_RESOLVE(decoder, JxlDecoderSubscribeEvents)
    GLYPHORA_RESOLVE(decoder, JxlDecoderSetInput)
    GLYPHORA_RESOLVE(decoder, JxlDecoderCloseInput)
    GLYPHORA_RESOLVE(decoder, JxlDecoderProcessInput)
    GLYPHORA_RESOLVE(decoder, JxlDecoderGetBasicInfo)
    GLYPHORA_RESOLVE(decoder, JxlDecoderSetPreferredColorProfile)
    GLYPHORA_RESOLVE(decoder, JxlDecoderGetICCProfileSize)
    GLYPHORA_RESOLVE(decoder, JxlDecoderGetColorAsICCProfile)
    GLYPHORA_RESOLVE(decoder, JxlDecoderImageOutBufferSize)
    GLYPHORA_RESOLVE(decoder, JxlDecoderSetImageOutBuffer)
    GLYPHORA_RESOLVE(decoder, JxlColorEncodingSetToSRGB)
    GLYPHORA_RESOLVE(threads, JxlResizableParallelRunner)
    GLYPHORA_RESOLVE(threads, JxlResizableParallelRunnerCreate)
    GLYPHORA_RESOLVE(threads, JxlResizableParallelRunnerDestroy)
    GLYPHORA_RESOLVE(threads, JxlResizableParallelRunnerSetThreads)
    GLYPHORA_RESOLVE(threads, JxlResizableParallelRunnerSuggestThreads)
#undef GLYPHORA_RESOLVE
    return ok;
}
