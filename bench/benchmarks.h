// The benchmark groups, registered by main in the order of the table.
#pragma once

void register_engine_benchmarks();
void register_layer_benchmarks();
void register_preview_benchmarks();
void register_preview_drag_benchmarks();
