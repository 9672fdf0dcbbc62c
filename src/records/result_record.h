// What every station's result record carries, so a rack position's Rec can hold any of them.
#pragma once

#include <cstdint>
#include <string>

namespace pcs {

class Result_Record {
public:
    virtual ~Result_Record() = default;

    // The test group the record belongs to ("PrtCount", "SCREEN", "WEIGHT", "PQM").
    virtual std::string Record_Kind() const = 0;

    std::string Lab_Id;
    std::string Lab_Code;
    int16_t Run_No = 0;
    std::string Priority;
    std::string Status;
    bool isEmpty = false;
};

// The rating operations the screening and weighing stations' forms use alike.
class Rating_Record : public Result_Record {
public:
    virtual bool isChanged() const = 0;
    virtual std::string Rating_Strings(const std::string& sType) const = 0;
    virtual std::string Get_Rating_String(const std::string& sField) const = 0;
    virtual int16_t Field_Value_Get(const std::string& sField) const = 0;
    virtual void Field_Value_Set(const std::string& sField, int iValue) = 0;
};

} // namespace pcs
