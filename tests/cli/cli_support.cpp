#include "cli_support.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfTileDescription.h>
#include <ImfTiledOutputFile.h>
#include <half.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "exr_writing.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string FileText(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::string ToolPath() { return DEEPGLASS_TOOL_PATH; }
std::string HostLibraryPath() { return DEEPGLASS_HOST_LIBRARY_PATH; }

ToolRun RunDeepglass(const fs::path& folder, const std::vector<std::string>& arguments,
                     const RunLimits& limits)
{
    // The captured streams live beside the test folder, so they never show among its files.
    const fs::path out = folder.string() + ".out";
    const fs::path err = folder.string() + ".err";
    std::string command = "cd " + Quoted(folder.string()) + " && ";
    // The shell counts a file-size limit in 512-byte blocks.
    if (limits.fileSizeBytes != 0)
        command += "ulimit -f " + std::to_string(limits.fileSizeBytes / 512) + " && ";
    // Root writes into any folder unless its override of permission bits is taken from the
    // capabilities the tool can have.
    if (limits.permissionsBindRoot && geteuid() == 0) command += "setpriv --bounding-set -dac_override -- ";
    for (const std::string& argument : limits.runUnder) command += Quoted(argument) + " ";
    command += Quoted(ToolPath());
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string()) + " </dev/null";
    ToolRun run;
    int raw = -1;
    if (limits.measureMemory) {
        // In a process of its own, whose children are only the shell and the tool, so that their
        // peak is the tool's alone.
        int channel[2];
        if (pipe(channel) != 0) return run;
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            const int status = std::system(command.c_str());
            struct rusage usage {};
            getrusage(RUSAGE_CHILDREN, &usage);
            const long values[2] = {status, usage.ru_maxrss};
            if (write(channel[1], values, sizeof values) != sizeof values) _exit(1);
            _exit(0);
        }
        close(channel[1]);
        long values[2] = {-1, -1};
        if (child > 0 && read(channel[0], values, sizeof values) == sizeof values) {
            raw = static_cast<int>(values[0]);
            run.peakKilobytes = values[1];
        }
        close(channel[0]);
        if (child > 0) waitpid(child, nullptr, 0);
    } else {
        raw = std::system(command.c_str());
    }
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = FileText(out);
    run.err = FileText(err);
    fs::remove(out);
    fs::remove(err);
    return run;
}

void WriteTestExr(const fs::path& path, const TestFrame& frame)
{
    const Imath::Box2i data({frame.minX, frame.minY},
                            {frame.minX + frame.width - 1, frame.minY + frame.height - 1});
    Imath::Box2i display = data;
    if (frame.displayWidth > 0)
        display = Imath::Box2i(
            {frame.displayMinX, frame.displayMinY},
            {frame.displayMinX + frame.displayWidth - 1, frame.displayMinY + frame.displayHeight - 1});
    Imf::Header header(display, data);
    header.compression() = frame.compression;
    for (const TestChannel& channel : frame.channels)
        header.channels().insert(channel.name, Imf::Channel(channel.type));
    std::vector<std::vector<char>> storage;
    // The samples of the level whose pixels are `window`.
    const auto levelBuffer = [&](const Imath::Box2i& window) {
        const std::size_t width = static_cast<std::size_t>(window.max.x - window.min.x + 1);
        const std::size_t count = width * static_cast<std::size_t>(window.max.y - window.min.y + 1);
        const bool full = window == data;
        storage.clear();
        Imf::FrameBuffer buffer;
        for (const TestChannel& channel : frame.channels) {
            const std::size_t size = channel.type == Imf::HALF ? sizeof(half) : 4;
            std::vector<char>& bytes = storage.emplace_back(count * size);
            for (std::size_t i = 0; i < count; ++i) {
                const double value = channel.values.at(full ? i : channel.values.size() - 1 - i);
                if (channel.type == Imf::HALF) {
                    const half h(static_cast<float>(value));
                    std::memcpy(&bytes[i * size], &h, size);
                } else if (channel.type == Imf::FLOAT) {
                    const float f = static_cast<float>(value);
                    std::memcpy(&bytes[i * size], &f, size);
                } else {
                    const std::uint32_t u = static_cast<std::uint32_t>(value);
                    std::memcpy(&bytes[i * size], &u, size);
                }
            }
            buffer.insert(channel.name,
                          Imf::Slice::Make(channel.type, bytes.data(), window, size, size * width));
        }
        return buffer;
    };
    if (frame.tiled && frame.levels != Imf::ONE_LEVEL) {
        header.setTileDescription(Imf::TileDescription(2, 2, frame.levels));
        Imf::TiledOutputFile file(path.c_str(), header);
        for (int ly = 0; ly < file.numYLevels(); ++ly) {
            for (int lx = 0; lx < file.numXLevels(); ++lx) {
                if (frame.levels != Imf::RIPMAP_LEVELS && lx != ly) continue;
                file.setFrameBuffer(levelBuffer(file.dataWindowForLevel(lx, ly)));
                file.writeTiles(0, file.numXTiles(lx) - 1, 0, file.numYTiles(ly) - 1, lx, ly);
            }
        }
    } else {
        WriteFlatExr(path.string(), header, levelBuffer(data), frame.tiled);
    }
}

TestFrame MakeTestFrame(int width, int height, std::vector<double> depth, std::vector<double> colour,
                        std::vector<double> materials, std::vector<double> objects)
{
    TestFrame frame;
    frame.width = width;
    frame.height = height;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    if (colour.empty())
        for (std::size_t i = 0; i < count; ++i) colour.insert(colour.end(), {0.25, 0.5, 0.75, 1.0});
    const char* names = "RGBA";
    for (int c = 0; c < 4; ++c) {
        TestChannel channel{std::string(1, names[c]), Imf::HALF, {}};
        for (std::size_t i = 0; i < count; ++i) channel.values.push_back(colour.at(4 * i + c));
        frame.channels.push_back(channel);
    }
    frame.channels.push_back({"Z", Imf::FLOAT, std::move(depth)});
    if (!materials.empty()) frame.channels.push_back({"materialID", Imf::UINT, std::move(materials)});
    if (!objects.empty()) frame.channels.push_back({"objectID", Imf::UINT, std::move(objects)});
    return frame;
}

std::vector<std::uint16_t> Png::Channel(int component) const
{
    std::vector<std::uint16_t> values;
    for (std::size_t i = static_cast<std::size_t>(component); i < samples.size(); i += 4)
        values.push_back(samples[i]);
    return values;
}

Png ReadPng(const fs::path& path)
{
    Png result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        ADD_FAILURE() << "no PNG at " << path;
        return result;
    }
    // The header as stored; the samples of grey or RGBA pictures as RGBA, a grey level standing for
    // all four (it is the filter's alpha too), 8-bit levels as they are.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        result.bitDepth = png_get_bit_depth(png, info);
        result.colourType = png_get_color_type(png, info);
        result.width = static_cast<int>(png_get_image_width(png, info));
        result.height = static_cast<int>(png_get_image_height(png, info));
        result.srgb = png_get_valid(png, info, PNG_INFO_sRGB) != 0;
        png_charp name = nullptr;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        int compression = 0;
        if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0)
            result.icc.assign(profile, profile + length);
        const int channels = result.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                             : result.colourType == PNG_COLOR_TYPE_GRAY    ? 1
                                                                           : 0;
        const int bytes = result.bitDepth / 8;
        if (channels != 0 && (bytes == 1 || bytes == 2)) {
            if (bytes == 2) png_set_swap(png);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(result.width) * channels * bytes);
            for (int y = 0; y < result.height; ++y) {
                png_read_row(png, row.data(), nullptr);
                for (std::size_t i = 0; i < row.size() / bytes; ++i) {
                    std::uint16_t level = row[i];
                    if (bytes == 2) std::memcpy(&level, &row[2 * i], 2);
                    result.samples.insert(result.samples.end(), channels == 1 ? 4 : 1, level);
                }
            }
        }
    } else {
        ADD_FAILURE() << "unreadable PNG " << path;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return result;
}

std::vector<std::string> FolderNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void CliTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / ("deepglass-cli-" + std::string(info->test_suite_name()) + "-" +
                                          info->name() + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The tool's pictures do not depend on the config of whoever runs the tests; tests that want
    // one name it for the run.
    unsetenv("OCIO");
}

void CliTest::TearDown() { fs::remove_all(folder); }

Png CliTest::Applied(std::vector<std::string> arguments, const std::string& output)
{
    arguments.insert(arguments.begin(), "apply");
    arguments.insert(arguments.end(), {"-o", output});
    const ToolRun run = Run(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadPng(Path(output));
}
