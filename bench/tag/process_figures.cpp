#include "process_figures.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

namespace bench {
namespace {

// NtQuerySystemInformation(SystemHandleInformation) and its entries.
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    void* object;
    ULONG grantedAccess;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

unsigned long handlesInSystemTable() {
    const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<char> buffer(256 * 1024);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    unsigned long mine = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == self) ++mine;
    return mine;
}

}  // namespace

ProcessFigures currentProcessFigures() {
    ProcessFigures f;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) f.handles = handles;
    if (f.handles == 0) f.handles = handlesInSystemTable();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        f.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    return f;
}

}  // namespace bench
