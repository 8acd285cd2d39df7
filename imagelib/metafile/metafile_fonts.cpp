#include "imagelib/metafile/metafile_fonts.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define KESTRIN_RELEASES_FONT_CACHES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRIN_RELEASES_FONT_CACHES 1
#endif
#endif

namespace {

#ifdef KESTRIN_RELEASES_FONT_CACHES
// Runs after main has returned, when no canvas or font face is left: cairo
// first lets go of its font map, which holds fontconfig's patterns, then
// fontconfig frees its configuration and caches.
void ReleaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}
#endif

}  // namespace

void ReleaseFontCachesAtExit() {
#ifdef KESTRIN_RELEASES_FONT_CACHES
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(ReleaseFontCaches); });
#endif
}
