#include "imagelib/decoders/heif_library.h"

#include <dlfcn.h>

namespace {

// The name libheif 1.x is installed under; the functions used here are in
// every 1.x release from 1.15 on.
constexpr const char kLibheifName[] = "libheif.so.1";

const HeifLibrary* Load() {
    void* handle = ::dlopen(kLibheifName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static HeifLibrary library;
    bool complete = true;
#define KESTRIN_HEIF_FIND(name)                                                              \
    library.name = reinterpret_cast<decltype(library.name)>(::dlsym(handle, "heif_" #name)); \
    complete = complete && library.name != nullptr;
    KESTRIN_HEIF_FUNCTIONS(KESTRIN_HEIF_FIND)
#undef KESTRIN_HEIF_FIND
    // The handle stays open: the functions are used until the process ends.
    return complete ? &library : nullptr;
}

}  // namespace

const HeifLibrary* LoadHeifLibrary() {
    static const HeifLibrary* const library = Load();
    return library;
}

const HeifLibrary& Heif() {
    return *LoadHeifLibrary();
}
