#pragma once
#include <string>

namespace platform {

// Directory of the running program, with a trailing "/" (as the toolkit reports it).
std::string ProgramDirectory();

bool FileExists(const std::string& path);

// Where persistent state named `name` lives: under the program's directory when that
// directory is writable, else under $XDG_DATA_HOME/qirlen/ (~/.local/share/qirlen/).
// Ends with "/". The directory is not created.
std::string StorageDirectory(const std::string& name);

}  // namespace platform
