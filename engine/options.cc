#include "engine/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace engine {
namespace {

// The bit of wkeSettings.mask that says its proxy is given.
constexpr unsigned kProxyGiven = 1;

// Chromium's name for the kind of proxy wkeProxy.type gives; none for none or an unknown kind.
const char* ProxyScheme(int type) {
    switch (type) {
        case 1:
            return "http";
        case 2:
        case 3:  // SOCKS4A: Chromium's SOCKS4 resolves names itself all the same
            return "socks4";
        case 4:
        case 5:  // SOCKS5 with names resolved by the proxy: Chromium's SOCKS5 always does
            return "socks5";
        default:
            return nullptr;
    }
}

std::string ProxyOf(const wkeSettings* settings) {
    if (!settings || !(settings->mask & kProxyGiven)) return {};
    const wkeProxy& p = settings->proxy;
    const char* scheme = ProxyScheme(p.type);
    std::string host(p.hostname, strnlen(p.hostname, sizeof p.hostname));
    if (!scheme || host.empty()) return {};
    // Chromium takes no credentials for its proxy: a proxy that asks for them refuses the
    // browser's requests, and the host is told why here rather than left to guess.
    if (p.username[0] || p.password[0])
        std::fprintf(stderr,
                     "qirlen engine: the proxy's user name and password are not used; give the "
                     "browser a proxy that needs none\n");
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    return std::string(scheme) + "://" + host + (p.port ? ":" + std::to_string(p.port) : "");
}

}  // namespace

std::string DownloadDirectory() {
    if (const char* dir = std::getenv("QIRLEN_DOWNLOAD_DIR"); dir && *dir) return dir;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/Downloads";
}

std::vector<std::string> SplitWords(const char* text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word.push_back(c);
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

EngineOptions ReadEngineOptions(const wkeSettings* settings) {
    EngineOptions o;
    if (const char* chosen = std::getenv("QIRLEN_CHROMIUM")) o.chromium = chosen;
    o.chromiumArgs = SplitWords(std::getenv("QIRLEN_CHROMIUM_ARGS"));
    o.chromiumLog = std::getenv("QIRLEN_CHROMIUM_LOG") != nullptr;
    o.proxy = ProxyOf(settings);
    if (const char* url = std::getenv("QIRLEN_BROWSER_URL")) o.browserUrl = url;
    if (const char* text = std::getenv("QIRLEN_MAX_MESSAGE_BYTES"); text && std::atoll(text) > 0)
        o.maxMessageBytes = static_cast<size_t>(std::atoll(text));
    if (const char* text = std::getenv("QIRLEN_SCRIPT_TIMEOUT_MS"); text && std::atoi(text) > 0)
        o.scriptTimeoutMs = std::atoi(text);
    const char* quiet = std::getenv("QIRLEN_ENGINE_QUIET");
    o.quiet = quiet && *quiet && *quiet != '0';
    o.protocolLog = std::getenv("QIRLEN_PROTOCOL_LOG") != nullptr;
    return o;
}

}  // namespace engine
