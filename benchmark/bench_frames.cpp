#include "bench_frames.h"

#include <cmath>
#include <cstddef>

namespace {

// The host's value where nothing was rendered.
constexpr float SCENE_BACKGROUND = -1e30f;

struct Sphere {
    float centreX, centreY, radius; // in units of the frame's height
    float distance;                 // of the centre from the camera
    std::uint8_t material;
    std::uint16_t object;
};

const Sphere SCENE_SPHERES[] = {
    {0.30f, 0.45f, 0.22f, 40.0f, 2, 201},
    {0.95f, 0.35f, 0.28f, 65.0f, 3, 202},
    {1.45f, 0.60f, 0.15f, 25.0f, 2, 203},
};

} // namespace

SceneFrame MakeSceneFrame(int width, int height)
{
    SceneFrame scene{std::make_unique<MemoryStorage>(static_cast<std::uint16_t>(width),
                                                     static_cast<std::uint16_t>(height)),
                     0.0};
    MemoryStorage& storage = *scene.storage;
    float* depth = storage.AddDepth();
    std::uint8_t* materials = storage.AddMaterialIds();
    std::uint16_t* objects = storage.AddObjectIds();
    BMM_Color_64* colour = storage.Pixels();
    const float size = static_cast<float>(height);
    const float horizon = 0.5f * size;
    std::size_t ground = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const float py = static_cast<float>(y) + 0.5f;
            float z = SCENE_BACKGROUND;
            std::uint8_t material = 0;
            std::uint16_t object = 0;
            if (py > horizon) { // the ground recedes towards the horizon
                z = -2.0f * size / (py - horizon);
                material = SCENE_GROUND_MATERIAL;
                object = SCENE_GROUND_OBJECT;
            }
            for (const Sphere& sphere : SCENE_SPHERES) {
                const float dx = (static_cast<float>(x) + 0.5f) / size - sphere.centreX;
                const float dy = py / size - sphere.centreY;
                const float inside = sphere.radius * sphere.radius - dx * dx - dy * dy;
                if (inside <= 0.0f) continue;
                const float surface = -(sphere.distance - 30.0f * std::sqrt(inside));
                if (material != 0 && surface < z) continue; // behind what is already there
                z = surface;
                material = sphere.material;
                object = sphere.object;
            }
            depth[i] = z;
            materials[i] = material;
            objects[i] = object;
            if (material == SCENE_GROUND_MATERIAL) ++ground;
            const auto shade = static_cast<std::uint16_t>((x * 37 + y * 11) & 0xFFFF);
            colour[i] = {shade, static_cast<std::uint16_t>(shade ^ 0x5555), 0x1234, 0xFFFF};
        }
    }
    const std::size_t count = storage.PixelCount();
    scene.groundShare = count > 0 ? static_cast<double>(ground) / static_cast<double>(count) : 0.0;
    return scene;
}
