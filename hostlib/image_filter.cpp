// The stand-in host's filter base class: it keeps what the host hands over and answers "nothing"
// where a real host would consult the application.
#include "image_filter.h"

ImageFilter::ImageFilter() = default;

ImageFilter::~ImageFilter() = default;

void ImageFilter::SetSource(Bitmap* bitmap) { sourceBitmap = bitmap; }

void ImageFilter::SetForeground(Bitmap* bitmap) { foregroundBitmap = bitmap; }

void ImageFilter::SetMask(Bitmap* bitmap) { maskBitmap = bitmap; }

void ImageFilter::SetFilterInfo(ImageFilterInfo* info) { filterInfo = info; }

Interface* ImageFilter::HostInterface() { return nullptr; }

int ImageFilter::Lerp(int a, int b, float t) { return a + static_cast<int>(static_cast<float>(b - a) * t); }

int ImageFilter::Lerp(int a, int b, int t)
{
    // t runs over 0..255, as a fixed-point fraction.
    return a + (b - a) * t / 255;
}

int ImageFilter::CreatePreview(HWND, Bitmap**, int, int, int, float, Bitmap**, std::uint32_t)
{
    return 0; // no preview window in the stand-in host
}
