#pragma once
// Downloads: the host decides, and only accepted files reach the download directory, under a
// name of their own that never replaces a file already there.
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace engine {

class Browser;

class Downloads {
  public:
    explicit Downloads(Browser& browser) : browser_(browser) {}

    // Browser.downloadWillBegin and Browser.downloadProgress.
    void OnEvent(const std::string& method, const nlohmann::json& params);

  private:
    struct Download {
        int page = 0;
        bool accepted = false;
        std::string url, name;  // the name it is saved under, unless that is taken
    };

    Browser& browser_;
    std::map<std::string, Download> downloads_;  // by download id
};

}  // namespace engine
