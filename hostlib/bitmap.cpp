#include "bitmap.h"

BitmapInfo::BitmapInfo(std::uint16_t width, std::uint16_t height) : width(width), height(height) {}

std::uint16_t BitmapInfo::Width() const { return width; }

std::uint16_t BitmapInfo::Height() const { return height; }

BitmapStorage::BitmapStorage(BitmapInfo info) : info(info) {}

BitmapStorage::~BitmapStorage() = default;

Bitmap::Bitmap(BitmapStorage* storage) : storage(storage) {}

int Bitmap::PutPixels(int x, int y, int count, BMM_Color_64* pixels)
{
    return storage != nullptr ? storage->WritePixels(x, y, count, pixels) : 0;
}
