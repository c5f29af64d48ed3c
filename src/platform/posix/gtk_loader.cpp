// Loads GTK 3 on first use and keeps it for the life of the process.
#include "platform/posix/gtk_loader.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>

#include "platform/posix/program_icon.h"

namespace platform::posix {
namespace {

bool Named(const char* variable) {
  const char* value = getenv(variable);
  return value != nullptr && value[0] != '\0';
}

bool Resolve(void* library, Gtk& gtk) {
  bool complete = true;
#define QUILLFORT_GTK_RESOLVE(name)                                       \
  gtk.name = reinterpret_cast<decltype(gtk.name)>(dlsym(library, #name)); \
  complete = complete && gtk.name != nullptr;
  QUILLFORT_GTK_FUNCTIONS(QUILLFORT_GTK_RESOLVE)
#undef QUILLFORT_GTK_RESOLVE
  return complete;
}

const Gtk* Load() {
  if (!DisplayNamed()) return nullptr;
  // GTK starts helper threads while it loads and connects. Born with every
  // signal blocked, they leave the console's events to the thread that waits
  // for them, as the console's handler expects.
  sigset_t all, saved;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &saved);
  static Gtk gtk;
  const Gtk* result = nullptr;
  // Never closed: GTK cannot be unloaded once it has run.
  void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library != nullptr && Resolve(library, gtk)) {
    // The process keeps its own locale; GTK would take the user's for all of it.
    gtk.gtk_disable_setlocale();
    if (gtk.gtk_init_check(nullptr, nullptr)) result = &gtk;
  }
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return result;
}

GdkPixbuf* DecodePng(const Gtk& gtk, const EmbeddedImage& image) {
  GdkPixbufLoader* loader = gtk.gdk_pixbuf_loader_new();
  GdkPixbuf* pixbuf = nullptr;
  const bool written = gtk.gdk_pixbuf_loader_write(loader, image.bytes, image.size, nullptr);
  if (gtk.gdk_pixbuf_loader_close(loader, nullptr) && written) {
    pixbuf = gtk.gdk_pixbuf_loader_get_pixbuf(loader);
    // Called through parentheses: GLib also defines g_object_ref as a macro.
    if (pixbuf != nullptr) (gtk.g_object_ref)(pixbuf);
  }
  gtk.g_object_unref(loader);
  return pixbuf;
}

gboolean PresentWhenMapped(GtkWidget* window, GdkEvent*, gpointer data) {
  static_cast<const Gtk*>(data)->gtk_window_present(reinterpret_cast<GtkWindow*>(window));
  return FALSE;
}

}  // namespace

bool DisplayNamed() { return Named("DISPLAY") || Named("WAYLAND_DISPLAY"); }

const Gtk* LoadGtk() {
  static const Gtk* const gtk = Load();
  return gtk;
}

GList* ProgramIconList(const Gtk& gtk) {
  static GList* const icons = [&gtk] {
    GList* list = nullptr;
    for (const EmbeddedImage& image : kProgramIconImages) {
      if (GdkPixbuf* pixbuf = DecodePng(gtk, image)) list = gtk.g_list_append(list, pixbuf);
    }
    return list;
  }();
  return icons;
}

void FocusWhenShown(const Gtk& gtk, GtkWidget* window) {
  Connect(gtk, window, "map-event", PresentWhenMapped, const_cast<Gtk*>(&gtk));
}

void DrainEvents(const Gtk& gtk) {
  while (gtk.gtk_events_pending()) gtk.gtk_main_iteration();
}

}  // namespace platform::posix
