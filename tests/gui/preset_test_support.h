// Shared pieces of the preset, unit and settings-text GUI tests: a real dialog
// on a record of a fixed image, and answers for the modal boxes.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "effect_params.h"
#include "image_services.h"
#include "test_files.h"

// Handles all pending GTK events.
void pump_events();

// The personal GIMP folder of the test run (a temporary one, made before
// anything asks GIMP's library for it) and the preset folder inside it.
const std::string &test_gimp_dir();
std::string test_preset_folder();
// Removes everything inside the preset folder.
void clear_preset_folder();

// A dialog built for a record of `image`, destroyed at the end of the test.
class DialogFixture : public ::testing::Test {
 protected:
  void build(const FixedImage &image = FixedImage{},
             void (*adjust)(EffectParams *) = nullptr);
  void TearDown() override;

  EffectParams *live() { return params.get(); }
  GtkWidget *spin(const char *key);
  double spin_value(const char *key);
  // Picks a unit in the "Unit:" combo as the user would.
  void pick_unit(int unit);

  std::unique_ptr<EffectParams> params;
  GtkWidget *dialog = nullptr;
};

// One modal message box seen while a MessageAnswerer was in force.
struct SeenMessage {
  GtkMessageType type;
  std::string text;
  GtkWindow *parent;
  bool modal;
  std::string title;
};

// Answers every message box that opens while it lives with `response`, and
// records what it saw.  The boxes run nested main loops, so the answer comes
// from a timeout in that loop.
// How a box is answered: by a button's response, or by closing it without
// an answer, with Escape or through the window's close.
enum class MessageClose { Button, Escape, Window };

class MessageAnswerer {
 public:
  explicit MessageAnswerer(int response, MessageClose how = MessageClose::Button);
  explicit MessageAnswerer(MessageClose how) : MessageAnswerer(GTK_RESPONSE_NONE, how) {}
  ~MessageAnswerer();
  MessageAnswerer(const MessageAnswerer &) = delete;
  MessageAnswerer &operator=(const MessageAnswerer &) = delete;

  const std::vector<SeenMessage> &seen() const { return seen_; }

 private:
  static gboolean tick(gpointer self);
  int response_;
  MessageClose how_;
  guint source_;
  std::vector<SeenMessage> seen_;
};

// The names in the preset list, raw, in list order.
std::vector<std::string> preset_store_names();
// Selects the row at `index` of the preset list.
void select_preset_row(int index);
