// The port the sample action panel takes a test off a sample through; the result record implements it.
#pragma once

#include <string>

namespace pcs {

// Takes the particle-count test off a sample with a test action code; true when the lab database
// confirms it.
class Sample_Remover {
public:
    virtual ~Sample_Remover() = default;
    virtual bool Remove_Sample(const std::string& Lab_Number, const std::string& Action) = 0;
};

} // namespace pcs
