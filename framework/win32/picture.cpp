#include "framework/win32/picture.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// One source pixel's share of a target pixel along one axis.
struct Share {
    int source;
    double weight;
};

// For each of the target's pixels along an axis, the source pixels it covers and by how
// much, the weights adding up to 1.
std::vector<std::vector<Share>> shares(int sourceLength, int targetLength)
{
    std::vector<std::vector<Share>> out(static_cast<std::size_t>(targetLength));
    const double step = static_cast<double>(sourceLength) / targetLength;
    for (int t = 0; t < targetLength; ++t) {
        const double begin = t * step, end = (t + 1) * step;
        for (int s = static_cast<int>(begin); s < sourceLength && s < end; ++s) {
            const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
            if (covered > 0)
                out[static_cast<std::size_t>(t)].push_back({s, covered / step});
        }
    }
    return out;
}

}  // namespace

OwnedBitmap LoadScaledBitmap(HINSTANCE instance, int id, int width, int height)
{
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* data = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    if (!data || size < sizeof(BITMAPINFOHEADER) || width <= 0 || height <= 0)
        return OwnedBitmap();
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    const int sourceWidth = header.biWidth, sourceHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const std::size_t sourceStride = ((static_cast<std::size_t>(sourceWidth) * 24 + 31) / 32) * 4;
    if (header.biBitCount != 24 || header.biCompression != BI_RGB || sourceWidth <= 0 || sourceHeight <= 0 ||
        size < header.biSize + sourceStride * static_cast<std::size_t>(sourceHeight))
        return OwnedBitmap();
    const std::uint8_t* pixels = data + header.biSize;
    const bool bottomUp = header.biHeight > 0;
    auto sourceRow = [&](int y) {
        return pixels + sourceStride * static_cast<std::size_t>(bottomUp ? sourceHeight - 1 - y : y);
    };

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    OwnedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits)
        return OwnedBitmap();
    const std::size_t stride = ((static_cast<std::size_t>(width) * 24 + 31) / 32) * 4;
    const auto across = shares(sourceWidth, width), down = shares(sourceHeight, height);
    for (int y = 0; y < height; ++y) {
        auto* target = static_cast<std::uint8_t*>(bits) + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Share& row : down[static_cast<std::size_t>(y)]) {
                const std::uint8_t* line = sourceRow(row.source);
                for (const Share& column : across[static_cast<std::size_t>(x)]) {
                    const double weight = row.weight * column.weight;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += weight * line[3 * column.source + c];
                }
            }
            for (int c = 0; c < 3; ++c)
                target[3 * x + c] = static_cast<std::uint8_t>(std::min(255.0, sum[c] + 0.5));
        }
    }
    return bitmap;
}
