#pragma once
// The page-side renderer (html2canvas 0.5.0-beta3, from npm at build time), sent into a page
// ahead of a script that renders one element into a canvas.
#include <string_view>

namespace ops {

// The minified library, UTF-8, as the package ships it.
std::string_view Html2CanvasScript();

}  // namespace ops
