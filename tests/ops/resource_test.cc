// The html2canvas text compiled into the program is the package's file, byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ops/html2canvas.h"

TEST(Html2Canvas, TheEmbeddedTextIsThePackagesFile) {
    std::ifstream in(HTML2CANVAS_JS, std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    ASSERT_FALSE(file.str().empty());
    EXPECT_EQ(ops::Html2CanvasScript(), file.str());
    EXPECT_NE(ops::Html2CanvasScript().find("html2canvas"), std::string_view::npos);
}
