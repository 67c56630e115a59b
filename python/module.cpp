// _deepglass: the tool's library as the Python module calls it. Each function turns its
// arguments into the tool's own values, lets go of the GIL, and calls what the command line calls.
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

#include "array_frame.h"
#include "base/machine.h"
#include "captured_output.h"
#include "cli/face_options.h"
#include "commands/apply_command.h"
#include "commands/depth_command.h"
#include "commands/info_command.h"
#include "module/filter_configuration.h"
#include "module/filter_runner.h"
#include "output/atomic_output.h"
#include "python_values.h"

namespace py = pybind11;

namespace deepglass {

namespace {

using FaceOptions = std::vector<FaceOption>;

// The module the face loads: as the tool finds it, from this extension's file rather than from
// the program that runs it (Python, Blender).
std::string ModuleOf(const std::string& given)
{
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&ModuleOf), &info);
    return FindModule(given, std::getenv(MODULE_ENVIRONMENT_VARIABLE),
                      info.dli_fname != nullptr ? info.dli_fname : "", DEEPGLASS_PYTHON_MODULE_FOLDER);
}

// `apply` as the command line runs it; answers its exit status and what it printed.
py::tuple Apply(const FaceOptions& options, const std::vector<std::string>& operands,
                const std::string& colourConfig)
{
    Command command = ParseFaceCommand("apply", options, operands, colourConfig);
    command.apply.modulePath = ModuleOf(command.apply.modulePath);
    CapturedOutput out, errors;
    int status = 0;
    {
        py::gil_scoped_release released;
        status = RunApply(command.apply, out.File(), errors.File());
    }
    return py::make_tuple(status, TextOf(out.Text()), TextOf(errors.Text()));
}

py::dict Info(const std::string& path, const FaceOptions& options, const std::string& colourConfig)
{
    const InfoOptions info = ParseFaceCommand("info", options, {path}, colourConfig).info;
    if (IsPngFile(path)) {
        PngPicture picture;
        {
            py::gil_scoped_release released;
            picture = ReadPictureText(path, MemoryBudget(info.maxMemory));
        }
        return PictureDict(path, picture);
    }
    std::optional<FileFacts> facts;
    {
        py::gil_scoped_release released;
        facts = FactsOfFile(path, info);
    }
    return FileDict(path, *facts, info);
}

// A picture read back into depth as `depth` reads it, nothing rendered as NaN.
py::tuple Read(const std::string& path, const FaceOptions& options)
{
    const DepthOptions depth = ParseFaceCommand("depth", options, {path}, "").depth;
    DepthPicture picture;
    {
        py::gil_scoped_release released;
        picture = ReadDepthPicture(path, depth, MemoryBudget(depth.maxMemory));
    }
    py::array_t<float> values({picture.height, picture.width});
    float* out = values.mutable_data();
    const std::vector<std::uint32_t>& samples = picture.depth.samples;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float depth = std::bit_cast<float>(samples[i]);
        out[i] = depth == HOST_BACKGROUND_DEPTH ? std::numeric_limits<float>::quiet_NaN() : depth;
    }
    return py::make_tuple(values, MappingDict(picture.mapping));
}

// The channels a filter configured by these `apply` options asks the host for.
std::vector<std::string> ChannelsRequired(const FaceOptions& options, const std::string& colourConfig)
{
    // No frame is read: the operand only stands in for the inputs the checks ask for.
    const ApplyOptions apply = ParseFaceCommand("apply", options, {"frame.exr"}, colourConfig).apply;
    FilterRunner runner(ModuleOf(apply.modulePath));
    ConfigureFilter(runner, apply.filter);
    const std::uint32_t required = runner.ChannelsRequired();
    std::vector<std::string> names;
    if (required & CHANNEL_DEPTH) names.push_back("depth");
    if (required & CHANNEL_MATERIAL_ID) names.push_back("material_id");
    if (required & CHANNEL_OBJECT_ID) names.push_back("object_id");
    return names;
}

Imf::PixelType PixelTypeOf(const py::array& array, const char* name)
{
    if (py::isinstance<py::array_t<float>>(array)) return Imf::FLOAT;
    if (array.dtype().kind() == 'f' && array.itemsize() == 2) return Imf::HALF;
    if (py::isinstance<py::array_t<std::uint32_t>>(array)) return Imf::UINT;
    throw py::type_error(std::string(name) + ": float16, float32 or uint32 samples only");
}

void AddChannels(std::vector<ArrayChannel>& channels, const py::array& array, const char* name,
                 const std::vector<std::string>& names)
{
    const Imf::PixelType type = PixelTypeOf(array, name);
    for (std::size_t c = 0; c < names.size(); ++c)
        channels.push_back({names[c], type,
                            static_cast<const char*>(array.data()) +
                                static_cast<py::ssize_t>(c) * (array.ndim() == 3 ? array.strides(2) : 0),
                            static_cast<std::size_t>(array.strides(1)),
                            static_cast<std::size_t>(array.strides(0))});
}

// The writer reads every array over depth's height and width: an array of another shape would be
// read past its end. The Python layer names the argument; this guards the memory.
void CheckShape(const py::array& array, const char* name, const py::array& depth, bool colour)
{
    const bool fits = array.ndim() == (colour ? 3 : 2) && array.shape(0) == depth.shape(0) &&
                      array.shape(1) == depth.shape(1) &&
                      (!colour || array.shape(2) == 3 || array.shape(2) == 4);
    if (!fits)
        throw py::value_error(std::string(name) + ": an array of depth's height and width" +
                              (colour ? " with 3 or 4 channels" : ""));
}

// The arrays written as an EXR frame.
void WriteFrame(const std::string& path, const py::array& depth, const std::optional<py::array>& colour,
                const std::optional<py::array>& material, const std::optional<py::array>& object)
{
    if (depth.ndim() != 2 || depth.shape(0) > std::numeric_limits<int>::max() ||
        depth.shape(1) > std::numeric_limits<int>::max())
        throw py::value_error("depth: a two-dimensional array of at most 2^31 - 1 rows and columns");
    if (colour) CheckShape(*colour, "colour", depth, true);
    if (material) CheckShape(*material, "material_ids", depth, false);
    if (object) CheckShape(*object, "object_ids", depth, false);
    std::vector<ArrayChannel> channels;
    AddChannels(channels, depth, "depth", {"Z"});
    if (colour) {
        std::vector<std::string> names = {"R", "G", "B", "A"};
        names.resize(static_cast<std::size_t>(colour->shape(2)));
        AddChannels(channels, *colour, "colour", names);
    }
    if (material) AddChannels(channels, *material, "material_ids", {"materialID"});
    if (object) AddChannels(channels, *object, "object_ids", {"objectID"});
    for (const py::array* array :
         {&depth, colour ? &*colour : nullptr, material ? &*material : nullptr, object ? &*object : nullptr})
        if (array != nullptr &&
            (array->strides(0) < 0 || array->strides(1) < 0 || (array->ndim() == 3 && array->strides(2) < 0)))
            throw py::value_error("arrays with negative strides are copied before they get here");
    const int height = static_cast<int>(depth.shape(0));
    const int width = static_cast<int>(depth.shape(1));
    py::gil_scoped_release released;
    WriteArrayFrame(path, width, height, channels);
}

// A picture's levels (8 or 16 bits, as it holds them) and its depth mapping, None without one.
py::tuple ReadPicture(const std::string& path)
{
    PngPicture picture;
    {
        py::gil_scoped_release released;
        picture = PngReader(path).ReadAll();
    }
    std::vector<py::ssize_t> shape = {picture.height, picture.width};
    if (picture.channels > 1) shape.push_back(picture.channels);
    py::array levels = picture.bits == 8 ? py::array(py::dtype::of<std::uint8_t>(), shape)
                                         : py::array(py::dtype::of<std::uint16_t>(), shape);
    // The samples as stored: a byte each, or two in the machine's order, as numpy holds them.
    std::memcpy(levels.mutable_data(), picture.stored.data(), picture.stored.size());
    py::object mapping =
        HasMapping(picture.text) ? py::object(MappingDict(ParseMapping(picture.text))) : py::none();
    return py::make_tuple(levels, mapping);
}

// `data` written to `path` as every output of the tool is: whole under its final name, or not at all.
void WriteWhole(const std::string& path, const py::bytes& data)
{
    const std::string bytes = data;
    py::gil_scoped_release released;
    AtomicOutput(path).Write([&](const std::string& temp) {
        std::ofstream file(temp, std::ios::binary);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) throw ToolError("cannot write " + temp + ": " + std::strerror(errno));
    });
}

py::list OptionRows(const std::string& command)
{
    py::list rows;
    for (const FaceOptionRow& row : FaceOptionRows(command))
        rows.append(py::make_tuple(row.name, row.takesValue, row.value, row.help));
    return rows;
}

} // namespace

} // namespace deepglass

PYBIND11_MODULE(_deepglass, m)
{
    using namespace deepglass;
    m.doc() = "The Deepglass tool's library; the deepglass package is its face.";
    static py::exception<ToolError> error(m, "Error", PyExc_ValueError);
    static py::exception<UsageError> usage(m, "UsageError", PyExc_ValueError);
    // A usage error carries the option it refused (empty: the options together), for the Python
    // layer to name the argument.
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const FaceUsageError& refused) {
            PyErr_SetObject(usage.ptr(), py::make_tuple(TextOf(refused.what()), refused.option).ptr());
        } catch (const UsageError& refused) {
            PyErr_SetObject(usage.ptr(), py::make_tuple(TextOf(refused.what()), "").ptr());
        } catch (const ToolError& failed) {
            PyErr_SetObject(error.ptr(), TextOf(failed.what()).ptr());
        }
    });
    m.def("option_rows", &OptionRows, "Each option of a command: (long name, takes a value, value, help).");
    m.def("apply", &Apply, "Runs apply; answers (exit status, what it printed, what it printed as errors).");
    m.def("info", &Info, "What info tells of one file, as a dict.");
    m.def("read", &Read, "A picture read back into depth: (float32 array, mapping).");
    m.def("channels_required", &ChannelsRequired, "The channels the configured filter asks for.");
    m.def("write_frame", &WriteFrame, "Writes the arrays as an EXR frame.");
    m.def("read_picture", &ReadPicture, "A picture's levels and its mapping.");
    m.def("write_whole", &WriteWhole, "Writes bytes to a file as the tool writes its outputs.");
}
