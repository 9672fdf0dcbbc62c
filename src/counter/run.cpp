#include "counter/run.h"

#include "common/text.h"

#include <utility>

namespace pcs {

std::string Run::Id() const {
    return Kind == Run_Kind::Sample ? Lab_Number : std::string(Run_Word(Kind));
}

Run Run::Of_Kind(Run_Kind kind) {
    Run r;
    r.Kind = kind;
    return r;
}

Run Run::Of_Sample(std::string lab_number) {
    Run r;
    r.Lab_Number = std::move(lab_number);
    return r;
}

Run Run::From_Id(std::string_view id) {
    const std::string word = UCase(id);
    for (Run_Kind kind : {Run_Kind::Check, Run_Kind::Flush, Run_Kind::Single, Run_Kind::Rerun})
        if (word == Run_Word(kind)) return Of_Kind(kind);
    return Of_Sample(std::string(id));
}

} // namespace pcs
