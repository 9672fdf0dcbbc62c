// The racks' outstanding tests counted once per process and kept up to date from the change logs the
// database's triggers write, so that the outstanding-racks list and the priority filters answer from
// memory instead of joining every outstanding test of the lab (5,000 racks: 100,000 rows) on each call.
// Internal to the embedded adapter.
#pragma once

#include "sqlite_db.h"

#include <optional>
#include <string>

namespace pcs::embedded {

// The indexes, change-log tables and triggers the summary and the racks' statements rely on; each
// statement may run again. Create_Schema runs them; an older lab database gets them when opened.
const std::string& Rack_Summary_Schema_Sql();

// labrack.dbo.outstanding_racks without the weighing filters: the same rows in the same order as its
// statement. nullopt when the file set keeps no change logs (it could not be brought up to date).
std::optional<Table> Summary_Outstanding_Racks(Sqlite_Db& db, const std::string& lab_code,
                                               const std::optional<std::string>& test_group,
                                               const std::optional<std::string>& priority);

// labrack.dbo.get_rack_priority without the weighing filter; nullopt as above.
std::optional<Table> Summary_Rack_Priorities(Sqlite_Db& db, const std::string& lab_code,
                                             const std::optional<std::string>& test_group);

// The same two lists as their statements answer them, joining every outstanding test.
Table Outstanding_Racks_Statement(Sqlite_Db& db, const std::string& lab,
                                  const std::optional<std::string>& group,
                                  const std::optional<std::string>& priority, bool weight_required,
                                  std::optional<long long> is_weighed);
Table Rack_Priorities_Statement(Sqlite_Db& db, const std::string& lab,
                                const std::optional<std::string>& group, bool weight_required);

// Counts the racks now, so that the first list after it answers at once.
void Warm_Rack_Summary(Sqlite_Db& db);

} // namespace pcs::embedded
