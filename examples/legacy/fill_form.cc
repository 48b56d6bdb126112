// Fills a form in UTF-8, submits it and reads it back.
//   fill_form URL        (examples/pages/form.html, say as file:///...)
#include <qirlen/session.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: fill_form URL\n"), 64;
    qirlen::SetTextEncoding(qirlen::TextEncoding::Utf8);  // texts in and out are UTF-8
    qirlen::Session session;
    if (!session.Load(argv[1], 30000)) {
        std::fprintf(stderr, "fill_form: %s\n", session.Error().c_str());
        return 1;
    }
    automation::WebAutomation& web = session.Automation();

    web.SetElementValue("getElementById", "name", "李雷 🙂");
    web.SetSelectedIndex("getElementById", "city", 1);
    web.SetElementChecked("getElementById", "news", true);
    web.ClickElement("getElementById", "send");

    std::vector<std::string> cities;
    web.GetSelectOptions("getElementById", "city", cities);
    int city = web.GetSelectedIndex("getElementById", "city");
    std::printf("name: %s\n", web.GetElementValue("getElementById", "name").c_str());
    std::printf("city: %s\n", city >= 0 && city < int(cities.size()) ? cities[city].c_str() : "?");
    std::printf("newsletter: %s\n", web.GetElementChecked("getElementById", "news") ? "yes" : "no");
    std::printf("page says: %s\n", web.GetElementInnerText("getElementById", "done").c_str());
    return web.GetElementInnerText("getElementById", "done") == "已提交 李雷 🙂" ? 0 : 1;
}
