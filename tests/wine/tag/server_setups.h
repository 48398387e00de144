#pragma once
// The report server each tag test talks to. The wrapper script asks the test
// program for these setups, then starts one server per test, serving that
// test's bodies in order (the n-th report request gets the n-th body, the
// last one repeats), and runs the test alone against it.
#include <string>
#include <vector>

namespace tagtest {

struct ServerSetup {
    std::string test;                     // "Suite.Name": the test's gtest filter
    std::vector<std::string> bodies;      // report bodies in request order
    std::vector<std::string> serverArgs;  // further reportserver switches
};

// Registers the setup of one test; call it at namespace scope.
ServerSetup serve(std::string test, std::vector<std::string> bodies,
                  std::vector<std::string> serverArgs = {});

// Writes, for every registered test, DIR\<test>\bodies\NN.txt and
// DIR\<test>\server-args (one switch or value a line). False on a write error.
bool writeServerSetups(const std::wstring& dir);

// A report as the provider writes it, with the three figures the plug-in reads.
std::string report(const std::string& planName, int usedMb, int limitMb);

}  // namespace tagtest
