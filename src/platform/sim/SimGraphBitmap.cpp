#include "platform/sim/SimGraphBitmap.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace sim {
namespace {

std::mutex BitmapsLock;
std::condition_variable IconMade;
std::map<platform::BitmapHandle, GraphImage> Bitmaps;
platform::BitmapHandle NextBitmap = 0x40010;
std::vector<GraphIcon> Icons;

}  // namespace

std::vector<GraphIcon> GraphIcons() {
    std::lock_guard<std::mutex> lock(BitmapsLock);
    return Icons;
}

bool WaitForGraphIcons(size_t count) {
    std::unique_lock<std::mutex> lock(BitmapsLock);
    return IconMade.wait_for(lock, std::chrono::seconds(10), [count] { return Icons.size() >= count; });
}

unsigned LiveGraphBitmaps() {
    std::lock_guard<std::mutex> lock(BitmapsLock);
    return static_cast<unsigned>(Bitmaps.size());
}

void ResetGraphBitmaps() {
    std::lock_guard<std::mutex> lock(BitmapsLock);
    Bitmaps.clear();
    NextBitmap = 0x40010;
    Icons.clear();
}

}  // namespace sim

namespace platform {

BitmapHandle CreateGraphBitmap(int) {
    std::lock_guard<std::mutex> lock(sim::BitmapsLock);
    const BitmapHandle bitmap = sim::NextBitmap;
    sim::NextBitmap += 4;
    sim::Bitmaps[bitmap] = {};
    return bitmap;
}

bool PaintGraphBitmap(BitmapHandle bitmap, const GraphPixels& pixels) {
    std::lock_guard<std::mutex> lock(sim::BitmapsLock);
    const auto found = sim::Bitmaps.find(bitmap);
    if (found == sim::Bitmaps.end()) return false;
    for (int y = 0; y < GraphBitmapSize; ++y)
        for (int x = 0; x < GraphBitmapSize; ++x) found->second[y][x] = pixels[y][x];
    return true;
}

IconHandle CreateBitmapIcon(BitmapHandle bitmap) {
    sim::GraphImage pixels;
    {
        std::lock_guard<std::mutex> lock(sim::BitmapsLock);
        const auto found = sim::Bitmaps.find(bitmap);
        if (found == sim::Bitmaps.end()) return 0;
        pixels = found->second;
    }
    const IconHandle icon = CreateTextIcon({});  // a tray icon that shows no text
    std::lock_guard<std::mutex> lock(sim::BitmapsLock);
    sim::Icons.push_back({icon, pixels});
    sim::IconMade.notify_all();
    return icon;
}

bool DeleteGraphBitmap(BitmapHandle bitmap) {
    std::lock_guard<std::mutex> lock(sim::BitmapsLock);
    return sim::Bitmaps.erase(bitmap) == 1;
}

}  // namespace platform
