// Arbitrary code-8 data: the log list walk must stay inside the data.
#include "pages/loglist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto entries = LogList::parse(data, int(size));
    (void)entries;
    return 0;
}
