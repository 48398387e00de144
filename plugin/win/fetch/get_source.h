#pragma once
// The HTTPS fetch of the usage report through WinINet.
#include <string>

#include "ports.h"

namespace tavri::win {

// Fetches url and returns the whole body as UTF-8 text; "" when the session
// or the URL cannot be opened.
std::string GetSource(const std::string& url);

class WinInetReportSource : public ReportSource {
public:
    std::string getSource(const std::string& url) override { return GetSource(url); }
};

// Releases what the fetch keeps between calls (called when the DLL unloads).
void releaseInternetSession();

}  // namespace tavri::win
