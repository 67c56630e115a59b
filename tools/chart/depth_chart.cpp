#include "chart/depth_chart.h"

#include <algorithm>
#include <cstdio>
#include <numbers>

#include "base/number_text.h"
#include "chart/chart_canvas.h"

namespace deepglass {

namespace {

constexpr int CHART_WIDTH = 1000;
constexpr int PLOT_HEIGHT = 420;
constexpr int HISTOGRAM_BINS = 100;

struct Colour {
    double red, green, blue;
};
constexpr Colour NEAREST_COLOUR{0.15, 0.35, 0.75};
constexpr Colour FARTHEST_COLOUR{0.80, 0.30, 0.10};
constexpr Colour BAND_COLOUR{0.85, 0.88, 0.95};
constexpr Colour BAR_COLOUR{0.35, 0.50, 0.70};
constexpr Colour SHOT_COLOUR{0.10, 0.55, 0.25};

void SetColour(cairo_t* context, const Colour& colour)
{
    cairo_set_source_rgb(context, colour.red, colour.green, colour.blue);
}

// One end of every frame's range as a line broken where a frame has none, with a dot a frame.
void RangeLine(ChartCanvas& canvas, const std::vector<ChartFrame>& frames, bool nearest, const Colour& colour)
{
    cairo_t* context = canvas.Context();
    SetColour(context, colour);
    cairo_set_line_width(context, 2.5);
    bool drawing = false;
    for (const ChartFrame& frame : frames) {
        const std::optional<float>& value = nearest ? frame.nearest : frame.farthest;
        if (!value) {
            drawing = false;
            continue;
        }
        if (drawing)
            cairo_line_to(context, canvas.X(frame.x), canvas.Y(*value));
        else
            cairo_move_to(context, canvas.X(frame.x), canvas.Y(*value));
        drawing = true;
    }
    cairo_stroke(context);
    if (frames.size() > 200) return; // dots would only blur a long shot
    for (const ChartFrame& frame : frames)
        if (const std::optional<float>& value = nearest ? frame.nearest : frame.farthest) {
            cairo_arc(context, canvas.X(frame.x), canvas.Y(*value), 3.5, 0, 2 * std::numbers::pi);
            cairo_fill(context);
        }
}

// Each frame's grey scale as a band between the two lines, through the same points, broken where
// a frame has no range.
void Band(ChartCanvas& canvas, const std::vector<ChartFrame>& frames)
{
    cairo_t* context = canvas.Context();
    SetColour(context, BAND_COLOUR);
    std::size_t start = 0;
    while (start < frames.size()) {
        if (!frames[start].nearest || !frames[start].farthest) {
            ++start;
            continue;
        }
        std::size_t end = start;
        while (end < frames.size() && frames[end].nearest && frames[end].farthest) ++end;
        for (std::size_t i = start; i < end; ++i)
            cairo_line_to(context, canvas.X(frames[i].x), canvas.Y(*frames[i].farthest));
        for (std::size_t i = end; i-- > start;)
            cairo_line_to(context, canvas.X(frames[i].x), canvas.Y(*frames[i].nearest));
        cairo_close_path(context);
        cairo_fill(context);
        start = end;
    }
}

// The lowest and highest value of one end of the frames' ranges, if any frame has one.
std::optional<std::pair<float, float>> Spread(const std::vector<ChartFrame>& frames, bool nearest)
{
    std::optional<std::pair<float, float>> spread;
    for (const ChartFrame& frame : frames)
        if (const std::optional<float>& value = nearest ? frame.nearest : frame.farthest)
            spread = spread ? std::pair{std::min(spread->first, *value), std::max(spread->second, *value)}
                            : std::pair{*value, *value};
    return spread;
}

std::string SpreadText(const std::optional<std::pair<float, float>>& spread)
{
    return spread ? NumberText(spread->first) + " to " + NumberText(spread->second) : "none";
}

// How far an end moves over the shot, as a share of its largest value: what makes a sequence flicker.
std::string MovementText(const std::optional<std::pair<float, float>>& spread)
{
    if (!spread || spread->second <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * (spread->second - spread->first) / spread->second);
    return text;
}

} // namespace

void DrawRangeChart(const std::string& path, const std::string& title, const std::string& xLabel,
                    const std::vector<ChartFrame>& frames, const std::optional<DepthScale>& shot)
{
    double low = 0, high = 1, first = 0, last = 1;
    bool any = false;
    for (const ChartFrame& frame : frames) {
        first = &frame == &frames.front() ? frame.x : std::min(first, frame.x);
        last = &frame == &frames.front() ? frame.x : std::max(last, frame.x);
        if (!frame.nearest || !frame.farthest) continue;
        low = any ? std::min<double>(low, *frame.nearest) : *frame.nearest;
        high = any ? std::max<double>(high, *frame.farthest) : *frame.farthest;
        any = true;
    }
    if (shot) {
        low = any ? std::min<double>(low, shot->nearest) : shot->nearest;
        high = any ? std::max<double>(high, shot->farthest) : shot->farthest;
    }
    const auto nearSpread = Spread(frames, true);
    const auto farSpread = Spread(frames, false);
    ChartCanvas canvas(CHART_WIDTH, PLOT_HEIGHT, shot ? 4 : 3);
    canvas.Frame(title,
                 std::to_string(frames.size()) + " frames: the nearest depth moves by " +
                     MovementText(nearSpread) + ", the farthest by " + MovementText(farSpread) +
                     "; either moving shifts every grey",
                 xLabel, "depth (magnitude)", NiceRange(first, last, true), NiceRange(low, high));
    cairo_t* context = canvas.Context();
    canvas.ClipToPlot(true);
    Band(canvas, frames);
    RangeLine(canvas, frames, false, FARTHEST_COLOUR);
    RangeLine(canvas, frames, true, NEAREST_COLOUR);
    std::vector<LegendEntry> legend = {
        {"nearest depth, white: " + SpreadText(nearSpread), NEAREST_COLOUR.red, NEAREST_COLOUR.green,
         NEAREST_COLOUR.blue},
        {"farthest depth, black: " + SpreadText(farSpread), FARTHEST_COLOUR.red, FARTHEST_COLOUR.green,
         FARTHEST_COLOUR.blue},
        {"each frame's own grey scale", BAND_COLOUR.red, BAND_COLOUR.green, BAND_COLOUR.blue, true}};
    if (shot) {
        SetColour(context, SHOT_COLOUR);
        cairo_set_line_width(context, 2);
        const double dashes[] = {8, 5};
        cairo_set_dash(context, dashes, 2, 0);
        for (float end : {shot->nearest, shot->farthest}) {
            cairo_move_to(context, canvas.X(first), canvas.Y(end));
            cairo_line_to(context, canvas.X(last), canvas.Y(end));
        }
        cairo_stroke(context);
        cairo_set_dash(context, nullptr, 0, 0);
        legend.push_back({"one scale for every frame (--range): " + NumberText(shot->nearest) + " to " +
                              NumberText(shot->farthest),
                          SHOT_COLOUR.red, SHOT_COLOUR.green, SHOT_COLOUR.blue});
    }
    canvas.ClipToPlot(false);
    canvas.Legend(legend);
    canvas.Save(path);
}

void DrawDepthHistogram(const std::string& path, const std::string& title,
                        const std::vector<float>& magnitudes, std::size_t background)
{
    float nearest = 0, farthest = 1;
    if (!magnitudes.empty()) {
        const auto [low, high] = std::minmax_element(magnitudes.begin(), magnitudes.end());
        nearest = *low;
        farthest = *high;
    }
    std::vector<std::size_t> bins(HISTOGRAM_BINS, 0);
    const double span = farthest > nearest ? static_cast<double>(farthest) - nearest : 1.0;
    for (float magnitude : magnitudes) {
        const auto bin =
            static_cast<std::size_t>((magnitude - static_cast<double>(nearest)) / span * HISTOGRAM_BINS);
        ++bins[std::min<std::size_t>(bin, HISTOGRAM_BINS - 1)];
    }
    const std::size_t tallest = *std::max_element(bins.begin(), bins.end());
    ChartCanvas canvas(CHART_WIDTH, PLOT_HEIGHT, 3);
    const AxisRange x = NiceRange(nearest, nearest + span);
    canvas.Frame(title,
                 std::to_string(magnitudes.size()) + " pixels in the depth range, " +
                     std::to_string(background) + " background pixels left out of it",
                 "depth (magnitude)", "pixels", x, NiceRange(0, std::max<double>(tallest, 1) * 1.15));
    cairo_t* context = canvas.Context();
    SetColour(context, BAR_COLOUR);
    for (int bin = 0; bin < HISTOGRAM_BINS && !magnitudes.empty(); ++bin) {
        const double from = nearest + span * bin / HISTOGRAM_BINS;
        const double to = nearest + span * (bin + 1) / HISTOGRAM_BINS;
        cairo_rectangle(context, canvas.X(from), canvas.Y(static_cast<double>(bins[bin])),
                        canvas.X(to) - canvas.X(from),
                        canvas.Y(0) - canvas.Y(static_cast<double>(bins[bin])));
    }
    cairo_fill(context);
    cairo_set_line_width(context, 2.5);
    const double dashes[] = {8.0, 5.0};
    cairo_set_dash(context, dashes, 2, 0);
    for (const auto& [value, colour] :
         {std::pair{nearest, NEAREST_COLOUR}, std::pair{farthest, FARTHEST_COLOUR}}) {
        if (magnitudes.empty()) break;
        SetColour(context, colour);
        cairo_move_to(context, canvas.X(value), canvas.Y(0));
        cairo_line_to(context, canvas.X(value), canvas.Y(std::max<double>(tallest, 1) * 1.15));
        cairo_stroke(context);
    }
    cairo_set_dash(context, nullptr, 0, 0);
    const bool empty = magnitudes.empty();
    canvas.Legend({{"pixels a depth bin (" + std::to_string(HISTOGRAM_BINS) + " bins)", BAR_COLOUR.red,
                    BAR_COLOUR.green, BAR_COLOUR.blue, true},
                   {"nearest " + (empty ? std::string("none") : NumberText(nearest)) + ": white",
                    NEAREST_COLOUR.red, NEAREST_COLOUR.green, NEAREST_COLOUR.blue},
                   {"farthest " + (empty ? std::string("none") : NumberText(farthest)) + ": black",
                    FARTHEST_COLOUR.red, FARTHEST_COLOUR.green, FARTHEST_COLOUR.blue}});
    canvas.Save(path);
}

} // namespace deepglass
