// What this processor can run, as far as its operating system lets it: probed once, asked by
// every piece of code that has a faster path for a wider instruction set.
#pragma once

namespace platform {

struct CpuFeatures {
    bool bSse2 = false;
    bool bSsse3 = false;
    // The wide registers count only when the operating system saves them on a thread switch.
    bool bAvx2 = false;
    bool bAvx512 = false;
};

const CpuFeatures& ProcessorFeatures();

}  // namespace platform
