#include "lab/batch.h"

#include "common/sql.h"
#include "common/text.h"
#include "db/memory_cursor.h"
#include "db/statement_error.h"

#include <stdexcept>

namespace pcs {

namespace {

std::string Trimmed_Or_Empty(const db::Field& f) {
    return f ? Trim(*f) : std::string();
}

int16_t Position_Of(const db::Field& f) {
    if (!f) throw db::Null_Field_Error("POSITION");
    if (f->empty()) return 0;
    return To_Int16(*f);
}

Samples Make_Sample(const db::Field& Detail_Id, const db::Field& Batch_Id, const db::Field& Position,
                    const db::Field& Sample_ID, const db::Field& Run_No, const db::Field& Sample_Type,
                    const db::Field& Weight, const db::Field& Extra, const db::Field& Priority) {
    Samples s;
    s.Detail_Id = Detail_Id;
    s.Batch_Id = Batch_Id;
    s.Position = Position_Of(Position);
    s.Sample_ID = Trimmed_Or_Empty(Sample_ID);
    s.Sample_Type = Trimmed_Or_Empty(Sample_Type);
    s.Run_No = Run_No;
    s.Weight = Trimmed_Or_Empty(Weight);
    s.Extra = Trimmed_Or_Empty(Extra);
    s.Priority = Priority.value_or("");
    return s;
}

} // namespace

Samples& Batch::Sample_Item(size_t index) {
    if (index < 1 || index > Sample.size())
        throw std::out_of_range("The batch has no sample " + std::to_string(index) + ".");
    return Sample[index - 1];
}

db::Record_Set Batch::Get_Batch_Samples(const db::Field& batch_id, const std::string& instrument_id,
                                        const std::string& lab_code, const std::string& test_group) {
    std::string batch = "null";
    if (batch_id && !batch_id->empty() && Is_Numeric(*batch_id))
        batch = SQL_Number(*batch_id, "The batch id");
    auto quoted = [](const std::string& v) { return "'" + SQL_Escape(Trim(v)) + "'"; };
    std::string sql = "exec labrack.dbo.get_batch_samples @batch_id = " + batch + ", " +
                      "@lab_code = " + quoted(lab_code) + ", " + "@instrument_id = " + quoted(instrument_id) +
                      ", " + "@test_group = " + quoted(test_group);
    db::Record_Set rs = db::Open_Checked(db_, sql, "the instrument batch");
    if (rs.Eof()) return rs;

    // The answer is kept in memory so it can be handed back from its first row.
    db::Memory_Table table = db::Read_Rest(rs);
    rs.Close();
    db::Record_Set rows = db::Record_Set_Of(table);
    std::vector<Samples> rebuilt;
    for (; !rows.Eof(); rows.Move_Next()) {
        // A row the database flags, or whose flag cannot be read, is left out.
        db::Field error = rows.Value("ERROR");
        if (!error || Try_Double(*error) != 0.0) continue;
        auto col = [&](const char* name) { return db::Optional_Field(rows, name); };
        rebuilt.push_back(Make_Sample(col("DETAIL_ID"), col("BATCH_ID"), rows.Value("POSITION"),
                                      col("SAMPLE_ID"), col("RUN_NO"), col("SAMPLE_TYPE"), col("WEIGHT"),
                                      col("EXTRA"), col("PRIORITY")));
    }
    Sample = std::move(rebuilt);
    return db::Record_Set_Of(std::move(table));
}

void Batch::Add_New_Batch_Sample(const db::Field& Detail_Id, const db::Field& Batch_Id,
                                 const db::Field& Position, const db::Field& Sample_ID,
                                 const db::Field& Run_No, const db::Field& Sample_Type, const db::Field&,
                                 const db::Field& Weight, const db::Field& Extra, const db::Field& Priority) {
    Sample.push_back(
        Make_Sample(Detail_Id, Batch_Id, Position, Sample_ID, Run_No, Sample_Type, Weight, Extra, Priority));
}

} // namespace pcs
