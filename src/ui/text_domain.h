// Where the plug-in's translations live and binding its text domain
// (GETTEXT_PACKAGE), the same for both GIMPs.
#pragma once

#include <string>

// The catalogues' folder below the plug-in's own folder: a personal install
// and the GIMP 3 packages keep <lang>/LC_MESSAGES/gimp20-zipstroke.mo there.
constexpr const char *TEXT_DOMAIN_SUBFOLDER = "locale";

// The folder to bind the domain to: TEXT_DOMAIN_SUBFOLDER beside `executable`
// when that folder exists, otherwise `fallback` (GIMP's locale folder, where
// the GIMP 2.10 packages put the catalogues).
std::string text_domain_folder(const char *executable, const char *fallback);

// Binds the domain to `folder` with UTF-8 texts and makes it the default.
void text_domain_bind(const std::string &folder);
