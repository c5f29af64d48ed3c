// GTK 3, loaded at run time and only when a window is about to be shown.
//
// The program does not link against GTK: a silent run never pays for loading
// it, and a machine without it still makes backups. The headers give the
// types; every function comes from the library through the table below.
#pragma once

#include <gtk/gtk.h>

namespace platform::posix {

// clang-format off
#define QUILLFORT_GTK_FUNCTIONS(X)                                                               \
  X(gtk_disable_setlocale) X(gtk_init_check) X(gtk_events_pending) X(gtk_main_iteration)         \
  X(gtk_window_new) X(gtk_window_set_title) X(gtk_window_set_resizable) X(gtk_window_move)       \
  X(gtk_window_set_icon_list) X(gtk_window_set_type_hint) X(gtk_window_present)                  \
  X(gtk_window_list_toplevels) X(gtk_window_set_keep_above) X(gtk_window_set_transient_for)      \
  X(gtk_window_is_active) X(gtk_window_set_default_size)                                         \
  X(gtk_window_resize) X(gtk_fixed_new) X(gtk_fixed_put)                                         \
  X(gtk_label_new) X(gtk_label_set_xalign) X(gtk_label_set_yalign)                               \
  X(gtk_label_set_single_line_mode)                                                              \
  X(gtk_entry_new) X(gtk_entry_set_text) X(gtk_entry_get_text)                                   \
  X(gtk_entry_grab_focus_without_selecting) X(gtk_editable_set_position)                         \
  X(gtk_button_new_with_label) X(gtk_container_add) X(gtk_widget_set_size_request)               \
  X(gtk_widget_show_all) X(gtk_widget_destroy) X(gtk_widget_set_can_default)                     \
  X(gtk_widget_grab_default) X(gtk_widget_set_sensitive) X(gtk_widget_get_sensitive)             \
  X(gtk_widget_get_visible) X(gtk_widget_get_window) X(gtk_widget_get_style_context)             \
  X(gtk_widget_create_pango_layout) X(gtk_style_context_add_provider)                            \
  X(gtk_css_provider_new) X(gtk_css_provider_load_from_data)                                     \
  X(gtk_scrolled_window_new) X(gtk_scrolled_window_set_policy) X(gtk_text_view_new)              \
  X(gtk_text_view_set_editable) X(gtk_text_view_set_cursor_visible)                              \
  X(gtk_text_view_set_wrap_mode) X(gtk_text_view_set_monospace) X(gtk_text_view_get_buffer)      \
  X(gtk_text_view_scroll_to_mark) X(gtk_text_view_set_left_margin)                               \
  X(gtk_text_view_set_top_margin) X(gtk_text_buffer_get_end_iter)                                \
  X(gtk_text_buffer_get_iter_at_offset) X(gtk_text_buffer_get_char_count)                        \
  X(gtk_text_buffer_insert_with_tags) X(gtk_text_buffer_create_tag) X(gtk_text_buffer_delete)    \
  X(gtk_text_buffer_get_insert) X(gtk_text_buffer_place_cursor)                                  \
  X(gdk_display_get_default) X(gdk_display_get_primary_monitor) X(gdk_display_get_monitor)       \
  X(gdk_display_flush) X(gdk_monitor_get_geometry) X(gdk_window_get_state)                       \
  X(gdk_window_get_frame_extents) X(gdk_window_set_decorations) X(gdk_window_set_functions)      \
  X(gdk_keyval_to_unicode) X(gdk_pixbuf_loader_new) X(gtk_widget_realize)                        \
  X(gdk_pixbuf_loader_write) X(gdk_pixbuf_loader_close) X(gdk_pixbuf_loader_get_pixbuf)          \
  X(pango_layout_get_pixel_size) X(g_signal_connect_data) X(g_object_ref) X(g_object_unref)      \
  X(g_list_append) X(g_list_free)
// clang-format on

/// The GTK functions that the windows use, under their own names.
struct Gtk {
#define QUILLFORT_GTK_POINTER(name) decltype(&::name) name;
  QUILLFORT_GTK_FUNCTIONS(QUILLFORT_GTK_POINTER)
#undef QUILLFORT_GTK_POINTER
};

/// True when the environment names a display; cheap, loads nothing.
bool DisplayNamed();

/// GTK connected to the display, loaded and initialised on the first call;
/// null when no display is named, GTK 3 is missing or the display refuses
/// the connection. Later calls give the same answer.
const Gtk* LoadGtk();

/// The program's icon in both its sizes, for gtk_window_set_icon_list; null
/// when the images cannot be decoded. Kept for the life of the process.
GList* ProgramIconList(const Gtk& gtk);

/// Connects a signal handler with no data-destroy function.
template <typename Handler>
void Connect(const Gtk& gtk, gpointer instance, const char* signal, Handler handler,
             gpointer data) {
  gtk.g_signal_connect_data(instance, signal, reinterpret_cast<GCallback>(handler), data, nullptr,
                            GConnectFlags(0));
}

/// Gives the window the keyboard once it is on the screen; needed where no
/// window manager hands focus to new windows.
void FocusWhenShown(const Gtk& gtk, GtkWidget* window);

/// Runs what the window system has queued without waiting for more.
void DrainEvents(const Gtk& gtk);

}  // namespace platform::posix
