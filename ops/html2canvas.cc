#include "ops/html2canvas.h"

extern "C" const char ops_html2canvas_js[];
extern "C" const unsigned long ops_html2canvas_js_size;

namespace ops {

std::string_view Html2CanvasScript() {
    return {ops_html2canvas_js, ops_html2canvas_js_size};
}

}  // namespace ops
