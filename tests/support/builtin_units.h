// What a running GIMP would otherwise give a program that builds the dialog
// outside GIMP (the GUI tests, the benchmarks): GIMP 2.10's table of the
// built-in units, GIMP 3's GEGL for its colour buttons.  Call once, after
// gtk_init.
#pragma once

void builtin_units_install();
