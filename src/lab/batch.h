// The instrument batch: the samples the lab database holds as loaded on the station's instrument.
#pragma once

#include "db/database.h"
#include "db/record_set.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pcs {

struct Samples {
    db::Field Detail_Id;
    db::Field Batch_Id;
    int16_t Position = 0;
    db::Field Sample_ID;
    std::string Sample_Type;
    db::Field Run_No;
    db::Field Weight;
    std::string Extra;
    std::string Priority;
    db::Field Emp_Num;
};

class Batch {
public:
    explicit Batch(db::Database& db) : db_(db) {}

    db::Field Batch_Id;
    std::string Instrument_Id;
    std::string Lab_Code;
    std::string Test_Group;
    std::string Batch_Name; // the batch's name ("Batch" cannot name a member of Batch)
    int16_t Sample_Count = 0;
    db::Field Date_Created, Date_Completed, Date_Updated;
    std::string Export_Dir;
    std::vector<Samples> Sample; // in batch position order

    // The record at a 1-based index; std::out_of_range otherwise.
    Samples& Sample_Item(size_t index);

    // Reads the batch from the lab database and, when it has rows, rebuilds Sample from those whose
    // ERROR is 0. Returns the answer open on its first row. Throws db::Statement_Failed_Error when the
    // query did not run; a POSITION that is not a 16-bit number raises and leaves Sample as it was.
    db::Record_Set Get_Batch_Samples(const db::Field& batch_id, const std::string& instrument_id,
                                     const std::string& lab_code, const std::string& test_group);

    // Appends one record; the status is accepted and not kept. An empty Position is stored as 0.
    void Add_New_Batch_Sample(const db::Field& Detail_Id, const db::Field& Batch_Id,
                              const db::Field& Position, const db::Field& Sample_ID, const db::Field& Run_No,
                              const db::Field& Sample_Type, const db::Field& status, const db::Field& Weight,
                              const db::Field& Extra, const db::Field& Priority);

private:
    db::Database& db_;
};

} // namespace pcs
