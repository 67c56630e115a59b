#include "scene/sample_scene.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>

#include "frame/background.h"

namespace deepglass {

namespace {

struct Vec {
    double x, y, z;
    Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator*(double s) const { return {x * s, y * s, z * s}; }
    double Dot(const Vec& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec Unit() const { return *this * (1.0 / std::sqrt(Dot(*this))); }
};

struct Hit {
    double distance;
    Vec normal;
    Vec colour;
    std::uint32_t material;
    std::uint32_t object;
};

struct Sphere {
    Vec centre;
    double radius;
    Vec colour;
    std::uint32_t material, object;
};

struct Box {
    Vec low, high;
    Vec colour;
    std::uint32_t material, object;
};

constexpr double FLOOR_HALF_WIDTH = 8.0;
constexpr double FLOOR_NEAR = -1.0;
constexpr double FLOOR_FAR = -16.0;
constexpr double NO_HIT = 1e300;

const Sphere SPHERES[] = {{{-1.7, 0.9, -7.5}, 0.9, {0.80, 0.16, 0.10}, 2, 2},
                          {{0.9, 0.45, -5.2}, 0.45, {0.90, 0.60, 0.12}, 2, 4}};
const Box BOXES[] = {{{0.5, 0.0, -10.8}, {2.4, 1.7, -8.9}, {0.16, 0.32, 0.82}, 3, 3}};

void Nearest(std::optional<Hit>& best, double distance, const Vec& normal, const Vec& colour,
             std::uint32_t material, std::uint32_t object)
{
    if (distance > 1e-6 && (!best || distance < best->distance))
        best = Hit{distance, normal, colour, material, object};
}

std::optional<Hit> Trace(const Vec& origin, const Vec& direction)
{
    std::optional<Hit> best;
    if (direction.y < 0.0) {
        const double t = -origin.y / direction.y;
        const Vec p = origin + direction * t;
        if (std::fabs(p.x) <= FLOOR_HALF_WIDTH && p.z <= FLOOR_NEAR && p.z >= FLOOR_FAR) {
            const bool light =
                (static_cast<int>(std::floor(p.x)) + static_cast<int>(std::floor(p.z))) % 2 == 0;
            Nearest(best, t, {0, 1, 0}, light ? Vec{0.62, 0.60, 0.55} : Vec{0.30, 0.29, 0.27}, 1, 1);
        }
    }
    for (const Sphere& s : SPHERES) {
        const Vec offset = origin - s.centre;
        const double b = offset.Dot(direction);
        const double c = offset.Dot(offset) - s.radius * s.radius;
        const double disc = b * b - c;
        if (disc < 0.0) continue;
        const double t = -b - std::sqrt(disc);
        Nearest(best, t, (origin + direction * t - s.centre).Unit(), s.colour, s.material, s.object);
    }
    for (const Box& box : BOXES) {
        double enter = -NO_HIT, leave = NO_HIT;
        Vec normal{0, 0, 0};
        const double o[3] = {origin.x, origin.y, origin.z};
        const double d[3] = {direction.x, direction.y, direction.z};
        const double lo[3] = {box.low.x, box.low.y, box.low.z};
        const double hi[3] = {box.high.x, box.high.y, box.high.z};
        bool missed = false;
        for (int axis = 0; axis < 3 && !missed; ++axis) {
            if (d[axis] == 0.0) {
                missed = o[axis] < lo[axis] || o[axis] > hi[axis];
                continue;
            }
            double t0 = (lo[axis] - o[axis]) / d[axis], t1 = (hi[axis] - o[axis]) / d[axis];
            const double sign = t0 < t1 ? -1.0 : 1.0;
            if (t0 > t1) std::swap(t0, t1);
            if (t0 > enter) {
                enter = t0;
                normal = {axis == 0 ? sign : 0.0, axis == 1 ? sign : 0.0, axis == 2 ? sign : 0.0};
            }
            leave = std::min(leave, t1);
            missed = enter > leave;
        }
        if (!missed) Nearest(best, enter, normal, box.colour, box.material, box.object);
    }
    return best;
}

std::uint32_t FloatBits(double value) { return std::bit_cast<std::uint32_t>(static_cast<float>(value)); }

} // namespace

ExrFrame RenderSampleScene(int width, int height)
{
    ExrFrame frame;
    frame.dataWindow = {0, 0, width - 1, height - 1};
    frame.displayWindow = frame.dataWindow;
    const char* names[] = {"A", "B", "G", "R", "Z", "materialID", "objectID"};
    const SampleType types[] = {SampleType::HALF,  SampleType::HALF, SampleType::HALF, SampleType::HALF,
                                SampleType::FLOAT, SampleType::UINT, SampleType::UINT};
    for (int c = 0; c < 7; ++c)
        frame.channels.push_back({names[c], types[c], std::vector<std::uint32_t>(frame.PixelCount(), 0)});
    FrameChannel& alpha = frame.channels[0];
    FrameChannel& blue = frame.channels[1];
    FrameChannel& green = frame.channels[2];
    FrameChannel& red = frame.channels[3];
    FrameChannel& depth = frame.channels[4];
    FrameChannel& materials = frame.channels[5];
    FrameChannel& objects = frame.channels[6];

    const double pitch = 0.16; // radians, looking slightly down at the floor
    const Vec camera{0.0, 1.4, 0.0};
    const Vec forward{0.0, -std::sin(pitch), -std::cos(pitch)};
    const Vec up{0.0, std::cos(pitch), -std::sin(pitch)};
    const Vec right{1.0, 0.0, 0.0};
    const Vec light = Vec{-0.5, 1.0, 0.45}.Unit();
    const double halfHeight = std::tan(0.40);
    const double widthPerHeight = static_cast<double>(width) / height;

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const double u = ((x + 0.5) / width * 2.0 - 1.0) * halfHeight * widthPerHeight;
            const double v = (1.0 - (y + 0.5) / height * 2.0) * halfHeight;
            const Vec direction = (forward + right * u + up * v).Unit();
            const std::optional<Hit> hit = Trace(camera, direction);
            if (!hit) {
                depth.samples[i] = std::bit_cast<std::uint32_t>(HOST_BACKGROUND_DEPTH);
                continue;
            }
            const Vec point = camera + direction * hit->distance;
            const bool shadowed = Trace(point + hit->normal * 1e-4, light).has_value();
            const double shade = 0.22 + (shadowed ? 0.0 : 0.78 * std::max(0.0, hit->normal.Dot(light)));
            red.samples[i] = FloatBits(std::min(1.0, hit->colour.x * shade));
            green.samples[i] = FloatBits(std::min(1.0, hit->colour.y * shade));
            blue.samples[i] = FloatBits(std::min(1.0, hit->colour.z * shade));
            alpha.samples[i] = FloatBits(1.0);
            // The host's depth is the camera-space z of the surface, negative in front of the camera.
            depth.samples[i] = FloatBits(-(point - camera).Dot(forward));
            materials.samples[i] = hit->material;
            objects.samples[i] = hit->object;
        }
    }
    return frame;
}

} // namespace deepglass
