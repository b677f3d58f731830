// The registry of the main dialog's controls and the lookup of a field's spin
// button, below everything that reads them.
#include "dialog_widgets.h"

#include <cstring>

#include "control_ranges.h"

DialogWidgets dialog_widgets;

namespace {

struct SpinSlot {
  const char *key;
  GtkWidget *DialogWidgets::*member;
};

#define ZS_SLOT(field) SpinSlot{#field, &DialogWidgets::field##_spin}
constexpr SpinSlot SPIN_SLOTS[] = {
    ZS_SLOT(line_pitch), ZS_SLOT(line_pitch_rand), ZS_SLOT(line_pitch_rand_seed),
    ZS_SLOT(line_block_on_pitch), ZS_SLOT(line_block_on_pitch_rand), ZS_SLOT(line_blick_on_pitch_rand_seed),
    ZS_SLOT(line_block_off_pitch), ZS_SLOT(line_block_off_pitch_rand), ZS_SLOT(line_blick_off_pitch_rand_seed),
    ZS_SLOT(line_wave_npoint), ZS_SLOT(line_wave_depth), ZS_SLOT(line_wave_depth_rand),
    ZS_SLOT(line_wave_depth_rand_seed), ZS_SLOT(line_width), ZS_SLOT(line_width_rand),
    ZS_SLOT(line_width_rand_seed), ZS_SLOT(line_in_margin), ZS_SLOT(line_in_margin_rand),
    ZS_SLOT(line_in_margin_rand_seed), ZS_SLOT(line_in_length), ZS_SLOT(line_in_length_rand),
    ZS_SLOT(line_in_length_rand_seed), ZS_SLOT(line_out_margin), ZS_SLOT(line_out_margin_rand),
    ZS_SLOT(line_out_margin_rand_seed), ZS_SLOT(line_out_length), ZS_SLOT(line_out_length_rand),
    ZS_SLOT(line_out_length_rand_seed), ZS_SLOT(radiation_x), ZS_SLOT(radiation_y),
    ZS_SLOT(radiation_in_radius), ZS_SLOT(radiation_out_radius), ZS_SLOT(radiation_oblateness),
    ZS_SLOT(parallel_in_x), ZS_SLOT(parallel_in_Y), ZS_SLOT(parallel_in_range),
    ZS_SLOT(parallel_out_x), ZS_SLOT(parallel_out_Y), ZS_SLOT(parallel_out_range),
};
#undef ZS_SLOT
static_assert(G_N_ELEMENTS(SPIN_SLOTS) == SPIN_RANGES.size(), "one spin button per table entry");

}  // namespace

GtkWidget **dialog_spin_slot(const char *key) {
  if (!key) return nullptr;
  for (const SpinSlot &slot : SPIN_SLOTS)
    if (std::strcmp(slot.key, key) == 0) return &(dialog_widgets.*slot.member);
  return nullptr;
}

GtkWidget *dialog_spin_for_key(const char *key) {
  GtkWidget **slot = dialog_spin_slot(key);
  return slot ? *slot : nullptr;
}
