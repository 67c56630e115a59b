#include "video/ffmpeg_errors.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <cstdarg>
#include <mutex>

namespace deepglass::ffmpeg {

namespace {

thread_local std::string lastLogged;

extern "C" void KeepLastError(void* context, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR) return;
    char line[1024];
    int prefix = 0; // without the context's name and address
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &prefix);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (!text.empty()) lastLogged = std::move(text);
}

} // namespace

void QuietFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(KeepLastError); });
}

std::string FfmpegErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::string message = text;
    if (!lastLogged.empty()) message += " (" + lastLogged + ")";
    lastLogged.clear();
    return message;
}

} // namespace deepglass::ffmpeg
