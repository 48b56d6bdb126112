// A table to CSV, then the links of the page and of each of its frames (of any origin).
//   scrape_table URL OUT.csv
#include <qirlen/qirlen.h>

#include <fstream>
#include <iostream>

using qirlen::By;

std::string CsvField(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

void PrintLinks(const std::string& where, const qirlen::Locator& links) {
    for (const auto& link : links.All().value())
        std::cout << where << ": " << link.Attribute("href").value().value_or("") << "\n";
}

int main(int argc, char** argv) {
    if (argc != 3) return std::cerr << "usage: scrape_table URL OUT.csv\n", 2;
    qirlen::Browser browser;
    qirlen::Page page = browser.NewPage().value();
    if (auto loaded = page.Goto(argv[1]); !loaded)
        return std::cerr << loaded.error().message << "\n", 1;
    std::ofstream csv(argv[2]);
    auto rows = page.Locator(By::Css, "tr").All().value();
    for (const auto& row : rows) {
        std::string line;
        for (const auto& cell : row.Find(By::Css, "th, td").All().value())
            line += (line.empty() ? "" : ",") + CsvField(cell.Text().value());
        csv << line << "\n";
    }
    std::cout << "rows: " << rows.size() << "\n";
    PrintLinks("page", page.Locator(By::Css, "a"));
    int n = 0;
    for (const auto& frame : page.Locator(By::Css, "iframe").All().value())
        PrintLinks("frame " + std::to_string(++n), frame.Frame().Find(By::Css, "a"));
}
