// A chart's canvas: a white picture with a plot area, axes with ticks and labels, a title and a
// legend, drawn with cairo. The charts draw their data inside the plot area through its scales.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

namespace deepglass {

struct AxisRange {
    double low = 0.0;
    double high = 1.0;
    bool whole = false; // ticks at whole numbers only (frame numbers)
};

struct LegendEntry {
    std::string text;
    double red, green, blue;
    bool filled = false; // a box rather than a line
};

class ChartCanvas {
public:
    // A plot area `plotHeight` high, with room below it for `legendEntries` in two columns.
    ChartCanvas(int width, int plotHeight, std::size_t legendEntries);
    ~ChartCanvas();
    ChartCanvas(const ChartCanvas&) = delete;
    ChartCanvas& operator=(const ChartCanvas&) = delete;

    // Draws the title and the line under it, both axes with ticks at round values and their labels.
    void Frame(const std::string& title, const std::string& subtitle, const std::string& xLabel,
               const std::string& yLabel, AxisRange x, AxisRange y);
    // Whether what is drawn next is cut to the plot area.
    void ClipToPlot(bool clip);
    // Chart values to picture coordinates.
    double X(double value) const;
    double Y(double value) const;
    // The entries under the plot, two a row.
    void Legend(const std::vector<LegendEntry>& entries);
    cairo_t* Context() { return context; }

    // Writes the picture as a whole; a ToolError if it cannot.
    void Save(const std::string& path);

private:
    void Ticks(AxisRange range, bool horizontal);

    std::size_t legendRows;
    double marginBottom;
    cairo_surface_t* surface;
    cairo_t* context;
    int width;
    int height;
    AxisRange xRange;
    AxisRange yRange;
};

// Lower and upper ends widened to round numbers, and a span kept above 0; with `whole`, for an
// axis of whole numbers, ticks a whole number apart.
AxisRange NiceRange(double low, double high, bool whole = false);
// A number as a tick label shows it: short, without trailing zeros.
std::string TickText(double value);

} // namespace deepglass
