#pragma once
// The modern face (<qirlen/qirlen.h>) on five operations, beside the legacy face's nearest
// calls and, with `peers`, Puppeteer and Playwright on the same page and Chromium.

namespace bench {

// Prints the table; false when a face could not run its operations on the fixture page.
bool CompareFaces(int runs, bool peers);

}  // namespace bench
