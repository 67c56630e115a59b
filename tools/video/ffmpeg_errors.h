// What FFmpeg's libraries say when a call fails. They would print to the error stream on their
// own; the tool keeps their last error instead and says it within its own message.
#pragma once

#include <string>

namespace deepglass::ffmpeg {

// Routes the libraries' log into the tool (once for the process): nothing is printed, and the last
// error a thread logged is kept for FfmpegErrorText.
void QuietFfmpegLog();

// The text of FFmpeg's error code, with the last error this thread's calls logged (then forgotten).
std::string FfmpegErrorText(int error);

} // namespace deepglass::ffmpeg
