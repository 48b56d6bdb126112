// Lists the links of a page, in every frame, with a selector that finds each again, and saves
// a picture of one element.
//   list_links URL [ELEMENT-ID PICTURE.png]
#include <qirlen/session.h>

#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4)
        return std::fprintf(stderr, "usage: list_links URL [ID FILE]\n"), 64;
    qirlen::SetTextEncoding(qirlen::TextEncoding::Utf8);
    qirlen::Session session;
    if (!session.Load(argv[1], 30000)) {
        std::fprintf(stderr, "list_links: %s\n", session.Error().c_str());
        return 1;
    }
    automation::WebAutomation& web = session.Automation();

    std::vector<automation::ElementInfo> links;
    if (!web.ListLinks(false, links)) return std::fprintf(stderr, "list_links: no list\n"), 1;
    for (const automation::ElementInfo& link : links) {
        // The frame the link lives in and its selector name it for any later operation.
        std::string href =
            web.GetElementHref("querySelectorAll", link.cssSelector, 0, link.frameRecord);
        std::printf("frame %d  %-40s %s\n", link.frameRecord, link.cssSelector.c_str(),
                    href.c_str());
    }
    if (argc == 4) {
        // Drawn by html2canvas in the page; up to 5 s for it to answer.
        std::vector<uint8_t> png = web.GetElementImage({"getElementById", argv[2]}, true, 50);
        if (png.empty()) return std::fprintf(stderr, "list_links: no picture of %s\n", argv[2]), 1;
        std::ofstream(argv[3], std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), png.size());
        std::printf("saved %s (%zu bytes)\n", argv[3], png.size());
    }
    return links.empty() ? 1 : 0;
}
