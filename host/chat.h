#pragma once
// What the host does with one line the user types: a published command goes
// to its plug-in's ParseCommand; every published tag in the text goes to
// ParseTag and is replaced by the plug-in's answer.
#include <memory>
#include <string>
#include <vector>

#include "console_io.h"
#include "loaded_plugin.h"

namespace plughost {

class Chat {
public:
    Chat(std::vector<std::unique_ptr<LoadedPlugin>>& plugins, IDispatch* conversation, Output& out,
         Output& err, bool raw);
    void typeLine(const std::wstring& line);

private:
    bool runCommand(const std::wstring& line);
    std::wstring expandTags(const std::wstring& line);
    void show(const std::wstring& text);

    std::vector<std::unique_ptr<LoadedPlugin>>& plugins_;
    IDispatch* conversation_;
    Output& out_;
    Output& err_;
    bool raw_;
};

}  // namespace plughost
