// One slot of a rack: the bottle standing there and the station's result record for it.
#pragma once

#include "records/result_record.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pcs {

struct RackPositions {
    int16_t Pos = 0; // 0-based: the database's POSITION - 1
    int16_t X = 0;
    int16_t Y = 0;
    int16_t Row = 0;
    int16_t Column = 0;
    std::string Type_;
    bool Active = false; // the slot holds a test for this station
    std::string Sample_ID;
    std::string Sample_Desc; // the work order number
    std::string Status;      // as loaded; "PENDING" is kept as "DONE"
    std::string Init_Status;
    int16_t Run_No = 0;
    std::string Kit_Type;
    std::string Priority;
    std::shared_ptr<Result_Record> Rec; // shared with whoever works on the slot
    std::string Lab_Id;                 // "0" for an empty slot
    std::string Component_Code;
    bool doPicture = false;
    bool isSaved = false;
    std::string TargetWeight;
};

} // namespace pcs
