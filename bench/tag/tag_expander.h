#pragma once
// The statistics tag as the host expands it: a plug-in object created by its
// ProgID, ParseTag called by name through IDispatch with the result string
// passed by reference.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "handles.h"

namespace bench {

class TagExpander {
public:
    // False when TavriPlugin.plugin cannot be created or has no ParseTag.
    bool open();
    // One expansion of "(!XTAVRI)"; false when the call failed or was declined.
    bool expand(std::wstring& text);

private:
    tavri::win::ComPtr<IDispatch> plugin_;
    DISPID parseTag_ = DISPID_UNKNOWN;
};

}  // namespace bench
