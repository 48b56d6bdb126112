#pragma once
// What the command line writes for one finished fetch: the address, the room as JSON or the
// list of its streams on standard output; the lines that say why not on standard error.
#include <string>

#include "app/cli_options.h"
#include "app/stream_workflow.h"

namespace app {

// One line on standard error after `prefix` (the link, when there are several); nothing in
// it (a page's text included) breaks the line or steers the terminal.
void Say(const std::string& utf8);
void SetSayPrefix(const std::string& utf8);

std::string Utf8(const std::string& gbk);

// The room and the chosen address as one JSON line; `link` (GBK) is named when not empty.
void PrintJson(const StreamWorkflow& workflow, const CliOptions& o, const std::string& link);
// The same object as one line of text, without printing it.
std::string RoomJson(const StreamWorkflow& workflow, const CliOptions& o, const std::string& link);
// One line for a link that failed, in --json form: the link, the kind of failure and the
// exit code.
void PrintJsonFailure(const std::string& link, int code);
// One line per distinct stream: keys, names, resolution, codec, then its addresses (hls,
// flv, the backup line's hls and flv), "-" where there is none.
void PrintList(const StreamWorkflow& workflow);

// Why a fetch that found the room gave no address (the room has no such quality, codec or
// format), for standard error.
std::string NoStreamLine(const StreamWorkflow& workflow, const CliOptions& o);

}  // namespace app
