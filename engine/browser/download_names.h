#pragma once
// The names downloads are saved under: what a page suggests, made harmless.
#include <string>

namespace engine {

// A page's name for a download, without directories, leading dots or control characters.
std::string SafeDownloadName(const std::string& suggested);
// The n-th name tried for a download when the ones before are taken: "a.txt", "a (1).txt" ...
std::string NumberedDownloadName(const std::string& name, int n);

}  // namespace engine
