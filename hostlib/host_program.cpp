// The stand-in host as a program: loads a plug-in module by path as the host application does,
// walks its classes, and puts each filter through one life: identity, record saved and restored,
// a generated frame rendered in every mode, destruction through its virtual destructor.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "deepglass_interface.h"
#include "image_filter.h"
#include "memory_storage.h"
#include "module_loader.h"

namespace {

constexpr int FRAME_WIDTH = 48;
constexpr int FRAME_HEIGHT = 24;

// A frame of two boxes over a floor: depth rising towards the top, the sky at -1e30, material
// IDs 1 and 2 and object IDs 10 and 20 on the boxes.
std::unique_ptr<MemoryStorage> GeneratedFrame()
{
    auto storage = std::make_unique<MemoryStorage>(FRAME_WIDTH, FRAME_HEIGHT);
    float* depth = storage->AddDepth();
    std::uint8_t* materials = storage->AddMaterialIds();
    std::uint16_t* objects = storage->AddObjectIds();
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const int i = y * FRAME_WIDTH + x;
            storage->Pixels()[i] = {40000, 30000, 20000, 65535};
            depth[i] = y < 8 ? HOST_BACKGROUND_DEPTH : -(5.0f + 2.0f * static_cast<float>(FRAME_HEIGHT - y));
            if (x >= 6 && x < 18 && y >= 10) {
                depth[i] = -12.0f, materials[i] = 1, objects[i] = 10;
            } else if (x >= 28 && x < 42 && y >= 6) {
                depth[i] = -30.0f, materials[i] = 2, objects[i] = 20;
            }
        }
    }
    return storage;
}

// One text line a frame row, from dark to light: ' ' black ... '@' white.
void PrintGreyFrame(MemoryStorage& storage)
{
    static const char shades[] = " .:-=+*#%@";
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        std::string line;
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const BMM_Color_64 pixel = storage.Pixels()[y * FRAME_WIDTH + x];
            line += pixel.r == pixel.g && pixel.g == pixel.b && pixel.b == pixel.a
                        ? shades[pixel.r * 9 / 65535]
                        : '~';
        }
        std::printf("    |%s|\n", line.c_str());
    }
}

void RunFilter(ImageFilter& filter, std::int32_t mode, std::int32_t id)
{
    unsigned char record[CONFIG_RECORD_SIZE];
    filter.SaveConfigure(record);
    WriteRecordWord(record, CONFIG_MODE_OFFSET, static_cast<std::uint32_t>(mode));
    WriteRecordWord(record, CONFIG_OBJECT_ID_OFFSET, static_cast<std::uint32_t>(id));
    WriteRecordWord(record, CONFIG_MATERIAL_ID_OFFSET, static_cast<std::uint32_t>(id));
    const bool accepted = filter.LoadConfigure(record) == 1;
    std::printf("  mode %d, ID %d: record %s, channels %u\n", mode, id, accepted ? "accepted" : "refused",
                filter.ChannelsRequired());
    auto storage = GeneratedFrame();
    Bitmap bitmap(storage.get());
    filter.SetSource(&bitmap);
    const int result = filter.Render(0);
    filter.SetSource(nullptr);
    std::printf("  Render answered %d after %zu host calls ('~' = colour kept)\n", result,
                storage->CallCount());
    PrintGreyFrame(*storage);
}

int RunClass(ClassDescriptor& descriptor)
{
    const ClassIdPair id = descriptor.ClassId();
    std::printf("class \"%s\", family 0x%X, id (0x%08X, 0x%08X), category \"%s\"\n", descriptor.ClassName(),
                descriptor.SuperClassId(), id.a, id.b, descriptor.Category());
    if (descriptor.SuperClassId() != FILTER_FAMILY) return 0;
    auto* filter = static_cast<ImageFilter*>(descriptor.Create(0));
    if (filter == nullptr) {
        std::fprintf(stderr, "stand-in-host: the descriptor made no filter\n");
        return 1;
    }
    std::printf("  filter \"%s\" by %s, %s; version word 0x%08X, flags %u, record of %u bytes\n",
                filter->ProductName(), filter->AuthorLine(), filter->RightsNotice(), filter->VersionWord(),
                filter->CapabilityFlags(), filter->EvaluateConfigure());
    RunFilter(*filter, MODE_WHOLE_IMAGE, -1);
    RunFilter(*filter, MODE_MATERIAL_ID, 2);
    RunFilter(*filter, MODE_OBJECT_ID, 10);
    delete filter;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(
            argc == 2 ? stdout : stderr,
            "usage: stand-in-host MODULE\n"
            "Loads a plug-in module as the host does and runs each of its filters on a generated frame.\n");
        return argc == 2 ? 0 : 2;
    }
    std::string error;
    auto module = LoadedModule::Load(argv[1], error);
    if (module == nullptr) {
        std::fprintf(stderr, "stand-in-host: %s\n", error.c_str());
        return 1;
    }
    std::printf("module \"%s\", library version %u, %d class(es)\n", module->LibDescription(),
                module->LibVersion(), module->LibNumberClasses());
    int status = 0;
    for (int index = 0; index < module->LibNumberClasses(); ++index) {
        ClassDescriptor* descriptor = module->LibClassDesc(index);
        if (descriptor != nullptr) status |= RunClass(*descriptor);
    }
    return status;
}
