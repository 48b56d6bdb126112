// Signs in through a form, then reads the page it leads to and the session's cookie.
//   login URL NAME PASSWORD
#include <qirlen/qirlen.h>

#include <iostream>

using qirlen::By;

int main(int argc, char** argv) {
    if (argc != 4) return std::cerr << "usage: login URL NAME PASSWORD\n", 2;
    qirlen::Browser browser;
    qirlen::Page page = browser.NewPage().value();
    if (auto loaded = page.Goto(argv[1]); !loaded)
        return std::cerr << loaded.error().message << "\n", 1;
    page.Locator(By::Id, "user").Fill(argv[2]).value();
    page.Locator(By::Id, "password").Fill(argv[3]).value();
    page.Locator(By::Css, "button[type=submit]").Click().value();
    page.WaitForUrl([&](const std::string& url) { return url != argv[1]; }).value();
    if (auto failed = page.Locator(By::Id, "failed"); failed.Count().value() > 0)
        return std::cerr << failed.Text().value() << "\n", 1;
    std::cout << page.Title().value() << ": " << page.Locator(By::Css, "h1").Text().value() << "\n";
    for (const qirlen::Cookie& cookie : page.Cookies().value())
        std::cout << "cookie " << cookie.name << "=" << cookie.value << "\n";
}
