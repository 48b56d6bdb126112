#pragma once
// The browser-automation object: one per web view. Every operation first looks at the
// view and, without one (or without the engine entry point it needs), returns its empty
// result at once. Texts are GBK, or UTF-8 throughout once the program switched
// (qirlen::SetTextEncoding); conversion happens only where they meet the engine.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/script_bridge.h"
#include "engine/capi/wke.h"
#include "locate/locator.h"

namespace automation {

using FrameId = int32_t;

class WebAutomation {
  public:
    WebAutomation() = default;
    WebAutomation(const WebAutomation&) = default;  // a new object with the same view
    WebAutomation& operator=(const WebAutomation&) = default;
    ~WebAutomation() = default;  // owns nothing

    void BindView(wkeWebView view) { view_ = view; }
    wkeWebView GetView() const { return view_; }

    // ---- device parameters
    bool SetDeviceParameter(const std::string& name, const char* text = nullptr,
                            int32_t intValue = 0, float realValue = 0.0f);

    // ---- page
    int32_t GetFrameIds(std::vector<int32_t>& frames);
    bool LoadScriptFile(const std::string& url, FrameId frame = 0);
    bool SetZoom(const std::string& zoom, FrameId frame = 1);
    std::string GetZoom(FrameId frame = 1);
    int32_t GetScrollLeft(FrameId frame = 1);
    int32_t GetScrollTop(FrameId frame = 1);
    int32_t SetScrollTop(int32_t value, FrameId frame = 1);
    int32_t SetScrollLeft(int32_t value, FrameId frame = 1);
    std::string GetReadyState(FrameId frame = 1);

    // ---- locators (defined in locate/): kind and text first, index and frame last
    // The script that makes `l_Object` hold the element; clears elementMissing. For
    // "coordinates" it first gives every frame its GetNowFrameId.
    std::string BuildLocatorExpression(const std::string& kind, const std::string& text,
                                       int32_t index = 0);
    bool ElementExists(const std::string& kind, const std::string& text, int32_t index = 0,
                       FrameId frame = 1);
    // After a "coordinates" locator (x;y, a point of the searched frame's document, however
    // it and its frames are scrolled): the frame that holds the element, or -1. That frame's
    // `l_Object` is the element too, so "EnterElement" goes on with it there.
    int32_t GetLocatedFrame();

    // ---- discovery and marking (defined in locate/); without a frame, every frame
    static constexpr FrameId kAllFrames = 0;
    bool FindElementsById(const std::string& id, std::vector<ElementInfo>& list,
                          FrameId frame = kAllFrames);
    bool FindElementsByClassName(const std::string& className, std::vector<ElementInfo>& list,
                                 FrameId frame = kAllFrames);
    bool FindElementsByTagName(const std::string& tagName, std::vector<ElementInfo>& list,
                               FrameId frame = kAllFrames);
    bool FindElementsByName(const std::string& name, std::vector<ElementInfo>& list,
                            FrameId frame = kAllFrames);
    bool MarkElement(const std::string& kind, const std::string& text, int32_t index = 0,
                     FrameId frame = 1);
    std::string GetElementXPath(const std::string& kind, const std::string& text, int32_t index = 0,
                                FrameId frame = 1);
    std::string GetElementPath(const std::string& kind, const std::string& text, int32_t index = 0,
                               FrameId frame = 1);
    std::string GetElementSelector(const std::string& kind, const std::string& text,
                                   int32_t index = 0, FrameId frame = 1);

    // ---- element operations (defined in ops/). Where an optional index stands before a
    // required text, an overload without the index takes index 0 and the top frame.
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

    // ---- synthetic events (defined in ops/): true when dispatched on the element
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

    // Lists (discovery, typed lists, select options, page resources) hold at most
    // kMaxListBytes of text (16 MB): a page that reports more makes the operation fail
    // (false, or -1 for the options) with an empty list.
    // ---- typed lists (defined in ops/): every frame; `mark` numbers them in the page
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

    // ---- select lists, tables, forms, rectangles (defined in ops/). Integer readers give
    // -1 without a view and -2 (table counters -1) for a missing element.
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

    // ---- pictures and page resources (defined in ops/). Pictures are the image file's
    // bytes as the page encoded it (PNG as a rule); empty for no picture. The render form
    // draws any element with html2canvas and waits up to `waitCount` steps of 100 ms.
    std::vector<uint8_t> GetElementImage(const locate::Locator& locator, bool render = false,
                                         int32_t waitCount = 0);
    std::vector<uint8_t> GetCanvasImage(const locate::Locator& locator);
    bool ListScripts(std::vector<std::string>& list, FrameId frame = 1);
    bool ListStyleSheets(std::vector<std::string>& list, FrameId frame = 1);
    bool ListEmbeds(std::vector<std::string>& list, FrameId frame = 1);

    // ---- file inputs filled without a dialog (defined in ops/): the next open-file dialog
    // of the process answers with these files, then the input is clicked. False for a
    // missing element and for a path that is not a readable file (nothing is prepared).
    bool SetFileInputPath(const locate::Locator& locator, const std::string& path);
    bool SetFileInputPaths(const locate::Locator& locator, const std::vector<std::string>& paths);

    // ---- scripts as they are
    jsValue RunScriptInFrame(const std::string& script, bool inClosure, FrameId frame = 0);

    // ---- browser settings and device emulation
    bool ConfigureJsEnable(int unused = 0);
    bool DisableImages(int unused = 0);
    bool SetPlatform(const std::string& platform);
    bool SetMaxTouchPoints(int32_t count);
    bool SetHardwareConcurrency(int32_t count);
    bool SetScreenSize(int32_t width, int32_t height);
    bool SetScreenAvailSize(int32_t width, int32_t height);

    // ---- cookies, icon, debug settings, mouse
    std::string GetCookies();  // the engine's UTF-8, unconverted
    bool SetCookie(const std::string& url, const std::string& cookie);
    bool VisitAllCookies(wkeCookieVisitor visitor, void* param);
    bool RequestFavicon(wkeOnNetGetFaviconCallback callback, void* param);
    void SetDebugConfig(const std::string& name, const std::string& value);
    bool FireMouseEvent(uint32_t message, int32_t x, int32_t y, uint32_t flags);

  private:
    wkeWebView view_ = nullptr;
};

// Runs a script (the program's text) in one frame of a view; the engine's answer is not used.
// False when the engine says the script failed (threw, did not parse, named no frame); an
// engine that cannot say counts as success.
// `utf8Prefix` goes ahead of the converted script as it is (a library that is UTF-8 already).
bool RunScript(wkeWebView view, FrameId frame, const std::string& script, bool inClosure,
               std::string_view utf8Prefix = {});
// Base64 as the picture operations read it (as the engine does): bytes outside the alphabet
// are skipped, a pad ends the text, a last group of two or three characters gives its bytes
// without a pad, a lone last character gives none.
std::vector<uint8_t> DecodeBase64(std::string_view text);
// The program's text (GBK, or UTF-8 after the switch) to the engine's UTF-8; a byte that
// starts no character becomes U+FFFD, the rest converts.
std::string ToUtf8Script(const std::string& text);

}  // namespace automation
