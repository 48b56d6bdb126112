#include "app/cli_output.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/output_checks.h"
#include "platform/codepage.h"

namespace app {
namespace {

std::string sayPrefix;

std::string Dash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string Keys(const Quality& q) {
    return KeysText(q);
}

// The maps' names first: they are the ones a user means by a name that two streams carry.
std::string Names(const Quality& q) {
    return Utf8(NamesText(q));
}

std::string First(const std::vector<std::string>& list) {
    return list.empty() ? std::string() : list.front();
}

nlohmann::json Utf8List(const std::vector<std::string>& gbk) {
    nlohmann::json out = nlohmann::json::array();
    for (const std::string& text : gbk) out.push_back(Utf8(text));
    return out;
}

nlohmann::json QualityJson(const Quality& q) {
    return {{"key", q.key},
            {"mapKey", First(q.mapKeys)},
            {"keys", KeysOf(q)},
            {"name", Utf8(First(NamesOf(q)))},
            {"playerName", Utf8(First(q.playerNames))},
            {"names", Utf8List(NamesOf(q))},
            {"resolution", q.resolution},
            {"codec", q.codec},
            {"hls", q.hls},
            {"flv", q.flv},
            {"backupHls", q.backupHls},
            {"backupFlv", q.backupFlv}};
}

std::string Dump(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string QualityKeys(const RoomData& room) {
    std::string keys;
    for (const Quality& q : room.qualities) keys += (keys.empty() ? "" : ", ") + Keys(q);
    return keys.empty() ? "none" : keys;
}

}  // namespace

void SetSayPrefix(const std::string& utf8) {
    sayPrefix = utf8;
}

void Say(const std::string& utf8) {
    std::fprintf(stderr, "%s%s\n", WithoutControlCharacters(sayPrefix).c_str(),
                 WithoutControlCharacters(utf8).c_str());
}

std::string Utf8(const std::string& gbk) {
    return platform::GbkToUtf8(gbk);
}

std::string RoomJson(const StreamWorkflow& workflow, const CliOptions& o, const std::string& link) {
    const RoomData& room = workflow.room();
    const Quality* chosen = workflow.chosenQuality();
    nlohmann::json out = {{"roomId", room.roomId},
                          {"title", Utf8(room.title)},
                          {"owner", Utf8(room.owner)},
                          {"avatar", room.avatar},
                          {"status", room.status},
                          {"quality", chosen ? chosen->key : ""},
                          {"codec", chosen ? chosen->codec : ""},
                          {"format", o.flv ? "flv" : "hls"},
                          {"address", workflow.streamAddress()},
                          {"streamersCurrentRoom", workflow.fromStreamersCurrentRoom()},
                          {"expiry", nullptr},
                          {"qualities", nlohmann::json::array()}};
    if (!link.empty()) out["link"] = Utf8(link);
    if (auto expiry = workflow.streamExpiry()) {
        out["expiry"] = *expiry;
        out["expiresAt"] = LocalTimeText(*expiry);
    }
    for (const Quality& q : room.qualities) out["qualities"].push_back(QualityJson(q));
    return Dump(out);
}

void PrintJson(const StreamWorkflow& workflow, const CliOptions& o, const std::string& link) {
    std::printf("%s\n", RoomJson(workflow, o, link).c_str());
}

void PrintJsonFailure(const std::string& link, int code) {
    // The kinds of failure of the exit status; standard error says more.
    const char* error = code == 2   ? "no address"
                        : code == 3 ? "no room link"
                        : code == 4 ? "the page did not load or answer"
                        : code == 5 ? "verification asked"
                                    : "failed";
    nlohmann::json out = {{"link", Utf8(link)}, {"error", error}, {"exit", code}};
    std::printf("%s\n", Dump(out).c_str());
}

void PrintList(const StreamWorkflow& workflow) {
    if (workflow.room().qualities.empty()) {
        std::printf("stream\t-\t-\t-\t%s\t-\t-\t-\n", workflow.streamAddress().c_str());
        return;
    }
    for (const Quality& q : workflow.room().qualities)
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", Keys(q).c_str(), Dash(Names(q)).c_str(),
                    Dash(q.resolution).c_str(), Dash(q.codec).c_str(), Dash(q.hls).c_str(),
                    Dash(q.flv).c_str(), Dash(q.backupHls).c_str(), Dash(q.backupFlv).c_str());
}

std::string NoStreamLine(const StreamWorkflow& workflow, const CliOptions& o) {
    std::string format = o.flv ? "FLV" : "HLS";
    switch (workflow.lastOutcome()) {
        case FetchOutcome::kNoSuchQuality:
            return "qirlen: the room has no quality " + Utf8(o.quality) +
                   " (it has: " + QualityKeys(workflow.room()) + ")";
        case FetchOutcome::kNoSuchCodec:
            return "qirlen: the room has no " + o.codec + " stream" +
                   (o.quality.empty() ? "" : " of quality " + Utf8(o.quality));
        case FetchOutcome::kNoSuchFormat:
            if (const Quality* asked = ChooseQuality(workflow.room(), o.quality);
                asked && IsAudioOnly(*asked) && !o.flv)
                return "qirlen: the audio stream has FLV only; --format flv gives it";
            return "qirlen: the room has no " + format + " address" +
                   (o.quality.empty() ? "" : " for quality " + Utf8(o.quality)) +
                   (o.flv ? "" : " (--format flv gives the FLV one)");
        default:
            return {};
    }
}

}  // namespace app
