// A clock for fuzz_identify in place of platform/Tick.cpp: every reading is one
// millisecond later than the one before. The request/reply code waits for its
// quiet gap and its CTS deadline by reading the clock; with this clock those
// waits cost a few readings instead of wall time, and the code under test
// stays as it is. The static library's own Tick.cpp.o is not linked in, since
// nothing is left for it to resolve; should it ever be, the duplicate
// definition stops the link.
#include "platform/Tick.h"

namespace tolvane {

std::uint32_t GetTickCount() {
    static std::uint32_t now = 0x7FFFFF00u;  // starts near the 32-bit sign change
    return ++now;
}

}  // namespace tolvane
