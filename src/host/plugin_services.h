// The image services and host services of the plug-in, answered by the
// running GIMP through host_calls.h.
#pragma once

// Installs both for the whole run.
void plugin_services_install();
