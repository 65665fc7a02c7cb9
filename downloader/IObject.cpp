#include "downloader/IObject.h"

namespace downloader::details {

namespace {
std::atomic<long> g_liveObjects{0};
}

long LiveObjectCount() noexcept { return g_liveObjects.load(); }
void CountObject(int delta) noexcept { g_liveObjects.fetch_add(delta); }

}  // namespace downloader::details
