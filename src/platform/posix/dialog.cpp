// The text-input dialog on POSIX: a GTK window, else a prompt on the terminal.
#include "platform/dialog.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "platform/dialog_layout.h"
#include "platform/posix/gtk_loader.h"
#include "platform/posix/native_text.h"
#include "platform/posix/terminal_prompt.h"

namespace platform {
namespace {

using posix::Gtk;

using namespace dialog_layout;

// Themes give entries and buttons a minimum height above the sizes the
// layout asks for; only that floor is lifted, the rest of the look stays.
constexpr char kCompactControls[] =
    "entry, button { min-height: 0; padding-top: 0; padding-bottom: 0; }";

// Another window of the process, made insensitive while the dialog is open.
struct SuspendedWindow {
  GtkWindow* window;
  bool wasKeptAbove;
  bool disabledByDialog;
};

struct Dialog {
  const Gtk* gtk = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* content = nullptr;
  GtkWidget* field = nullptr;
  bool closing = false;
  bool finished = false;
  bool confirmed = false;
  std::string text;
  std::vector<SuspendedWindow> suspended;
};

void SuspendWindows(Dialog& d) {
  const Gtk& gtk = *d.gtk;
  GList* toplevels = gtk.gtk_window_list_toplevels();
  for (GList* item = toplevels; item != nullptr; item = item->next) {
    auto* window = static_cast<GtkWindow*>(item->data);
    auto* widget = reinterpret_cast<GtkWidget*>(window);
    if (!gtk.gtk_widget_get_visible(widget)) continue;
    SuspendedWindow record{window, false, false};
    if (GdkWindow* native = gtk.gtk_widget_get_window(widget))
      record.wasKeptAbove = (gtk.gdk_window_get_state(native) & GDK_WINDOW_STATE_ABOVE) != 0;
    if (gtk.gtk_widget_get_sensitive(widget)) {
      gtk.gtk_widget_set_sensitive(widget, FALSE);
      record.disabledByDialog = true;
    }
    (gtk.g_object_ref)(window);
    d.suspended.push_back(record);
  }
  gtk.g_list_free(toplevels);
  for (const SuspendedWindow& record : d.suspended) {
    if (record.wasKeptAbove) gtk.gtk_window_set_keep_above(record.window, FALSE);
  }
}

void ResumeWindows(Dialog& d) {
  const Gtk& gtk = *d.gtk;
  for (const SuspendedWindow& record : d.suspended) {
    if (record.disabledByDialog)
      gtk.gtk_widget_set_sensitive(reinterpret_cast<GtkWidget*>(record.window), TRUE);
    if (record.wasKeptAbove) gtk.gtk_window_set_keep_above(record.window, TRUE);
    gtk.g_object_unref(record.window);
  }
  d.suspended.clear();
}

GtkWindow* ActiveWindowOfProcess(const Gtk& gtk) {
  GtkWindow* active = nullptr;
  GList* toplevels = gtk.gtk_window_list_toplevels();
  for (GList* item = toplevels; item != nullptr; item = item->next) {
    auto* window = static_cast<GtkWindow*>(item->data);
    if (gtk.gtk_window_is_active(window)) active = window;
  }
  gtk.g_list_free(toplevels);
  return active;
}

// OK and Enter keep the field's text; every other way out leaves it.
void Close(Dialog& d, bool confirmed) {
  if (d.closing) return;
  d.closing = true;
  if (confirmed) {
    d.text = d.gtk->gtk_entry_get_text(reinterpret_cast<GtkEntry*>(d.field));
    d.confirmed = true;
  }
  ResumeWindows(d);
  d.gtk->gtk_widget_destroy(d.window);
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto& d = *static_cast<Dialog*>(data);
  if ((event->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      Close(d, true);
      return TRUE;
    case GDK_KEY_Escape:
      Close(d, false);
      return TRUE;
    default:
      return FALSE;
  }
}

void OnOkClicked(GtkButton*, gpointer data) { Close(*static_cast<Dialog*>(data), true); }

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
  Close(*static_cast<Dialog*>(data), false);
  return TRUE;
}

// Also reached when something outside destroys the window.
void OnDestroy(GtkWidget*, gpointer data) {
  auto& d = *static_cast<Dialog*>(data);
  if (!d.closing) {
    d.closing = true;
    ResumeWindows(d);
  }
  d.finished = true;
}

// A window manager adds its frame around the window; the frame counts in the
// outer size, so the inside gives way by as much.
gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
  auto& d = *static_cast<Dialog*>(data);
  GdkRectangle frame{};
  d.gtk->gdk_window_get_frame_extents(event->window, &frame);
  const int insideWidth = kWidth - (frame.width - event->width);
  const int insideHeight = kHeight - (frame.height - event->height);
  if (frame.width > event->width || frame.height > event->height) {
    if (insideWidth != event->width || insideHeight != event->height) {
      d.gtk->gtk_widget_set_size_request(d.content, insideWidth, insideHeight);
      d.gtk->gtk_window_resize(reinterpret_cast<GtkWindow*>(d.window), insideWidth, insideHeight);
    }
  }
  return FALSE;
}

// The prompt does not scroll under the mouse wheel; it is a plain label.
gboolean KeepStill(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

GdkRectangle PrimaryScreen(const Gtk& gtk) {
  GdkRectangle area{0, 0, 0, 0};
  GdkDisplay* display = gtk.gdk_display_get_default();
  GdkMonitor* monitor = gtk.gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gtk.gdk_display_get_monitor(display, 0);
  if (monitor != nullptr) gtk.gdk_monitor_get_geometry(monitor, &area);
  return area;
}

void Place(const Gtk& gtk, GtkWidget* parent, GtkWidget* child, const Box& box) {
  gtk.gtk_widget_set_size_request(child, box.width, box.height);
  gtk.gtk_fixed_put(reinterpret_cast<GtkFixed*>(parent), child, box.x, box.y);
}

void UseCompactStyle(const Gtk& gtk, GtkCssProvider* css, GtkWidget* widget) {
  gtk.gtk_style_context_add_provider(gtk.gtk_widget_get_style_context(widget),
                                     reinterpret_cast<GtkStyleProvider*>(css),
                                     GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

bool ShowGtkDialog(const Gtk& gtk, const std::u16string& title, const std::u16string& prompt,
                   const std::u16string& defaultText, std::u16string& result) {
  Dialog d;
  d.gtk = &gtk;
  GtkWindow* owner = ActiveWindowOfProcess(gtk);
  SuspendWindows(d);

  d.window = gtk.gtk_window_new(GTK_WINDOW_TOPLEVEL);
  auto* window = reinterpret_cast<GtkWindow*>(d.window);
  gtk.gtk_window_set_title(window, posix::DisplayUtf8(title).c_str());
  gtk.gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk.gtk_window_set_resizable(window, FALSE);
  if (owner != nullptr) gtk.gtk_window_set_transient_for(window, owner);
  if (GList* icons = posix::ProgramIconList(gtk)) gtk.gtk_window_set_icon_list(window, icons);
  const GdkRectangle screen = PrimaryScreen(gtk);
  gtk.gtk_window_move(window, screen.x + screen.width / 2 - kWidth / 2,
                      screen.y + screen.height / 2 - kHeight / 2);

  d.content = gtk.gtk_fixed_new();
  gtk.gtk_widget_set_size_request(d.content, kWidth, kHeight);
  gtk.gtk_container_add(reinterpret_cast<GtkContainer*>(d.window), d.content);

  GtkCssProvider* css = gtk.gtk_css_provider_new();
  gtk.gtk_css_provider_load_from_data(css, kCompactControls, -1, nullptr);

  // The prompt sits in a viewport of the control's size, which clips it at
  // its edge; a label alone would widen the window to its whole text.
  GtkWidget* promptArea = gtk.gtk_scrolled_window_new(nullptr, nullptr);
  gtk.gtk_scrolled_window_set_policy(reinterpret_cast<GtkScrolledWindow*>(promptArea),
                                     GTK_POLICY_EXTERNAL, GTK_POLICY_NEVER);
  posix::Connect(gtk, promptArea, "scroll-event", KeepStill, nullptr);
  GtkWidget* promptLabel = gtk.gtk_label_new(posix::DisplayUtf8(prompt).c_str());
  gtk.gtk_label_set_single_line_mode(reinterpret_cast<GtkLabel*>(promptLabel), TRUE);
  gtk.gtk_label_set_xalign(reinterpret_cast<GtkLabel*>(promptLabel), 0.0f);
  gtk.gtk_label_set_yalign(reinterpret_cast<GtkLabel*>(promptLabel), 0.0f);
  gtk.gtk_container_add(reinterpret_cast<GtkContainer*>(promptArea), promptLabel);
  Place(gtk, d.content, promptArea, kPrompt);

  d.field = gtk.gtk_entry_new();
  UseCompactStyle(gtk, css, d.field);
  Place(gtk, d.content, d.field, kField);
  auto* field = reinterpret_cast<GtkEntry*>(d.field);
  gtk.gtk_entry_set_text(field, posix::DisplayUtf8(defaultText).c_str());
  // Focus without selecting, then the caret after the last character.
  gtk.gtk_entry_grab_focus_without_selecting(field);
  gtk.gtk_editable_set_position(reinterpret_cast<GtkEditable*>(d.field), -1);

  GtkWidget* ok = gtk.gtk_button_new_with_label("OK");
  UseCompactStyle(gtk, css, ok);
  Place(gtk, d.content, ok, kOkButton);
  gtk.gtk_widget_set_can_default(ok, TRUE);
  gtk.gtk_widget_grab_default(ok);
  gtk.g_object_unref(css);

  posix::Connect(gtk, d.window, "key-press-event", OnKeyPress, &d);
  posix::Connect(gtk, d.window, "delete-event", OnDeleteEvent, &d);
  posix::Connect(gtk, d.window, "destroy", OnDestroy, &d);
  posix::Connect(gtk, d.window, "configure-event", OnConfigure, &d);
  posix::Connect(gtk, ok, "clicked", OnOkClicked, &d);

  // A title bar with a close box and nothing else: no minimise or maximise
  // box, no sizing border, for window managers that take the hint.
  gtk.gtk_widget_realize(d.window);
  if (GdkWindow* native = gtk.gtk_widget_get_window(d.window)) {
    gtk.gdk_window_set_decorations(
        native, GdkWMDecoration(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
    gtk.gdk_window_set_functions(native, GdkWMFunction(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
  }
  posix::FocusWhenShown(gtk, d.window);
  gtk.gtk_widget_show_all(d.window);
  gtk.gtk_window_present(window);
  while (!d.finished) gtk.gtk_main_iteration();
  // The window is gone from the screen before the run goes on.
  posix::DrainEvents(gtk);
  gtk.gdk_display_flush(gtk.gdk_display_get_default());

  if (d.confirmed) result = posix::TextFromUtf8(d.text);
  return d.confirmed;
}

}  // namespace

void PrepareDialogServices() {
  // GTK is loaded when a dialog is shown, so that silent runs never load it.
}

bool ShowTextDialog(const std::u16string& title, const std::u16string& prompt,
                    const std::u16string& defaultText, std::u16string& result) {
  result.clear();
  if (const posix::Gtk* gtk = posix::LoadGtk())
    return ShowGtkDialog(*gtk, title, prompt, defaultText, result);
  if (isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1)
    return posix::AskOnTerminal(title, prompt, defaultText, result);
  return false;
}

}  // namespace platform
