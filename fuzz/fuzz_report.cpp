// The report parser takes whatever arrives on the serial line: it must never crash or hang.
#include "counter/count_report.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (pcs::Run_Kind run : {pcs::Run_Kind::Sample, pcs::Run_Kind::Check, pcs::Run_Kind::Flush}) {
        pcs::Report_Parse p = pcs::Parse_Count_Report(text, run);
        pcs::Count_Report r = p.Report;
        if (!r.Invalid) {
            // A usable count always has a volume to divide by.
            if (r.Volume <= 0) std::abort();
            (void)pcs::Per_mL_Values(r);
            pcs::Scale_For_Dilution(r);
        }
        (void)pcs::Get_ISO_Code(text.substr(0, size / 2), text.substr(size / 2));
    }
    return 0;
}
