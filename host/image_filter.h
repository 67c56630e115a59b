// The host's image-filter base class (flt). The host calls a filter's operations by their position
// in the v-table, so the order of the virtual operations below is part of the interface: adding,
// removing or moving one breaks every host and every built filter.
#pragma once

#include <cstdint>

#include "bitmap.h"
#include "host_api.h"
#include "platform_types.h"

class Interface; // the host application's own interface; opaque to filters

// What the host tells a filter about the frame being processed; host-defined.
struct ImageFilterInfo {
    std::uint32_t frame = 0;
    std::uint32_t flags = 0;
};

class HOST_FLT_API ImageFilter {
public:
    ImageFilter();
    virtual ~ImageFilter();
    ImageFilter(const ImageFilter&) = delete;
    ImageFilter& operator=(const ImageFilter&) = delete;

    virtual const char* ProductName() = 0;
    virtual const char* AuthorLine() = 0;
    virtual const char* RightsNotice() = 0;
    virtual std::uint32_t VersionWord() = 0;
    virtual std::uint32_t CapabilityFlags() = 0;
    virtual INT_PTR DisplayAbout(HWND parent) = 0;
    virtual int ShowControl(HWND parent) = 0;
    virtual void SetSource(Bitmap* bitmap);
    virtual void SetForeground(Bitmap* bitmap);
    virtual void SetMask(Bitmap* bitmap);
    virtual void SetFilterInfo(ImageFilterInfo* info);
    virtual int Render(std::uint32_t hostValue) = 0;
    virtual Interface* HostInterface();
    virtual int Lerp(int a, int b, float t);
    virtual int Lerp(int a, int b, int t);
    virtual std::uint32_t EvaluateConfigure() = 0;
    virtual int LoadConfigure(void* record) = 0;
    virtual int SaveConfigure(void* buffer) = 0;
    virtual int CreatePreview(HWND window, Bitmap** preview, int x, int y, int frame, float zoom,
                              Bitmap** original, std::uint32_t flags);
    virtual std::uint32_t ChannelsRequired() = 0;

protected:
    // The bitmaps and frame information that the host has handed over; null until it has.
    Bitmap* sourceBitmap = nullptr;
    Bitmap* foregroundBitmap = nullptr;
    Bitmap* maskBitmap = nullptr;
    ImageFilterInfo* filterInfo = nullptr;
};
