// The report console as a GTK window: coloured text on black, one line of input.
#include "platform/posix/report_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/posix/gtk_loader.h"
#include "platform/posix/native_text.h"
#include "platform/utf8.h"

namespace platform::posix {
namespace {

// The console's sixteen colours, indexed by the attribute's four bits
// (1 blue, 2 green, 4 red, 8 intensity).
constexpr const char* kPalette[16] = {
    "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#c0c0c0",
    "#808080", "#0000ff", "#00ff00", "#00ffff", "#ff0000", "#ff00ff", "#ffff00", "#ffffff",
};
constexpr unsigned kDefaultAttribute = 7;  // light grey on black, as a new console starts
constexpr int kColumns = 80;
constexpr int kRows = 25;
constexpr int kMargin = 4;

constexpr char kConsoleStyle[] =
    "textview, textview text { background-color: #000000; }"
    "textview text { color: #c0c0c0; caret-color: #c0c0c0; }";

struct ReportWindow {
  const Gtk* gtk = nullptr;
  GtkWidget* window = nullptr;
  GtkWidget* view = nullptr;
  GtkTextBuffer* buffer = nullptr;
  GtkTextTag* tags[256] = {};
  unsigned attribute = kDefaultAttribute;
  void (*onClose)() = nullptr;
  bool reading = false;
  bool lineDone = false;
  std::string typed;  // UTF-8, as echoed
  std::vector<guint> typedAhead;
};
ReportWindow* g_window = nullptr;

bool IsTerminal(int fd) { return isatty(fd) == 1; }

bool OutputIsFileOrPipe() {
  struct stat info {};
  if (fstat(STDOUT_FILENO, &info) != 0) return false;
  return S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
}

GtkTextTag* TagFor(ReportWindow& w, unsigned attribute) {
  attribute &= 0xFF;
  if (w.tags[attribute] == nullptr) {
    char name[8];
    std::snprintf(name, sizeof name, "a%u", attribute);
    w.tags[attribute] =
        w.gtk->gtk_text_buffer_create_tag(w.buffer, name, "foreground", kPalette[attribute & 15],
                                          "background", kPalette[(attribute >> 4) & 15], nullptr);
  }
  return w.tags[attribute];
}

void Append(ReportWindow& w, const std::string& utf8) {
  if (utf8.empty()) return;
  const Gtk& gtk = *w.gtk;
  GtkTextIter end;
  gtk.gtk_text_buffer_get_end_iter(w.buffer, &end);
  gtk.gtk_text_buffer_insert_with_tags(w.buffer, &end, utf8.data(), static_cast<gint>(utf8.size()),
                                       TagFor(w, w.attribute), nullptr);
  gtk.gtk_text_buffer_get_end_iter(w.buffer, &end);
  gtk.gtk_text_buffer_place_cursor(w.buffer, &end);
  gtk.gtk_text_view_scroll_to_mark(reinterpret_cast<GtkTextView*>(w.view),
                                   gtk.gtk_text_buffer_get_insert(w.buffer), 0.0, FALSE, 0.0, 0.0);
}

// Removes the last character of the typed line, on screen and in the line.
void EraseLastTyped(ReportWindow& w) {
  if (w.typed.empty()) return;
  std::size_t cut = w.typed.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(w.typed[cut]) & 0xC0) == 0x80) --cut;
  w.typed.resize(cut);
  const Gtk& gtk = *w.gtk;
  const gint count = gtk.gtk_text_buffer_get_char_count(w.buffer);
  GtkTextIter from, to;
  gtk.gtk_text_buffer_get_iter_at_offset(w.buffer, &from, count - 1);
  gtk.gtk_text_buffer_get_end_iter(w.buffer, &to);
  gtk.gtk_text_buffer_delete(w.buffer, &from, &to);
}

// Typing: echo in the current colours, Backspace takes back, Enter ends the
// line.
void TakeKey(ReportWindow& w, guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      Append(w, "\n");
      w.lineDone = true;
      return;
    case GDK_KEY_BackSpace:
      EraseLastTyped(w);
      return;
    default:
      break;
  }
  const gunichar c = w.gtk->gdk_keyval_to_unicode(keyval);
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return;
  std::string text;
  AppendUtf8(text, c);
  w.typed += text;
  Append(w, text);
}

// Keys typed before the read starts wait for it, as a console keeps them.
// Keys with Ctrl or Alt go on to the text view (select all, copy).
gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto& w = *static_cast<ReportWindow*>(data);
  if ((event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return FALSE;
  if (w.reading && !w.lineDone) {
    TakeKey(w, event->keyval);
  } else {
    w.typedAhead.push_back(event->keyval);
  }
  return TRUE;
}

// The window stays up: what follows the close event ends the process.
gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
  auto& w = *static_cast<ReportWindow*>(data);
  if (w.onClose != nullptr) w.onClose();
  return TRUE;
}

void SizeForConsole(ReportWindow& w) {
  const Gtk& gtk = *w.gtk;
  PangoLayout* sample = gtk.gtk_widget_create_pango_layout(w.view, "0123456789");
  int width = 0, height = 0;
  gtk.pango_layout_get_pixel_size(sample, &width, &height);
  gtk.g_object_unref(sample);
  if (width <= 0 || height <= 0) {
    width = 80;
    height = 16;
  }
  gtk.gtk_window_set_default_size(reinterpret_cast<GtkWindow*>(w.window),
                                  kColumns * width / 10 + 2 * kMargin + 16,
                                  kRows * height + 2 * kMargin);
}

}  // namespace

bool OpenReportWindowIfNoTerminal(void (*onClose)()) {
  if (g_window != nullptr) return true;
  if (IsTerminal(STDIN_FILENO) || IsTerminal(STDOUT_FILENO) || IsTerminal(STDERR_FILENO))
    return false;
  if (OutputIsFileOrPipe() || !DisplayNamed()) return false;
  const Gtk* gtk = LoadGtk();
  if (gtk == nullptr) return false;

  static ReportWindow w;
  w.gtk = gtk;
  w.onClose = onClose;
  w.window = gtk->gtk_window_new(GTK_WINDOW_TOPLEVEL);
  auto* window = reinterpret_cast<GtkWindow*>(w.window);
  gtk->gtk_window_set_title(window, "quillfort");
  if (GList* icons = ProgramIconList(*gtk)) gtk->gtk_window_set_icon_list(window, icons);

  GtkWidget* scroller = gtk->gtk_scrolled_window_new(nullptr, nullptr);
  gtk->gtk_scrolled_window_set_policy(reinterpret_cast<GtkScrolledWindow*>(scroller),
                                      GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  w.view = gtk->gtk_text_view_new();
  auto* view = reinterpret_cast<GtkTextView*>(w.view);
  gtk->gtk_text_view_set_editable(view, FALSE);
  gtk->gtk_text_view_set_cursor_visible(view, TRUE);
  gtk->gtk_text_view_set_monospace(view, TRUE);
  gtk->gtk_text_view_set_wrap_mode(view, GTK_WRAP_CHAR);
  gtk->gtk_text_view_set_left_margin(view, kMargin);
  gtk->gtk_text_view_set_top_margin(view, kMargin);
  w.buffer = gtk->gtk_text_view_get_buffer(view);

  GtkCssProvider* css = gtk->gtk_css_provider_new();
  gtk->gtk_css_provider_load_from_data(css, kConsoleStyle, -1, nullptr);
  gtk->gtk_style_context_add_provider(gtk->gtk_widget_get_style_context(w.view),
                                      reinterpret_cast<GtkStyleProvider*>(css),
                                      GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk->g_object_unref(css);

  gtk->gtk_container_add(reinterpret_cast<GtkContainer*>(scroller), w.view);
  gtk->gtk_container_add(reinterpret_cast<GtkContainer*>(w.window), scroller);
  SizeForConsole(w);
  Connect(*gtk, w.window, "key-press-event", OnKeyPress, &w);
  Connect(*gtk, w.window, "delete-event", OnDeleteEvent, &w);

  FocusWhenShown(*gtk, w.window);
  gtk->gtk_widget_show_all(w.window);
  gtk->gtk_window_present(window);
  DrainEvents(*gtk);
  g_window = &w;
  return true;
}

bool ReportWindowIsOpen() { return g_window != nullptr; }

void SetReportWindowTitle(const std::u16string& title) {
  if (g_window == nullptr) return;
  g_window->gtk->gtk_window_set_title(reinterpret_cast<GtkWindow*>(g_window->window),
                                      DisplayUtf8(title).c_str());
  DrainEvents(*g_window->gtk);
}

void SetReportWindowAttribute(unsigned attribute) {
  if (g_window != nullptr) g_window->attribute = attribute & 0xFF;
}

void WriteReportWindow(const std::u16string& text) {
  if (g_window == nullptr) return;
  // Line ends arrive as CR LF; the window needs the LF alone.
  std::string utf8;
  for (char c : DisplayUtf8(text)) {
    if (c != '\r') utf8 += c;
  }
  Append(*g_window, utf8);
  DrainEvents(*g_window->gtk);
}

std::u16string ReadReportWindowLine() {
  if (g_window == nullptr) return std::u16string();
  ReportWindow& w = *g_window;
  w.typed.clear();
  w.lineDone = false;
  w.reading = true;
  DrainEvents(*w.gtk);
  std::size_t taken = 0;
  while (!w.lineDone && taken < w.typedAhead.size()) TakeKey(w, w.typedAhead[taken++]);
  w.typedAhead.erase(w.typedAhead.begin(), w.typedAhead.begin() + static_cast<long>(taken));
  while (!w.lineDone) w.gtk->gtk_main_iteration();
  w.reading = false;
  DrainEvents(*w.gtk);
  return TextFromUtf8(w.typed);
}

}  // namespace platform::posix
