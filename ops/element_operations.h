#pragma once
// Element operations on top of element location: actions, attributes and properties of one
// located element, the same in every frame, synthetic events, typed lists, select lists,
// tables and forms, pictures and page resources, and file inputs. Where an optional index
// stands before a required text, an overload without the index takes index 0 and the top
// frame.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation/script_bridge.h"
#include "locate/element_finder.h"
#include "locate/locator.h"

namespace ops {

class ElementOperations : public locate::ElementFinder {
  public:
    using ElementRect = automation::ElementRect;

    // Actions: true when the statement ran on the element.
    bool ClickElement(const std::string& kind, const std::string& text, int32_t index = 0,
                      FrameId frame = 1);
    bool FocusElement(const std::string& kind, const std::string& text, int32_t index = 0,
                      FrameId frame = 1);
    bool BlurElement(const std::string& kind, const std::string& text, int32_t index = 0,
                     FrameId frame = 1);
    bool SelectElement(const std::string& kind, const std::string& text, int32_t index = 0,
                       FrameId frame = 1);
    bool ReleaseElement(FrameId frame = 1);
    bool CallElementMethod(const std::string& kind, const std::string& text,
                           const std::string& method, const std::string& arguments = "",
                           int32_t index = 0, FrameId frame = 1);
    // Attributes: a text reader gives "undefined" when the element is missing.
    std::string GetElementAttribute(const std::string& kind, const std::string& text, int32_t index,
                                    const std::string& name, FrameId frame = 1);
    std::string GetElementAttribute(const std::string& kind, const std::string& text,
                                    const std::string& name);
    bool SetElementAttribute(const std::string& kind, const std::string& text, int32_t index,
                             const std::string& name, const std::string& value, FrameId frame = 1);
    bool SetElementAttribute(const std::string& kind, const std::string& text,
                             const std::string& name, const std::string& value);
    bool RemoveElementAttribute(const std::string& kind, const std::string& text, int32_t index,
                                const std::string& name, FrameId frame = 1);
    bool RemoveElementAttribute(const std::string& kind, const std::string& text,
                                const std::string& name);
    std::string GetElementSrc(const std::string& kind, const std::string& text, int32_t index = 0,
                              FrameId frame = 1);
    std::string GetElementHref(const std::string& kind, const std::string& text, int32_t index = 0,
                               FrameId frame = 1);
    // Properties.
    bool GetElementChecked(const std::string& kind, const std::string& text, int32_t index = 0,
                           FrameId frame = 1);
    bool SetElementChecked(const std::string& kind, const std::string& text, bool checked,
                           int32_t index = 0, FrameId frame = 1);
    std::string GetElementValue(const std::string& kind, const std::string& text, int32_t index = 0,
                                FrameId frame = 1);
    bool SetElementValue(const std::string& kind, const std::string& text, const std::string& value,
                         int32_t index = 0, FrameId frame = 1);
    // Without `visible` reads whether style.display is "block"; with it, writes it.
    bool ElementVisible(const std::string& kind, const std::string& text,
                        std::optional<bool> visible = std::nullopt, int32_t index = 0,
                        FrameId frame = 1);
    bool ElementDisabled(const std::string& kind, const std::string& text,
                         std::optional<bool> disabled = std::nullopt, int32_t index = 0,
                         FrameId frame = 1);
    std::string GetFormAction(const std::string& kind, const std::string& text, int32_t index = 0,
                              FrameId frame = 1);
    bool SetFormAction(const std::string& kind, const std::string& text, const std::string& action,
                       int32_t index = 0, FrameId frame = 1);
    std::string GetElementId(const std::string& kind, const std::string& text, int32_t index = 0,
                             FrameId frame = 1);
    std::string GetElementTagName(const std::string& kind, const std::string& text,
                                  int32_t index = 0, FrameId frame = 1);
    std::string GetElementName(const std::string& kind, const std::string& text, int32_t index = 0,
                               FrameId frame = 1);
    std::string GetElementClassName(const std::string& kind, const std::string& text,
                                    int32_t index = 0, FrameId frame = 1);
    std::string GetElementInnerHTML(const std::string& kind, const std::string& text,
                                    int32_t index = 0, FrameId frame = 1);
    std::string GetElementInnerText(const std::string& kind, const std::string& text,
                                    int32_t index = 0, FrameId frame = 1);
    std::string GetElementOuterText(const std::string& kind, const std::string& text,
                                    int32_t index = 0, FrameId frame = 1);
    std::string GetElementOuterHTML(const std::string& kind, const std::string& text,
                                    int32_t index = 0, FrameId frame = 1);
    // The value reaches the page through Getvalue, never inside the script.
    bool SetElementInnerHTML(const std::string& kind, const std::string& text,
                             const std::string& value, int32_t index = 0, FrameId frame = 1);
    bool SetElementInnerText(const std::string& kind, const std::string& text,
                             const std::string& value, int32_t index = 0, FrameId frame = 1);
    bool SetElementOuterText(const std::string& kind, const std::string& text,
                             const std::string& value, int32_t index = 0, FrameId frame = 1);
    bool SetElementOuterHTML(const std::string& kind, const std::string& text,
                             const std::string& value, int32_t index = 0, FrameId frame = 1);
    // The same in every frame, lowest first. The attribute is the last non-empty reply of a
    // frame that holds the element; "undefined" when no frame does.
    bool MarkElementInAllFrames(const std::string& kind, const std::string& text,
                                int32_t index = 0);
    bool ClickElementInAllFrames(const std::string& kind, const std::string& text,
                                 int32_t index = 0);
    bool FocusElementInAllFrames(const std::string& kind, const std::string& text,
                                 int32_t index = 0);
    bool BlurElementInAllFrames(const std::string& kind, const std::string& text,
                                int32_t index = 0);
    std::string GetElementAttributeInAllFrames(const std::string& kind, const std::string& text,
                                               int32_t index, const std::string& name);
    std::string GetElementAttributeInAllFrames(const std::string& kind, const std::string& text,
                                               const std::string& name);

    // ---- synthetic events: true when dispatched on the element
    bool DispatchMouseEvent(const std::string& kind, const std::string& text,
                            const std::string& type, bool bubbles, bool cancelable,
                            int32_t screenX = 0, int32_t screenY = 0, int32_t clientX = 0,
                            int32_t clientY = 0, int32_t index = 0, FrameId frame = 1);
    // With a key, keyCode (and for keypress which) is the code of its first character.
    bool DispatchKeyDown(const std::string& kind, const std::string& text,
                         const std::optional<std::string>& key = std::nullopt, int32_t index = 0,
                         FrameId frame = 1);
    bool DispatchKeyPress(const std::string& kind, const std::string& text,
                          const std::optional<std::string>& key = std::nullopt, int32_t index = 0,
                          FrameId frame = 1);
    bool DispatchKeyUp(const std::string& kind, const std::string& text, int32_t index = 0,
                       FrameId frame = 1);
    bool DispatchInputEvent(const std::string& kind, const std::string& text, int32_t index = 0,
                            FrameId frame = 1, const std::string& initialiser = "initMouseEvent");
    bool DispatchTouchEvent(const std::string& kind, const std::string& text,
                            const std::string& type, bool bubbles, bool cancelable,
                            int32_t index = 0, FrameId frame = 1);
    bool DispatchEvent(const std::string& kind, const std::string& text, const std::string& type,
                       bool bubbles, bool cancelable, int32_t index = 0, FrameId frame = 1);

    // Lists (these, the options, page resources and discovery's) hold at most kMaxListBytes
    // of text (16 MB): a page that reports more makes the operation fail (false, or -1 for
    // the options) with an empty list.
    // ---- typed lists: every frame; `mark` numbers them in the page
    bool ListTextBoxes(bool mark, std::vector<ElementInfo>& list);
    bool ListButtons(bool mark, std::vector<ElementInfo>& list);
    bool ListImages(bool mark, std::vector<ElementInfo>& list);
    bool ListLinks(bool mark, std::vector<ElementInfo>& list);
    bool ListRadioButtons(bool mark, std::vector<ElementInfo>& list);
    bool ListCheckBoxes(bool mark, std::vector<ElementInfo>& list);
    // The script of one frame; clears elementMissing.
    std::string BuildTypedListScript(const std::string& tagName, const std::string& typeFilter,
                                     bool mark, const std::string& attributeName,
                                     const std::string& markText, int32_t frameNumber);

    // ---- select lists, tables, forms, rectangles. Integer readers give -1 without a view
    // and -2 (table counters -1) for a missing element.
    int32_t GetSelectedIndex(const std::string& kind, const std::string& text, int32_t index = 0,
                             FrameId frame = 1);
    int32_t GetSelectOptions(const std::string& kind, const std::string& text,
                             std::vector<std::string>& texts, std::vector<std::string>& values,
                             int32_t index = 0, FrameId frame = 1);
    int32_t GetSelectOptions(const std::string& kind, const std::string& text,
                             std::vector<std::string>& texts, int32_t index = 0, FrameId frame = 1);
    int32_t SetSelectedIndex(const std::string& kind, const std::string& text, int32_t newIndex,
                             int32_t index = 0, FrameId frame = 1);
    ElementRect GetBoundingRect(const std::string& kind, const std::string& text, int32_t index = 0,
                                FrameId frame = 1);
    // The same, telling an all-zero rectangle (a hidden element's) from none: false, with
    // `rect` all zero, without a view or element or when the page's script failed (a
    // getBoundingClientRect or a getter of its result that throws).
    bool GetBoundingRect(const std::string& kind, const std::string& text, ElementRect& rect,
                         int32_t index = 0, FrameId frame = 1);
    bool SubmitForm(const std::string& kind, const std::string& text,
                    const std::string& target = "_blank", int32_t index = 0, FrameId frame = 1);
    int32_t GetTableRowCount(const std::string& kind, const std::string& text, int32_t index = 0,
                             FrameId frame = 1);
    int32_t GetTableCellCount(const std::string& kind, const std::string& text, int32_t row,
                              int32_t index = 0, FrameId frame = 1);
    std::string GetTableCellText(const std::string& kind, const std::string& text, int32_t row,
                                 int32_t column, int32_t index = 0, FrameId frame = 1);
    std::string GetTableCellHTML(const std::string& kind, const std::string& text, int32_t row,
                                 int32_t column, int32_t index = 0, FrameId frame = 1);

    // ---- pictures and page resources. Pictures are the image file's bytes as the page
    // encoded it (PNG as a rule); empty for no picture. The render form draws any element
    // with html2canvas and waits up to `waitCount` steps of 100 ms, or with 0 (or less) up to
    // kDefaultRenderSteps: 10 s, the time html2canvas itself gives each image it loads. The
    // wait ends as soon as the page answers; a rendering that failed in the page, or did not
    // answer in time, is said on stderr under QIRLEN_PROTOCOL_LOG.
    static constexpr int32_t kDefaultRenderSteps = 100;
    std::vector<uint8_t> GetElementImage(const locate::Locator& locator, bool render = false,
                                         int32_t waitCount = 0);
    std::vector<uint8_t> GetCanvasImage(const locate::Locator& locator);
    bool ListScripts(std::vector<std::string>& list, FrameId frame = 1);
    bool ListStyleSheets(std::vector<std::string>& list, FrameId frame = 1);
    bool ListEmbeds(std::vector<std::string>& list, FrameId frame = 1);

    // ---- file inputs filled without a dialog: the next open-file dialog of the process
    // answers with these files, then the input is clicked. False for a missing element and
    // for a path that is not a readable file (nothing is prepared).
    bool SetFileInputPath(const locate::Locator& locator, const std::string& path);
    bool SetFileInputPaths(const locate::Locator& locator, const std::vector<std::string>& paths);
};

}  // namespace ops
