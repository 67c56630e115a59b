#include "shot/progress.h"

namespace deepglass {

namespace {

constexpr std::size_t BAR_WIDTH = 30;

} // namespace

Progress::Progress(std::size_t total, bool terminal, std::FILE* out, std::FILE* errors)
    : total(total), terminal(terminal), out(out), errors(errors)
{
}

void Progress::Begin(std::size_t, const std::string& name)
{
    currentName = name;
    if (terminal) Draw();
}

void Progress::Done(std::size_t index, const std::string& line)
{
    ++done;
    if (terminal) {
        Draw();
    } else {
        std::fprintf(out, "[%zu/%zu] %s\n", index + 1, total, line.c_str());
        std::fflush(out);
    }
}

void Progress::Message(const std::string& line)
{
    if (terminal) Clear();
    std::fprintf(errors, "%s\n", line.c_str());
    std::fflush(errors);
    if (terminal && done < total) Draw();
}

void Progress::End()
{
    if (terminal) Clear();
}

void Progress::Draw()
{
    const std::size_t filled = total == 0 ? BAR_WIDTH : done * BAR_WIDTH / total;
    std::string bar(filled, '#');
    bar.resize(BAR_WIDTH, '-');
    std::fprintf(out, "\r\033[K[%s] %zu/%zu %s", bar.c_str(), done, total, currentName.c_str());
    std::fflush(out);
    drawn = true;
}

void Progress::Clear()
{
    if (!drawn) return;
    std::fprintf(out, "\r\033[K");
    std::fflush(out);
    drawn = false;
}

} // namespace deepglass
