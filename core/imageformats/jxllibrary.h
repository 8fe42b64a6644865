#pragma once

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/resizable_parallel_runner.h>

// libjxl and its thread pool, loaded on the first JPEG XL file rather than at start-up
// (see HeifLibrary).  The members are the libraries' functions, resolved by name.
class JxlLibrary
{
public:
    // The loaded libraries, or nullptr (with a log line, once) if they cannot be loaded.
    static const JxlLibrary *instance();

#define GLYPHORA_JXL_FUNCTION(name) decltype(&::name) name = nullptr;
    GLYPHORA_JXL_FUNCTION(JxlDecoderCreate)
    GLYPHORA_JXL_FUNCTION(JxlDecoderDestroy)
    GLYPHORA_JXL_FUNCTION(JxlDecoderSetParallelRunner)
    GLYPHORA_JXL_FUNCTION(JxlDecoderSubscribeEvents)
    GLYPHORA_JXL_FUNCTION(JxlDecoderSetInput)
    GLYPHORA_JXL_FUNCTION(JxlDecoderCloseInput)
    GLYPHORA_JXL_FUNCTION(JxlDecoderProcessInput)
    GLYPHORA_JXL_FUNCTION(JxlDecoderGetBasicInfo)
    GLYPHORA_JXL_FUNCTION(JxlDecoderSetPreferredColorProfile)
    GLYPHORA_JXL_FUNCTION(JxlDecoderGetICCProfileSize)
    GLYPHORA_JXL_FUNCTION(JxlDecoderGetColorAsICCProfile)
    GLYPHORA_JXL_FUNCTION(JxlDecoderImageOutBufferSize)
    GLYPHORA_JXL_FUNCTION(JxlDecoderSetImageOutBuffer)
    GLYPHORA_JXL_FUNCTION(JxlColorEncodingSetToSRGB)
    GLYPHORA_JXL_FUNCTION(JxlResizableParallelRunner)
    GLYPHORA_JXL_FUNCTION(JxlResizableParallelRunnerCreate)
    GLYPHORA_JXL_FUNCTION(JxlResizableParallelRunnerDestroy)
    GLYPHORA_JXL_FUNCTION(JxlResizableParallelRunnerSetThreads)
    GLYPHORA_JXL_FUNCTION(JxlResizableParallelRunnerSuggestThreads)
#undef GLYPHORA_JXL_FUNCTION

private:
    JxlLibrary() = default;
    bool load();
};
