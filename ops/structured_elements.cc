// Elements with an inner structure: select lists, tables and forms, and the on-screen
// rectangle of any element.
#include "automation/engine_binding.h"
#include "automation/script_bridge.h"
#include "ops/element_call.h"
#include "ops/element_operations.h"

namespace ops {
namespace {

using automation::Api;
using automation::Bridge;
using automation::ElementRect;
using automation::ScriptBridge;
using automation::TextToInt;
using locate::Outcome;

// Reads an integer the fragment hands back; an empty reply (no such row) gives 0.
int32_t ReadInteger(ElementOperations& web, const locate::Locator& at, const std::string& fragment,
                    int32_t whenMissing) {
    if (!web.GetView()) return -1;
    Outcome outcome = locate::RunElementOperation(web, at, {"", fragment, true});
    if (outcome == Outcome::kNoView) return -1;
    if (outcome == Outcome::kMissing) return whenMissing;
    return TextToInt(Bridge().attributeReply);
}

std::string Row(int32_t row) {
    return "l_Object.rows[" + std::to_string(row) + "]";
}

std::string Cell(int32_t row, int32_t column) {
    return Row(row) + ".cells[" + std::to_string(column) + "]";
}

}  // namespace

int32_t ElementOperations::GetSelectedIndex(const std::string& kind, const std::string& text,
                                            int32_t index, FrameId frame) {
    return ReadInteger(*this, {kind, text, index, frame}, ReadBack("l_Object.selectedIndex"), -2);
}

int32_t ElementOperations::GetSelectOptions(const std::string& kind, const std::string& text,
                                            std::vector<std::string>& texts,
                                            std::vector<std::string>& values, int32_t index,
                                            FrameId frame) {
    if (!GetView() || !Api().wkeRunJsByFrame) return -1;
    ScriptBridge& bridge = Bridge();
    bridge.optionTexts.clear();
    bridge.optionValues.clear();
    Outcome outcome = locate::RunElementOperation(
        *this, {kind, text, index, frame},
        {"",
         "\r\nvar l_i=0;\r\nvar l_length=l_Object.length;\r\nfor(l_i;l_i<l_length;l_i++){\r\n"
         "window.top.selectBack(l_Object.options[l_i].text,l_Object.options[l_i].value);\r\n}",
         false});
    texts = bridge.optionTexts.entries();
    values = bridge.optionValues;
    if (outcome == Outcome::kMissing) return -2;
    if (bridge.optionTexts.full()) return -1;  // more than a list holds: no answer
    return static_cast<int32_t>(texts.size());
}

int32_t ElementOperations::GetSelectOptions(const std::string& kind, const std::string& text,
                                            std::vector<std::string>& texts, int32_t index,
                                            FrameId frame) {
    std::vector<std::string> dropped;
    return GetSelectOptions(kind, text, texts, dropped, index, frame);
}

// The page's change handler runs as if the person had picked the entry.
int32_t ElementOperations::SetSelectedIndex(const std::string& kind, const std::string& text,
                                            int32_t newIndex, int32_t index, FrameId frame) {
    return ReadInteger(*this, {kind, text, index, frame},
                       "\r\nl_Object.selectedIndex=" + std::to_string(newIndex) +
                           ";\r\nvar l_evt = document.createEvent('Events');\r\n"
                           "l_evt.initEvent('change', false, false);\r\n"
                           "l_Object.dispatchEvent(l_evt);",
                       -2);
}

ElementRect ElementOperations::GetBoundingRect(const std::string& kind, const std::string& text,
                                               int32_t index, FrameId frame) {
    ElementRect rect;
    GetBoundingRect(kind, text, rect, index, frame);
    return rect;
}

bool ElementOperations::GetBoundingRect(const std::string& kind, const std::string& text,
                                        ElementRect& rect, int32_t index, FrameId frame) {
    ElementRect& reply = Bridge().elementRect;
    reply = {};
    rect = {};
    if (!GetView()) return false;
    Outcome outcome = locate::RunElementOperation(
        *this, {kind, text, index, frame},
        {"",
         "\r\nvar l_Rect=l_Object.getBoundingClientRect();\r\nwindow.top.GetElementRect("
         "l_Rect.bottom,l_Rect.height,l_Rect.left,l_Rect.right,l_Rect.top,l_Rect.width);",
         false});
    // Whatever reached the bridge before the run failed is not the element's rectangle.
    if (outcome != Outcome::kDone) {
        reply = {};
        return false;
    }
    rect = reply;
    return true;
}

bool ElementOperations::SubmitForm(const std::string& kind, const std::string& text,
                                   const std::string& target, int32_t index, FrameId frame) {
    return Act(
        *this, {kind, text, index, frame},
        "\r\nl_Object.setAttribute('target','" + Quoted(target) + "');\r\nl_Object.submit();");
}

int32_t ElementOperations::GetTableRowCount(const std::string& kind, const std::string& text,
                                            int32_t index, FrameId frame) {
    return ReadInteger(*this, {kind, text, index, frame}, ReadBack("l_Object.rows.length"), -1);
}

int32_t ElementOperations::GetTableCellCount(const std::string& kind, const std::string& text,
                                             int32_t row, int32_t index, FrameId frame) {
    return ReadInteger(*this, {kind, text, index, frame}, ReadBack(Row(row) + ".cells.length"), -1);
}

std::string ElementOperations::GetTableCellText(const std::string& kind, const std::string& text,
                                                int32_t row, int32_t column, int32_t index,
                                                FrameId frame) {
    return ReadText(*this, {kind, text, index, frame}, ReadBack(Cell(row, column) + ".innerText"));
}

std::string ElementOperations::GetTableCellHTML(const std::string& kind, const std::string& text,
                                                int32_t row, int32_t column, int32_t index,
                                                FrameId frame) {
    return ReadText(*this, {kind, text, index, frame}, ReadBack(Cell(row, column) + ".innerHTML"));
}

}  // namespace ops
