#pragma once
// Which folder the configuration program takes for its own.
#include <string>

namespace kalvorin::config {

// The folder the window stores as the base folder and fills with the
// default lists. The program's own folder when version.ini lies beside the
// program (a build's dist folder, the Windows install) or when there is no
// installed texts folder; otherwise, for an installed program whose folder
// is shared and read-only, own_folder, created for this account alone and
// filled from installed_texts (see fill_from_installed).
std::string window_folder(const std::string& program_folder, const std::string& installed_texts,
                          const std::string& own_folder);

// The account's own folder for an installed window:
// ${XDG_DATA_HOME:-$HOME/.local/share}/kalvorin, or "" without either.
std::string own_data_folder();

}  // namespace kalvorin::config
