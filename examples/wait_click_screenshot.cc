// Waits for an element a script adds, clicks it and saves its picture.
//   wait_click_screenshot URL ID OUT.png
#include <qirlen/qirlen.h>

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 4) return std::cerr << "usage: wait_click_screenshot URL ID OUT.png\n", 2;
    qirlen::Browser browser;
    qirlen::Page page = browser.NewPage().value();
    auto element = page.Locator(qirlen::By::Id, argv[2]);
    auto loaded = page.Goto(argv[1]);
    auto clicked = loaded ? element.Click() : qirlen::Result<void>(loaded.error());
    if (!clicked) return std::cerr << clicked.error().message << "\n", 1;
    std::ofstream(argv[3], std::ios::binary) << element.Screenshot().value();
    std::cout << "after the click: " << element.Text().value() << "\nsaved " << argv[3] << "\n";
}
