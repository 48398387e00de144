#pragma once
// One plug-in as the host sees it: created by ProgID, handshake done, its
// published name, commands and tags known.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "owners.h"

namespace plughost {

struct HostIdentity {
    long version = 2;
    std::wstring userEmail = L"user@example.com";
    IDispatch* messenger = nullptr;
};

struct PublishedCommand {
    std::wstring word;  // without the slash, as published
    std::wstring name;
    std::wstring help;
};

struct PublishedTag {
    std::wstring text;
    std::wstring name;
};

class LoadedPlugin {
public:
    // Creates the object and runs Initialize and the publication queries.
    // Throws CallFailure.
    LoadedPlugin(const std::wstring& progId, const HostIdentity& host);
    ~LoadedPlugin();  // Uninitialize
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    const std::wstring& progId() const { return progId_; }
    const std::wstring& name() const { return name_; }
    const std::vector<PublishedCommand>& commands() const { return commands_; }
    const std::vector<PublishedTag>& tags() const { return tags_; }

    // The plug-in's result when it returns True, nothing when False.
    // Throws CallFailure.
    std::optional<std::wstring> parseCommand(const std::wstring& command, const std::wstring& arg,
                                             IDispatch* conversation);
    std::optional<std::wstring> parseTag(const std::wstring& tag, IDispatch* conversation);

private:
    std::wstring progId_;
    Com<IDispatch> object_;
    std::wstring name_;
    std::vector<PublishedCommand> commands_;
    std::vector<PublishedTag> tags_;
};

// Text shown as a command's help until the plug-in fills it in.
inline constexpr const wchar_t* kDefaultHelp = L"No help available for this command.";

}  // namespace plughost
