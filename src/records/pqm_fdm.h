// The PQM test group's result record: the shape of the particle-count record, storage left to the
// station that needs it. Every operation leaves the record as it is.
#pragma once

#include "db/record_set.h"
#include "records/result_record.h"

#include <any>
#include <optional>
#include <string>

namespace pcs {

class PQM_FDM : public Result_Record {
public:
    std::string Record_Kind() const override { return "PQM"; }

    std::any Result; // a value or an object, handed back as it was set
    bool saveOk = false;

    void Save_Results(const std::string&, const std::any&) {}
    bool Remove_Sample(const std::string&, const std::string&) { return false; }
    bool Redo_Sample(const std::string&, const std::string&) { return false; }
    // No history is kept: no result set.
    std::optional<db::Record_Set> Get_PQM_History(const std::string&) { return std::nullopt; }
};

} // namespace pcs
