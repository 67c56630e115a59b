#include "python_values.h"

#include <pybind11/stl.h>

#include "base/number_text.h"
#include "base/utf8_text.h"

namespace py = pybind11;

namespace deepglass {

namespace {

// A float as the double its shortest text reads as, as the report and the mapping give it.
double Shortest(float value) { return std::stod(NumberText(value)); }

py::object Share(std::size_t part, std::size_t whole)
{
    return whole == 0 ? py::object(py::none())
                      : py::float_(static_cast<double>(part) / static_cast<double>(whole));
}

py::object Channel(bool present, const std::string& name)
{
    return present ? py::object(TextOf(name)) : py::none();
}

py::object Ids(const std::optional<IdCounts>& ids)
{
    if (!ids) return py::none();
    py::dict counts;
    for (const auto& [id, pixels] : ids->counts) counts[py::int_(id)] = pixels;
    return counts;
}

py::tuple Box(const PixelBox& box) { return py::make_tuple(box.minX, box.minY, box.maxX, box.maxY); }

py::dict ViewDict(const ViewFacts& described, const InfoOptions& options)
{
    const ViewFrame& made = described.made;
    const FrameFacts& facts = described.facts;
    const ChannelChoice& choice = made.choice;
    py::dict view;
    view["view"] = TextOf(made.view);
    view["size"] = py::make_tuple(made.frame.Width(), made.frame.Height());
    view["tiled"] = made.frame.tiled;
    view["data_window"] = Box(made.frame.dataWindow);
    view["display_window"] = Box(made.frame.displayWindow);
    py::list channels;
    for (const ViewChannel& channel : made.channels) channels.append(TextOf(channel.name));
    view["channels"] = channels;
    py::list colour;
    for (const std::string& name : choice.PresentColour())
        if (!name.empty()) colour.append(TextOf(name));
    py::dict taken;
    taken["layer"] = TextOf(choice.layer);
    taken["colour"] = colour;
    taken["depth"] = Channel(choice.hasDepth, choice.depth);
    taken["material_id"] = Channel(choice.hasMaterial, choice.material);
    taken["object_id"] = Channel(choice.hasObject, choice.object);
    view["taken"] = taken;
    view["problem"] = facts.problem.empty() ? py::object(py::none()) : TextOf(facts.problem);
    py::object range = py::none();
    if (facts.hasDepth && facts.stats.takingPart > 0)
        range = py::make_tuple(Shortest(facts.stats.minMagnitude), Shortest(facts.stats.maxMagnitude));
    view["depth_range"] = range;
    if (options.range.clip)
        view["clip"] = facts.clipped ? py::object(py::make_tuple(Shortest(facts.clipped->nearest),
                                                                 Shortest(facts.clipped->farthest)))
                                     : py::none();
    view["nan_pixels"] = facts.stats.notANumber;
    view["background"] = facts.hasDepth ? Share(facts.stats.background, facts.stats.pixels) : py::none();
    view["taken_by_background_rule"] = facts.hasDepth ? Share(facts.taken, facts.stats.pixels) : py::none();
    view["alpha_zero"] =
        facts.problem.empty() ? Share(facts.transparent, made.frame.PixelCount()) : py::none();
    view["material_ids"] = Ids(facts.materialIds);
    view["object_ids"] = Ids(facts.objectIds);
    if (facts.deep) {
        py::dict deep;
        deep["total"] = facts.deep->total;
        deep["most"] = facts.deep->most;
        deep["empty"] = facts.deep->empty;
        view["deep_samples"] = deep;
    }
    const std::string hint = facts.hasDepth ? BackgroundHint(facts.stats) : "";
    view["hint"] = hint.empty() ? py::object(py::none()) : TextOf(hint);
    return view;
}

} // namespace

py::str TextOf(const std::string& text) { return py::str(Utf8Characters(text) ? text : NameText(text)); }

py::dict MappingDict(const DepthMapping& mapping)
{
    py::dict values;
    for (const HeaderText& entry : MappingTexts(mapping)) {
        std::string key = entry.name.substr(std::string(MAPPING_PREFIX).size());
        for (char& c : key)
            if (c == '-') c = '_';
        switch (entry.type) {
        case HeaderText::Type::FLOAT: values[py::str(key)] = std::stod(entry.text); break;
        case HeaderText::Type::INT: values[py::str(key)] = std::stoi(entry.text); break;
        case HeaderText::Type::STRING: values[py::str(key)] = TextOf(entry.text); break;
        }
    }
    if (!mapping.scale) {
        values["near"] = py::none();
        values["far"] = py::none();
    }
    return values;
}

py::dict PictureDict(const std::string& path, const PngPicture& picture)
{
    py::dict values;
    values["path"] = path;
    values["kind"] = "png";
    values["size"] = py::make_tuple(picture.width, picture.height);
    values["channels"] = picture.channels == 1 ? "grey" : "RGBA";
    values["bits"] = picture.bits;
    values["mapping"] =
        HasMapping(picture.text) ? py::object(MappingDict(ParseMapping(picture.text))) : py::none();
    return values;
}

py::dict FileDict(const std::string& path, const FileFacts& facts, const InfoOptions& options)
{
    py::dict values = facts.views.size() == 1 ? ViewDict(facts.views.front(), options) : py::dict();
    if (facts.views.size() != 1) {
        py::dict views;
        for (const ViewFacts& view : facts.views) views[TextOf(view.made.view)] = ViewDict(view, options);
        values["by_view"] = views;
    }
    values["path"] = path;
    values["kind"] = "exr";
    py::list views;
    for (const std::string& view : facts.read.file.Views()) views.append(TextOf(view));
    values["views"] = views;
    values["parts"] = facts.read.file.parts.size();
    py::dict mappings;
    for (const auto& [part, mapping] : facts.mappings) mappings[TextOf(part)] = MappingDict(mapping);
    values["mappings"] = mappings;
    values["note"] = facts.read.note.empty() ? py::object(py::none()) : TextOf(facts.read.note);
    values["kept_colour"] = options.colourProblem.empty()
                                ? options.display ? options.display->Text() : "as stored, scene-linear"
                                : "none apply would take: " + options.colourProblem;
    return values;
}

} // namespace deepglass
