#include "builtin_units.h"

#include "gimpui_compat.h"

#if !ZS_GIMP3
// GIMP 2.10's table of unit functions, which libgimpbase asks for every unit
// look-up.  Its layout is that of GIMP 2.10; only the built-in units 0..4
// and percent are known here, as in a plug-in before it asks GIMP.
extern "C" {
struct GimpUnitVtable {
  gint (*unit_get_number_of_units)();
  gint (*unit_get_number_of_built_in_units)();
  GimpUnit (*unit_new)(gchar *, gdouble, gint, gchar *, gchar *, gchar *, gchar *);
  gboolean (*unit_get_deletion_flag)(GimpUnit);
  void (*unit_set_deletion_flag)(GimpUnit, gboolean);
  gdouble (*unit_get_factor)(GimpUnit);
  gint (*unit_get_digits)(GimpUnit);
  const gchar *(*unit_get_identifier)(GimpUnit);
  const gchar *(*unit_get_symbol)(GimpUnit);
  const gchar *(*unit_get_abbreviation)(GimpUnit);
  const gchar *(*unit_get_singular)(GimpUnit);
  const gchar *(*unit_get_plural)(GimpUnit);
  void (*reserved[4])();
};
void gimp_base_init(GimpUnitVtable *vtable);
}

namespace {

struct BuiltInUnit {
  double factor;
  int digits;
  const char *identifier, *symbol, *abbreviation, *singular, *plural;
};

constexpr BuiltInUnit UNITS[] = {
    {0.0, 0, "pixels", "px", "px", "pixel", "pixels"},
    {1.0, 2, "inches", "''", "in", "inch", "inches"},
    {25.4, 1, "millimeters", "mm", "mm", "millimeter", "millimeters"},
    {72.0, 0, "points", "pt", "pt", "point", "points"},
    {6.0, 1, "picas", "pc", "pc", "pica", "picas"},
};
constexpr BuiltInUnit PERCENT = {0.0, 0, "percent", "%", "%", "percent", "percent"};

const BuiltInUnit &unit_of(GimpUnit unit) {
  const int i = static_cast<int>(unit);
  return i >= 0 && i < 5 ? UNITS[i] : PERCENT;
}

GimpUnitVtable test_units = {
    [] { return 5; },
    [] { return 5; },
    [](gchar *, gdouble, gint, gchar *, gchar *, gchar *, gchar *) { return GIMP_UNIT_PIXEL; },
    [](GimpUnit) -> gboolean { return FALSE; },
    [](GimpUnit, gboolean) {},
    [](GimpUnit u) { return unit_of(u).factor; },
    [](GimpUnit u) { return unit_of(u).digits; },
    [](GimpUnit u) { return unit_of(u).identifier; },
    [](GimpUnit u) { return unit_of(u).symbol; },
    [](GimpUnit u) { return unit_of(u).abbreviation; },
    [](GimpUnit u) { return unit_of(u).singular; },
    [](GimpUnit u) { return unit_of(u).plural; },
    {},
};

}  // namespace
#endif  // !ZS_GIMP3

void builtin_units_install() {
#if ZS_GIMP3
  // GIMP 3's colour buttons hold GEGL colours; its built-in units need no table.
  gegl_init(nullptr, nullptr);
#else
  gimp_base_init(&test_units);
#endif
}
