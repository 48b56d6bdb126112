#pragma once
// The files a view keeps across runs (cookies.json, local_storage.json), shared by every
// program that names the same directory. A save reads what is there, merges its own part in
// and replaces the file, all under a lock on the directory, so that no other program's part
// is lost; the new text goes to a temporary file of its own and is renamed over the old one,
// so that a reader sees the old file or the new one, never part of either. A save that cannot
// be written leaves the old file as it was and no temporary file behind.
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace engine {

// What the file holds, or null when it is missing or unreadable.
nlohmann::json ReadKeptFile(const std::string& path);

// Replaces the file with what `merge` makes of its current content (null when there is none),
// making the directory (the user's alone) when needed. False when it could not be written;
// `why` then says so.
bool UpdateKeptFile(const std::string& path,
                    const std::function<nlohmann::json(const nlohmann::json&)>& merge,
                    std::string* why);

// What one program last knew of the kept cookies, by cookie: the value it read or wrote.
using KnownCookies = std::map<std::string, std::string>;

// The kept cookies once one program's cookies are merged in: theirs where they changed them
// (against `known`), everybody else's as they are, without those they removed or that have
// expired. A cookie the browser may have evicted (it holds as many of its site as it keeps)
// is not taken for removed. `known` becomes what they now know.
nlohmann::json MergeCookies(const nlohmann::json& kept, const nlohmann::json& ours,
                            KnownCookies& known, double now);
// Notes the cookies read from the file, as known.
void NoteKnownCookies(const nlohmann::json& kept, KnownCookies& known);

// Why what views keep could not be written the last time, for one of the files that fails
// now (UTF-8); empty while every file is written. Each failing file is said once on stderr
// too, and again only if it fails after it had been written in between.
std::string KeptFilesFailure();

}  // namespace engine
