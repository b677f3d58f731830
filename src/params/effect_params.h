// The one record that describes a streak-line effect, and its defaults.
#pragma once

#include <cstdint>
#include <type_traits>

// Colour of four doubles in 0..1, laid out exactly like GIMP's GimpRGB so the
// record can travel byte for byte through GIMP's procedure data store.
struct ColorRGBA {
  double r;
  double g;
  double b;
  double a;
};

constexpr int FREEHAND_SAMPLES = 1000;

struct FreehandSample {
  double pos;     // angle in radians (radial) or fraction across the band (parallel)
  double factor;  // 1.0 = on the geometric boundary
};

struct FreehandOutline {
  int32_t active;
  FreehandSample samples[FREEHAND_SAMPLES];
  int32_t count;  // valid samples: 1000, or 0 for an outline whose samples were rejected
};

enum AreaType : int32_t { AREA_RADIATION = 0, AREA_PARALLEL = 1, AREA_PATH = 2 };

// true for the area types the renderers draw.
constexpr bool area_type_known(int32_t type) {
  return type == AREA_RADIATION || type == AREA_PARALLEL || type == AREA_PATH;
}

// The spine of a Path band: an open polyline of 2 .. 1000 points.
constexpr int PATH_SPINE_MIN = 2;
constexpr int PATH_SPINE_MAX = 1000;
// The points of the default spine.
constexpr int PATH_DEFAULT_SPINE_POINTS = 33;

struct SpinePoint {
  double x;  // work-area position in area_unit (horizontal resolution)
  double y;  // (vertical resolution)
};

// Field order is the storage order of the last-values block and the order in
// which the settings text writes the keyed fields.  Do not reorder.
// Whether a run draws a new streak layer or draws an existing one anew.
enum class EditMode : int32_t { Create = 0, Replace = 1 };

struct EffectParams {
  ColorRGBA line_color;
  int32_t line_antialias;
  double line_pitch;
  double line_pitch_rand;
  int32_t line_pitch_rand_seed;
  int32_t line_pitch_type;
  double line_block_on_pitch;
  double line_block_on_pitch_rand;
  int32_t line_blick_on_pitch_rand_seed;
  double line_block_off_pitch;
  double line_block_off_pitch_rand;
  int32_t line_blick_off_pitch_rand_seed;
  int32_t line_wave_npoint;
  double line_wave_depth;
  double line_wave_depth_rand;
  int32_t line_wave_depth_rand_seed;
  int32_t line_wave_type;
  double line_width;
  double line_width_rand;
  int32_t line_width_rand_seed;
  double line_in_margin;
  double line_in_margin_rand;
  int32_t line_in_margin_rand_seed;
  double line_in_length;
  double line_in_length_rand;
  int32_t line_in_length_rand_seed;
  double line_out_margin;
  double line_out_margin_rand;
  int32_t line_out_margin_rand_seed;
  double line_out_length;
  double line_out_length_rand;
  int32_t line_out_length_rand_seed;

  int32_t area_type;
  int32_t area_unit;  // 0 pixels, 1 inches, 2 millimetres, 3 points, 4 picas
  double radiation_x;
  double radiation_y;
  double radiation_in_radius;
  double radiation_out_radius;
  double radiation_oblateness;
  FreehandOutline radiation_in_freehand;
  FreehandOutline radiation_out_freehand;
  double parallel_in_x;
  double parallel_in_Y;
  double parallel_in_range;
  double parallel_out_x;
  double parallel_out_Y;
  double parallel_out_range;
  FreehandOutline parallel_in_freehand;
  FreehandOutline parallel_out_freehand;
  // The Path band: its widths at the spine's start and end, the spine, and
  // the two outlines across it (positions as the parallel ones).
  double path_in_range;
  double path_out_range;
  int32_t path_spine_points_count;  // 2 .. 1000; 0 in a parsed text without a usable spine
  SpinePoint path_spine_points[PATH_SPINE_MAX];
  FreehandOutline path_in_freehand;
  FreehandOutline path_out_freehand;

  // Run and window state: never in settings text.
  int32_t image_id;
  int32_t drawable_id;
  int32_t window_x;
  int32_t window_y;
  int32_t window_width;
  int32_t window_height;
  int32_t topmost;
  EditMode edit_mode;
  // The work area (pixels) and resolution (dpi) the geometry was made for, so
  // that the next run on a work area of another size can fit it to that one.
  int32_t geometry_width;
  int32_t geometry_height;
  double geometry_xres;
  double geometry_yres;
};

static_assert(std::is_trivially_copyable<EffectParams>::value,
              "EffectParams travels byte for byte");
static_assert(std::is_standard_layout<EffectParams>::value, "plain record");
static_assert(sizeof(FreehandOutline::samples) == 2000 * sizeof(double),
              "an outline holds exactly 1000 samples");

constexpr double RADIAL_SAMPLE_STEP = 0.006283185307179587;  // 2*pi/1000
constexpr double PARALLEL_SAMPLE_STEP = 0.001;

// Fills every keyed field, the spine and the six outlines from the work area of
// params->image_id (through the installed image services), and records that
// work area's size and resolution in the geometry fields.  Leaves image_id,
// drawable_id, the window fields, topmost and edit_mode untouched.
void effect_params_set_defaults(EffectParams *params);

// The run-time initial values of a run: ids from the arguments, window fields
// 0, 0, -1, -1, topmost 0, edit_mode 0.
void effect_params_init_run_fields(EffectParams *params, int32_t image_id,
                                   int32_t drawable_id);

void freehand_reset_radial(FreehandOutline *outline);
void freehand_reset_parallel(FreehandOutline *outline);
