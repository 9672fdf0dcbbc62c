// The particle-count result of the sample in hand and its three writes to the lab database: the
// result, a repeat run, and taking the test off the sample.
#pragma once

#include "common/globals.h"
#include "db/database.h"
#include "records/employee.h"
#include "records/result_record.h"
#include "records/sample_remover.h"

#include <cstdint>
#include <string>

namespace pcs {

// A save whose answer never came (the statement timed out): the lab may or may not have stored it.
// It is not sent again, since a server that committed before the answer was lost would store it twice.
class Save_Outcome_Unknown : public db::Db_Error {
public:
    using db::Db_Error::Db_Error;
};

class PrtCount : public Result_Record, public Sample_Remover {
public:
    // The debug flag is read from the globals at each write.
    PrtCount(db::Database& db, const Globals& globals, const Employee& employee)
        : db_(db), g_(globals), employee_(employee) {}

    std::string Record_Kind() const override { return "PrtCount"; }

    bool saveOk = false; // the last save succeeded

    // Saves a count. saveOk tells whether the database took it ("DONE" or "PENDING"); Status then
    // reads "DONE", otherwise the database's own word. The statement is sent once: a timeout throws
    // Save_Outcome_Unknown, any other failure db::Statement_Failed_Error (saveOk false both times). A
    // RUN_NO that does not fit 16 bits leaves Run_No as it was: the status decides. In debug mode
    // nothing is sent and the save succeeds.
    void Save_Results(const std::string& Lab_Number, int16_t Emp_Num, const db::Field& sample_Volume,
                      const db::Field& PC2, const db::Field& PC5, const db::Field& PC15,
                      const db::Field& PC25, const db::Field& PC50, const db::Field& PC100,
                      const db::Field& PC200, const std::string& Comments);

    // Asks for a repeat run of the test, in the logged-in technician's name. True when the database
    // answers "READY" (always in debug mode, where nothing is sent).
    bool Redo_Sample(const std::string& Lab_Number, const std::string& employee_name);

    // Takes the test off the sample with the test action code. True when the database answers "DONE"
    // (always in debug mode, where nothing is sent).
    bool Remove_Sample(const std::string& Lab_Number, const std::string& Action) override;

private:
    db::Database& db_;
    const Globals& g_;
    const Employee& employee_;
};

} // namespace pcs
