#pragma once

#ifndef _WIN32

// Owners for what GLib and GIO hand over: every path, errors too, frees it.
// Include GLib's headers before any Qt header (see desktop_shell.cpp).

#include <glib-object.h>
#include <glib.h>

#include <memory>

struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using OwnedText = std::unique_ptr<gchar, GFreeDeleter>;

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectOwner = std::unique_ptr<T, GObjectDeleter>;

struct GStrvDeleter {
    void operator()(gchar** vector) const { g_strfreev(vector); }
};

struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using OwnedError = std::unique_ptr<GError, GErrorDeleter>;

#endif
