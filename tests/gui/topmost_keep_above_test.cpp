// "Topmost" asks the window manager to keep the dialog above other windows,
// when the dialog opens with a stored Topmost and when the box is clicked:
// the request is the _NET_WM_STATE message (or, before the window is shown,
// the property) for the dialog's own X window.  The display of the tests has
// no window manager; the requests are watched as they go to the root window.
#include "dialog_fixture.h"

#include <gdk/gdkx.h>

namespace {

// Requests to add or remove "above" seen for any window, by X window id.
struct AboveRequests {
  std::vector<std::pair<unsigned long, long>> seen;  // window, 1 add / 0 remove
};

GdkFilterReturn watch_state_messages(GdkXEvent *xevent, GdkEvent *, gpointer data) {
  const XEvent *e = static_cast<const XEvent *>(xevent);
  if (e->type != ClientMessage ||
      e->xclient.message_type != gdk_x11_get_xatom_by_name("_NET_WM_STATE"))
    return GDK_FILTER_CONTINUE;
  const Atom above = gdk_x11_get_xatom_by_name("_NET_WM_STATE_ABOVE");
  if (static_cast<Atom>(e->xclient.data.l[1]) == above ||
      static_cast<Atom>(e->xclient.data.l[2]) == above)
    static_cast<AboveRequests *>(data)->seen.push_back({e->xclient.window, e->xclient.data.l[0]});
  return GDK_FILTER_CONTINUE;
}

class Topmost : public PluginDialogTest {
 protected:
  void SetUp() override {
    GdkWindow *root = gdk_get_default_root_window();
    gdk_window_set_events(root, GdkEventMask(gdk_window_get_events(root) | GDK_SUBSTRUCTURE_MASK));
    gdk_window_add_filter(nullptr, watch_state_messages, &requests);
  }
  void TearDown() override {
    gdk_window_remove_filter(nullptr, watch_state_messages, &requests);
    PluginDialogTest::TearDown();
  }

  // The dialog's last word on "above": 1 asked for, 0 asked to drop, -1 none.
  // A request made before the window was shown stands in its state property.
  int above_asked() {
    for (int i = 0; i < 50; ++i) {
      gdk_display_sync(gdk_display_get_default());
      pump_gtk_events();
      g_usleep(2000);
    }
    GdkWindow *window = gtk_widget_get_window(dialog);
    if (window == nullptr) return -1;
    const unsigned long xid = GDK_WINDOW_XID(window);
    int last = -1;
    for (const auto &r : requests.seen)
      if (r.first == xid) last = r.second == 1 ? 1 : 0;
    if (last >= 0) return last;
    GdkAtom type;
    gint format = 0, length = 0;
    guchar *data = nullptr;
    if (gdk_property_get(window, gdk_atom_intern("_NET_WM_STATE", FALSE),
                         gdk_atom_intern("ATOM", FALSE), 0, 64, FALSE, &type, &format, &length,
                         &data) &&
        data) {
      const Atom above = gdk_x11_get_xatom_by_name("_NET_WM_STATE_ABOVE");
      const auto *atoms = reinterpret_cast<const unsigned long *>(data);
      for (gint i = 0; i < length / gint(sizeof(unsigned long)); ++i)
        if (atoms[i] == above) last = 1;
      g_free(data);
    }
    return last;
  }
  void forget() { requests.seen.clear(); }

  AboveRequests requests;
};

}  // namespace

TEST_F(Topmost, AStoredTopmostKeepsTheDialogAbove) {
  build(FixedImage{}, [](EffectParams *p) { p->topmost = 1; });
  EXPECT_EQ(above_asked(), 1);
}

TEST_F(Topmost, WithoutTopmostNothingKeepsTheDialogAbove) {
  build(FixedImage{}, [](EffectParams *p) { p->topmost = 0; });
  EXPECT_NE(above_asked(), 1);
}

TEST_F(Topmost, TheCheckButtonAsksAndDropsAbove) {
  build();
  ASSERT_NE(above_asked(), 1);
  forget();
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.topmost_check));
  EXPECT_EQ(above_asked(), 1);
  forget();
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.topmost_check));
  EXPECT_EQ(above_asked(), 0);
}
