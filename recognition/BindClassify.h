// From a focused accessible element to its binding context: a candidate bind
// record describing the element, the kind of context it lives in (the
// application, a dialog, a web document) and that context's name; and the
// walk that finds the other bound fields of a context on the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "hook64/AccElem.h"
#include "recognition/Binding.h"

// Roles and states the classification reads.
enum : LONG {
    kBindRoleMenuPopup = 11,
    kBindRoleMenuItem = 12,
    kBindRoleWindow = 9,
    kBindRolePane = 16,
    kBindRoleDialog = 18,
    kBindRoleSeparator = 21,
    kBindStateFocusable = 0x100000,
    kBindStateInvisible = 0x8000,
};

// The most parents the classification climbs, and the most parents of one
// role in a row it accepts before giving up on the chain.
constexpr int kBindMaxParents = 32;
constexpr int kBindMaxSameRole = 8;

struct BindClassification {
    CBindElem candidate;
    int type = BIND_CONTEXT_UNKNOWN;
    std::wstring doc;
    CAccElem element;  // a copy of the classified element
    // The outermost element of the candidate's signature: where a walk for
    // the context's other fields starts.
    CAccElem top;
};

// Classifies `element`; false when it is not attached.
bool ClassifyBindContext(const CAccElem& element, BindClassification& out);
// The candidate record of `element` with `signature` as its chain of roles.
void makeBindCandidate(const CAccElem& element, const std::wstring& signature,
                       CBindElem& candidate);
// Appends `role` to a role signature: "9" + 10 -> "9,10", "" + 9 -> "9",
// "9" + 0 -> "9,".
std::wstring appendRoleSignature(const std::wstring& signature, LONG role);

// A field of a context that a record binds, with its visible rectangle.
struct BoundField {
    RECT rect;
    CBindElem record;
};
// Walks the accessible tree from `start` (depth first) and collects the
// focusable, writable elements that a record of `context` binds. Stops as
// soon as `cancelled` answers true.
void findBoundFields(const CBindContext& context, const CAccElem& start,
                     std::vector<BoundField>& found,
                     const std::function<bool()>& cancelled = nullptr);

// The focused element of `window`: the hook library's last focused element
// while its window exists, else the focus found from the window itself.
bool getFocusedElement(HWND window, CAccElem& element);
