#include "chart/chart_canvas.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/tool_error.h"
#include "output/atomic_output.h"

namespace deepglass {

namespace {

constexpr double MARGIN_LEFT = 100;
constexpr double MARGIN_RIGHT = 30;
constexpr double MARGIN_TOP = 75;
constexpr double AXIS_SPACE = 70; // below the plot: tick labels and the x axis label
constexpr double LEGEND_ROW = 24;
constexpr double TICK_LENGTH = 6;
constexpr int TICKS_WANTED = 6;

double NiceStep(double span)
{
    const double raw = span / TICKS_WANTED;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power) return factor * power;
    return 10.0 * power;
}

void Text(cairo_t* context, const std::string& text, double x, double y, double alignX, double alignY)
{
    cairo_text_extents_t extents;
    cairo_text_extents(context, text.c_str(), &extents);
    cairo_move_to(context, x - extents.width * alignX - extents.x_bearing,
                  y - extents.height * alignY - extents.y_bearing);
    cairo_show_text(context, text.c_str());
}

} // namespace

AxisRange NiceRange(double low, double high, bool whole)
{
    if (!(high > low)) {
        const double pad = std::abs(low) > 0 ? std::abs(low) * 0.1 : 1.0;
        low -= pad;
        high += pad;
    }
    const double step = whole ? std::max(1.0, NiceStep(high - low)) : NiceStep(high - low);
    return {std::floor(low / step) * step, std::ceil(high / step) * step, whole};
}

std::string TickText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::abs(value) < 1e-12 ? 0.0 : value);
    return text;
}

ChartCanvas::ChartCanvas(int width, int plotHeight, std::size_t legendEntries)
    : legendRows((legendEntries + 1) / 2), marginBottom(AXIS_SPACE + LEGEND_ROW * legendRows + 10),
      surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width,
                                         static_cast<int>(MARGIN_TOP + plotHeight + marginBottom))),
      context(cairo_create(surface)), width(width),
      height(static_cast<int>(MARGIN_TOP + plotHeight + marginBottom))
{
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_paint(context);
    cairo_select_font_face(context, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

ChartCanvas::~ChartCanvas()
{
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    // cairo and fontconfig keep their font caches for the life of the process. One chart is drawn
    // at a time, so they are given back here: a leak checker then sees a clean exit.
    cairo_debug_reset_static_data();
    FcFini();
}

double ChartCanvas::X(double value) const
{
    const double plot = width - MARGIN_LEFT - MARGIN_RIGHT;
    return MARGIN_LEFT + (value - xRange.low) / (xRange.high - xRange.low) * plot;
}

double ChartCanvas::Y(double value) const
{
    const double plot = height - MARGIN_TOP - marginBottom;
    return height - marginBottom - (value - yRange.low) / (yRange.high - yRange.low) * plot;
}

void ChartCanvas::Frame(const std::string& title, const std::string& subtitle, const std::string& xLabel,
                        const std::string& yLabel, AxisRange x, AxisRange y)
{
    xRange = x;
    yRange = y;
    cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
    cairo_set_font_size(context, 20);
    Text(context, title, width / 2.0, 24, 0.5, 0.5);
    cairo_set_font_size(context, 14);
    cairo_set_source_rgb(context, 0.35, 0.35, 0.35);
    Text(context, subtitle, width / 2.0, 50, 0.5, 0.5);
    cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
    cairo_set_font_size(context, 15);
    Text(context, xLabel, MARGIN_LEFT + (width - MARGIN_LEFT - MARGIN_RIGHT) / 2,
         height - marginBottom + AXIS_SPACE - 14, 0.5, 0.5);
    cairo_save(context);
    cairo_translate(context, 22, MARGIN_TOP + (height - MARGIN_TOP - marginBottom) / 2);
    cairo_rotate(context, -std::numbers::pi / 2);
    Text(context, yLabel, 0, 0, 0.5, 0.5);
    cairo_restore(context);
    cairo_set_line_width(context, 1.5);
    cairo_rectangle(context, MARGIN_LEFT, MARGIN_TOP, width - MARGIN_LEFT - MARGIN_RIGHT,
                    height - MARGIN_TOP - marginBottom);
    cairo_stroke(context);
    cairo_set_font_size(context, 13);
    Ticks(x, true);
    Ticks(y, false);
}

void ChartCanvas::Ticks(AxisRange range, bool horizontal)
{
    const double step =
        range.whole ? std::max(1.0, NiceStep(range.high - range.low)) : NiceStep(range.high - range.low);
    for (double value = std::ceil(range.low / step - 1e-9) * step; value <= range.high + step * 1e-9;
         value += step) {
        cairo_set_source_rgb(context, 0.88, 0.88, 0.88);
        cairo_set_line_width(context, 1);
        if (horizontal) {
            cairo_move_to(context, X(value), MARGIN_TOP);
            cairo_line_to(context, X(value), height - marginBottom);
        } else {
            cairo_move_to(context, MARGIN_LEFT, Y(value));
            cairo_line_to(context, width - MARGIN_RIGHT, Y(value));
        }
        cairo_stroke(context);
        cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
        if (horizontal) {
            cairo_move_to(context, X(value), height - marginBottom);
            cairo_rel_line_to(context, 0, TICK_LENGTH);
            cairo_stroke(context);
            Text(context, TickText(value), X(value), height - marginBottom + TICK_LENGTH + 4, 0.5, 0.0);
        } else {
            cairo_move_to(context, MARGIN_LEFT, Y(value));
            cairo_rel_line_to(context, -TICK_LENGTH, 0);
            cairo_stroke(context);
            Text(context, TickText(value), MARGIN_LEFT - TICK_LENGTH - 4, Y(value), 1.0, 0.5);
        }
    }
}

void ChartCanvas::ClipToPlot(bool clip)
{
    cairo_reset_clip(context);
    if (!clip) return;
    cairo_rectangle(context, MARGIN_LEFT, MARGIN_TOP, width - MARGIN_LEFT - MARGIN_RIGHT,
                    height - MARGIN_TOP - marginBottom);
    cairo_clip(context);
}

void ChartCanvas::Legend(const std::vector<LegendEntry>& entries)
{
    cairo_reset_clip(context);
    cairo_set_font_size(context, 14);
    const double column = (width - MARGIN_LEFT - MARGIN_RIGHT) / 2.0;
    for (std::size_t i = 0; i < entries.size() && i < 2 * legendRows; ++i) {
        const double left = MARGIN_LEFT + column * static_cast<double>(i % 2);
        const double y = height - marginBottom + AXIS_SPACE + LEGEND_ROW * static_cast<double>(i / 2) + 8;
        cairo_set_source_rgb(context, entries[i].red, entries[i].green, entries[i].blue);
        if (entries[i].filled) {
            cairo_rectangle(context, left, y - 6, 24, 12);
            cairo_fill(context);
        } else {
            cairo_set_line_width(context, 2.5);
            cairo_move_to(context, left, y);
            cairo_line_to(context, left + 24, y);
            cairo_stroke(context);
        }
        cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
        Text(context, entries[i].text, left + 32, y, 0.0, 0.5);
    }
}

void ChartCanvas::Save(const std::string& path)
{
    cairo_surface_flush(surface);
    AtomicOutput(path).Write([&](const std::string& temp) {
        const cairo_status_t status = cairo_surface_write_to_png(surface, temp.c_str());
        if (status != CAIRO_STATUS_SUCCESS)
            throw ToolError("cannot write " + temp + ": " + cairo_status_to_string(status));
    });
}

} // namespace deepglass
