#pragma once
// Finding a locator's element and acting on it: one call into the face's world of the
// element's document, which checks it and acts at once when it can, and otherwise waits there,
// woken by the document's changes, until it can or the time is up.
#include <string>
#include <vector>

#include "face/page_state.h"

namespace qirlen::detail {

struct Step {
    bool frame = false;  // into the document of the frame found so far
    By by = By::Css;
    std::string text;
    int nth = 0;
};

const char* KindName(By by);

// What an action needs of its element first; as element.js has them.
enum Need : int {
    kVisible = 1,
    kEnabled = 2,
    kEditable = 4,
    kStill = 8,
    kReceivesClick = 16,  // after scrolling it into view, a click at its centre lands on it
    kInView = 32,
    kGone = 64,     // waits until nothing matches instead
    kHidden = 128,  // waits until nothing visible matches instead
};

// An action of element.js's `actions` on the element, once it meets `needs`.
struct Action {
    int needs = 0;
    std::string name = "none";
    json args = json::array();
    bool byReference = false;  // the action gives the element itself
};

struct Acted {
    std::string frame;   // the frame whose document holds the element
    json value;          // what the action gave
    std::string object;  // the element, for an action by reference
};

// Whether an error only says that the document looked in went away meanwhile.
bool Transient(const Error& e);

// Runs an operation of element.js in the face's world of a frame's current document; its
// value, or with `byReference` the protocol's remote object of it.
Result<json> CallOp(PageState& page, const std::string& frame, const std::string& op,
                    const json& args, bool byReference = false,
                    int timeoutMs = kDefaultNavigationTimeoutMs);

// Finds the element of `steps` and does `action` once it meets its needs, waiting up to
// `timeoutMs`: NotFound when nothing ever matched, Timeout with what the element lacked.
Result<Acted> Act(PageState& page, const std::vector<Step>& steps, const std::string& what,
                  const Action& action, int timeoutMs);

// How many elements the last of `steps` matches now.
Result<int> CountNow(PageState& page, const std::vector<Step>& steps, const std::string& what);

// The page's objects that a call held by reference are let go when the outermost call ends.
struct ObjectGroup {
    explicit ObjectGroup(PageState& page);
    ~ObjectGroup();
    ObjectGroup(const ObjectGroup&) = delete;
    ObjectGroup& operator=(const ObjectGroup&) = delete;
    PageState& page;
};

}  // namespace qirlen::detail
