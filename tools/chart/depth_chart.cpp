#include "chart/depth_chart.h"

#include <algorithm>
#include <cstdio>
#include <numbers>

#include "base/number_text.h"
#include "chart/chart_canvas.h"

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
                    const std::vector<ChartFrame>& frames)
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
    const auto nearSpread = Spread(frames, true);
    const auto farSpread = Spread(frames, false);
    ChartCanvas canvas(CHART_WIDTH, PLOT_HEIGHT, 3);
    canvas.Frame(title,
                 std::to_string(frames.size()) + " frames: the nearest depth moves by " +
                     MovementText(nearSpread) + ", the farthest by " + MovementText(farSpread) +
                     "; either moving shifts every grey",
                 xLabel, "depth (magnitude)", NiceRange(first, last), NiceRange(low, high));
    cairo_t* context = canvas.Context();
    canvas.ClipToPlot(true);
    SetColour(context, BAND_COLOUR);
    for (const ChartFrame& frame : frames)
        if (frame.nearest && frame.farthest) {
            const double half =
                frames.size() > 1 ? (canvas.X(last) - canvas.X(first)) / (frames.size() - 1) / 2 : 8;
            cairo_rectangle(context, canvas.X(frame.x) - half, canvas.Y(*frame.farthest), 2 * half,
                            canvas.Y(*frame.nearest) - canvas.Y(*frame.farthest));
        }
    cairo_fill(context);
    RangeLine(canvas, frames, false, FARTHEST_COLOUR);
    RangeLine(canvas, frames, true, NEAREST_COLOUR);
    canvas.Legend({{"nearest depth, white: " + SpreadText(nearSpread), NEAREST_COLOUR.red,
                    NEAREST_COLOUR.green, NEAREST_COLOUR.blue},
                   {"farthest depth, black: " + SpreadText(farSpread), FARTHEST_COLOUR.red,
                    FARTHEST_COLOUR.green, FARTHEST_COLOUR.blue},
                   {"the frame's grey scale", BAND_COLOUR.red, BAND_COLOUR.green, BAND_COLOUR.blue, true}});
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
