// The embedded lab database's answers to the statements the station sends, through the station's
// own database layer.

#include "embedded_fixture.h"

#include "common/sql.h"

#include <fstream>
#include <iterator>

using namespace pcs;
using namespace pcs::test;

namespace {

class Procedures : public Embedded_Test {
protected:
    std::string Rack_Tests(const std::string& rack) {
        return "exec labrack.dbo.outstanding_rackTests @rack_desc = '" + rack + "', @test_group = 'PrtCount'";
    }
    // A sample with a READY first run of the particle count on the rack.
    std::string Ready_Sample(const std::string& rack) {
        for (auto& r : Rows(Rack_Tests(rack)))
            if (r["STATUS"] == std::optional<std::string>("READY") &&
                r["RUN_NO"] == std::optional<std::string>("1"))
                return *r["WORK_ORDER_NO"];
        throw std::runtime_error("no ready sample on " + rack);
    }
    std::string Save(const std::string& number, const std::string& pc2 = "4446",
                     const std::string& volume = "20") {
        return "exec Lab.dbo.import_PC002 @labnumber = '" + number +
               "', @instrumentid = 'PC002', @filename = 'USER_INTERFACE', @labcode = 'VOLMAR', @method = "
               "'ISO4406', "
               "@sampleVolume = '" +
               volume + "', @factorVolume = 1, @pc2m = '" + pc2 +
               "', @pc5m = '908', @pc15m = '51', @pc25m = '13', @pc50m = '0', @pc100m = '0', @pc200m = '0', "
               "@empnum = 101, @test = 'N' ";
    }
    std::string Password_Check(const std::string& password) {
        return "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '" + SQL_Escape(password) +
               "', @labcode = 'VOLMAR'";
    }
};

} // namespace

TEST_F(Procedures, ValidPasswordAnswersTheEmployee) {
    auto rows = Rows(Password_Check(Login(110).Password));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["EMP_NUM"], "110");
    EXPECT_EQ(rows[0]["ISADMIN"], "1");
    EXPECT_EQ(rows[0]["FIRSTNAME"], "Grace");
    EXPECT_EQ(rows[0]["LASTNAME"], "O'Brien");
    EXPECT_EQ(rows[0]["Qor_Func"], "SUPERVISOR");

    EXPECT_TRUE(Rows(Password_Check("not a password")).empty());
    EXPECT_TRUE(Rows(Password_Check("")).empty());
    // The same password in another lab is not this lab's.
    EXPECT_TRUE(Rows("exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '" +
                     Login(101).Password + "', @labcode = 'OTHERLAB'")
                    .empty());
}

TEST_F(Procedures, DismissedEmployeeGetsARowWithoutNumber) {
    auto rows = Rows(Password_Check(Login(120).Password));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0]["EMP_NUM"].has_value());
    EXPECT_NE(rows[0]["MESSAGE"]->find("no longer active"), std::string::npos);
}

TEST_F(Procedures, PasswordsAreStoredOnlyAsHashesAndAreUniqueWithinALab) {
    embedded::Lab_Admin admin(Lab_File);
    embedded::Employee_Spec e;
    e.Emp_Num = 130;
    e.First_Name = "Ines";
    e.Last_Name = "D'Arcy";
    admin.Add_Employee(e, "It's-9 ok");
    auto rows = Rows(Password_Check("It's-9 ok"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["EMP_NUM"], "130");

    e.Emp_Num = 131;
    EXPECT_THROW(admin.Add_Employee(e, "It's-9 ok"), embedded::Admin_Error);
    e.Lab_Code = "OTHERLAB";
    EXPECT_NO_THROW(admin.Add_Employee(e, "It's-9 ok"));

    for (const char* name : {"lab.db", "lab.hadel.db", "lab.labrack.db", "lab.sop.db"}) {
        std::ifstream f(Folder.Path() / name, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.find("It's-9 ok"), std::string::npos) << name;
        EXPECT_EQ(bytes.find(Login(101).Password), std::string::npos) << name;
    }
}

TEST_F(Procedures, RackTestsComeOnePerPositionInOrderWithGapsLeftOpen) {
    auto rows = Rows(Rack_Tests("PC-R005")); // the seed leaves positions 7 and 8 of this rack empty
    ASSERT_EQ(rows.size(), 18u);
    int last = 0;
    for (auto& r : rows) {
        int pos = std::stoi(*r["POSITION"]);
        EXPECT_GT(pos, last);
        last = pos;
        EXPECT_NE(pos, 7);
        EXPECT_NE(pos, 8);
        for (const char* col :
             {"RACK_ID", "LAB_ID", "WORK_ORDER_NO", "PRIORITY", "RUN_NO", "RECEIVED_DATETIME"})
            EXPECT_TRUE(r[col].has_value()) << col;
        EXPECT_EQ(r["RACK_DESC"], "PC-R005");
    }
    // A bottle routed to screening only shows with an empty status at the particle-count station.
    auto first = Rows(Rack_Tests("PC-R001"));
    ASSERT_EQ(first.size(), 20u);
    EXPECT_EQ(first[19]["STATUS"], "");
    EXPECT_TRUE(Rows(Rack_Tests("NO SUCH RACK")).empty());
}

TEST_F(Procedures, RackAcquisitionIsExclusive) {
    auto get = [&](int emp, const std::string& action, const std::string& rack = "2") {
        return Rows("exec labrack.dbo.rack_acquisition_upd @rack_id = " + rack + ", @emp_num = " +
                    std::to_string(emp) + ", @station = 'PARTICLE COUNT', @action = '" + action + "'")
            .at(0);
    };
    EXPECT_EQ(get(101, "GET")["ERROR"], "0");
    EXPECT_EQ(get(101, "GET")["ERROR"], "0"); // taking one's own rack again is fine
    auto refused = get(102, "GET");
    EXPECT_EQ(refused["ERROR"], "1");
    EXPECT_EQ(refused["CURR_USER"], "101");
    EXPECT_EQ(refused["CURR_STATION"], "PARTICLE COUNT");
    EXPECT_NE(refused["MESSAGE"]->find("Ana Ferreira"), std::string::npos);
    EXPECT_EQ(get(102, "PUT")["ERROR"], "1"); // nobody gives back another's rack
    EXPECT_EQ(One(Rack_Tests("PC-R002")), "2");
    EXPECT_EQ(Rows(Rack_Tests("PC-R002"))[0]["CURRENT_RACK_STATUS"], "IN USE");
    EXPECT_EQ(get(101, "PUT")["ERROR"], "0");
    EXPECT_EQ(get(102, "GET")["ERROR"], "0");
    EXPECT_EQ(get(101, "GET", "999")["ERROR"], "2");
    EXPECT_FALSE(Db->Open_Recordset("exec labrack.dbo.rack_acquisition_upd @rack_id = 2, @emp_num = 101, "
                                    "@station = 'PARTICLE COUNT', @action = 'TAKE'")
                     .Is_Open());
}

TEST_F(Procedures, OutstandingRacksFilterByPriorityAndPriorityListUsesTheFourFilters) {
    auto all = Rows(
        "labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'PrtCount' , @priority = null");
    EXPECT_EQ(all.size(), 14u);
    auto prios = Rows("labrack.dbo.get_rack_priority 'VOLMAR' , 'PrtCount' , 0, 0, 0");
    std::vector<std::string> names;
    for (auto& p : prios)
        names.push_back(*p["PRIORITY"]);
    EXPECT_EQ(names, (std::vector<std::string>{"CRITICAL", "URGENT", "RUSH", "RETEST"}));
    for (const std::string& p : names) {
        auto racks = Rows("labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'PrtCount' , "
                          "@priority = '" +
                          p + "'");
        ASSERT_FALSE(racks.empty()) << p;
        EXPECT_LT(racks.size(), all.size()) << p;
        for (auto& r : racks) {
            // Each listed rack holds an outstanding test of that priority.
            bool found = false;
            for (auto& pos : Rows(Rack_Tests(*r["RACK_DESC"]))) {
                bool retest =
                    pos["PRIORITY"] == std::optional<std::string>("NORMAL") && std::stoi(*pos["RUN_NO"]) > 1;
                std::string eff = retest ? "RETEST" : *pos["PRIORITY"];
                if (pos["STATUS"] == std::optional<std::string>("READY") && eff == p) found = true;
            }
            EXPECT_TRUE(found) << p << " " << *r["RACK_DESC"];
        }
    }
}

TEST_F(Procedures, TestGroupCountCountsOutstandingTests) {
    std::string direct =
        One("select count(*) from lab.dbo.lab_tracking (nolock) where test_group = 'PrtCount' "
            "and status = 'READY'");
    auto rows = Rows("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', 'PrtCount') ");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["COUNT"], direct);
    EXPECT_TRUE(
        Rows("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', 'PrtCount') where isWeighed = 1 ")
            .empty());
    auto weighed = Rows("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', null) where isWeighed = 1 ");
    EXPECT_GE(weighed.size(), 1u);
    // Saving a result takes one test off the count.
    std::string sample = Ready_Sample("PC-R001");
    Rows(Save(sample));
    EXPECT_EQ(
        std::stoi(*Rows("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', 'PrtCount') ")[0]["COUNT"]),
        std::stoi(direct) - 1);
}

TEST_F(Procedures, SampleSearchFindsTheRack) {
    std::string sample = Ready_Sample("PC-R003");
    std::string q =
        "exec labrack.dbo.Get_RackSample  @lab_number = '" + sample +
        "', @lab_code = 'VOLMAR', @lab_id = null, @test_group = 'PrtCount', @weight_required = 0, "
        "@showWeighed = 0, @status = 'READY', @test = 'n' ";
    EXPECT_EQ(One(q), "PC-R003");
    db::Record_Set none = Db->Open_Recordset(
        "exec labrack.dbo.Get_RackSample  @lab_number = '99999999', @lab_code = 'VOLMAR', @lab_id = null, "
        "@test_group = 'PrtCount', @weight_required = 0, @showWeighed = 0, @status = 'READY', @test = 'n' ");
    ASSERT_TRUE(none.Is_Open());
    EXPECT_TRUE(none.Has_Column("RACK_DESC"));
    EXPECT_TRUE(none.Eof());
}

TEST_F(Procedures, BathKeepsStepWithAddAndDelete) {
    std::string a = Ready_Sample("PC-R002"), b = Ready_Sample("PC-R006");
    auto bath = [&](const std::string& sample, int pos, const std::string& action, const std::string& extra) {
        return Rows("exec labrack.dbo.set_PC_Bath @sampleId = '" + sample + "', @extra = " + extra +
                    ", @empNum = 101, @position = " + std::to_string(pos) +
                    (action == "ADD" ? ", @instrumentId = 'PC002'" : "") + ", @action = '" + action +
                    "', @test = 0")
            .at(0);
    };
    EXPECT_EQ(bath(a, 1, "ADD", "'RD=PC-R002RID=2'")["ERROR"], "0");
    EXPECT_EQ(bath(a, 1, "ADD", "'RD=PC-R002RID=2'")["ERROR"], "0"); // the same again changes nothing
    EXPECT_EQ(bath(b, 1, "ADD", "'RD=PC-R006RID=6'")["ERROR"], "1"); // the slot is taken
    EXPECT_EQ(bath(a, 2, "ADD", "'RD=PC-R002RID=2'")["ERROR"], "1"); // the sample is in already
    EXPECT_EQ(bath(b, 31, "ADD", "null")["ERROR"], "1");
    EXPECT_EQ(bath(b, 30, "ADD", "'RD=PC-R006RID=6'")["ERROR"], "0");

    std::string stored = "exec labrack.dbo.get_batch_samples @batch_id = null, @lab_code = 'VOLMAR', "
                         "@instrument_id = 'PC002', @test_group = 'PrtCount'";
    auto rows = Rows(stored);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["ERROR"], "0");
    EXPECT_EQ(rows[0]["POSITION"], "1");
    EXPECT_EQ(rows[0]["SAMPLE_ID"], a);
    EXPECT_EQ(rows[0]["EXTRA"], "RD=PC-R002RID=2");
    EXPECT_EQ(rows[0]["SAMPLE_TYPE"], "SAMPLE");
    EXPECT_TRUE(rows[0]["PRIORITY"].has_value());
    EXPECT_EQ(rows[1]["POSITION"], "30");
    // PC-R006 is the older rack.
    EXPECT_EQ(One("exec labrack.dbo.Get_PC_Bath_OldestRack @labcode = 'VOLMAR'"), "PC-R006");

    EXPECT_EQ(bath(b, 30, "DELETE", "null")["ERROR"], "0");
    EXPECT_EQ(bath(b, 30, "DELETE", "null")["ERROR"], "0"); // gone already: harmless
    EXPECT_EQ(Rows(stored).size(), 1u);
    EXPECT_EQ(One("exec labrack.dbo.Get_PC_Bath_OldestRack @labcode = 'VOLMAR'"), "PC-R002");
    EXPECT_TRUE(Rows("exec labrack.dbo.get_batch_samples @batch_id = null, @lab_code = 'VOLMAR', "
                     "@instrument_id = 'PC999', @test_group = 'PrtCount'")
                    .empty());
}

TEST_F(Procedures, SavingACountStoresItCodesItAndCompletesTheTest) {
    std::string sample = Ready_Sample("PC-R001");
    auto saved = Rows(Save(sample)).at(0);
    EXPECT_EQ(saved["STATUS"], "DONE");
    EXPECT_EQ(saved["LAB_CODE"], "VOLMAR");
    EXPECT_EQ(saved["RUN_NO"], "1");
    // 4446, 908 and 51 in 20 mL: 222, 45 and 3 per mL, coded as the station codes them.
    EXPECT_EQ(saved["ISO_CODE"], "15/13/8");
    auto stored = Rows("select PC2, PC2_ML, SAMPLE_VOLUME, ISO_2, ISO_15 from lab.dbo.testgroup_pc where "
                       "run_no = 1 and lab_id = " +
                       *saved["LAB_ID"])
                      .at(0);
    EXPECT_EQ(std::stod(*stored["PC2"]), 4446);
    EXPECT_DOUBLE_EQ(std::stod(*stored["PC2_ML"]), 222.3);
    EXPECT_EQ(stored["ISO_15"], "8");

    // Saved twice: there is no outstanding test any more.
    EXPECT_EQ(Rows(Save(sample)).at(0)["STATUS"], "NOT_READY");
    EXPECT_EQ(Rows(Save("99999999")).at(0)["STATUS"], "NOT_FOUND");
    std::string other = Ready_Sample("PC-R001");
    EXPECT_EQ(Rows(Save(other, "4446", "0")).at(0)["STATUS"], "ERROR");
    // A severe count waits for review: PENDING, which the station takes as saved.
    EXPECT_EQ(Rows(Save(other, "2000000")).at(0)["STATUS"], "PENDING");
    // A count that is not a number fails like a conversion on the server.
    std::string third = Ready_Sample("PC-R001");
    EXPECT_FALSE(Db->Open_Recordset(Save(third, "12x")).Is_Open());
    EXPECT_EQ(Rows(Save(third)).at(0)["STATUS"], "DONE");
}

TEST_F(Procedures, HistoryAnswersTheLastCountOrNothing) {
    std::string sample = Ready_Sample("PC-R002");
    std::string q = "exec labrack.dbo.get_pc_history 'VOLMAR', '" + sample + "'";
    Rows(Save(sample));
    Rows("exec Lab.dbo.labtrack_inserttest  @labnumber = '" + sample +
         "', @labcode = 'VOLMAR', @testgrp = 'PrtCount', @class = 'REDO', @comments = 'Test inserted by "
         "technician "
         "(Ana Ferreira)',@return_status = 'Y'");
    auto h = Rows(q).at(0);
    EXPECT_EQ(h["STATUS"], "ENTERED");
    EXPECT_EQ(h["ISO"], "15/13/8");
    EXPECT_EQ(h["ISO_5"], "13");
    EXPECT_TRUE(Rows("exec labrack.dbo.get_pc_history 'VOLMAR', '99999999'").empty());
    // A component whose last sample was never counted reads NOT_ENTERED.
    std::string not_entered =
        One("select s2.LAB_NUMBER from lab.dbo.samples s join lab.dbo.lab_tracking t on t.LAB_ID = s.LAB_ID "
            "join lab.dbo.samples s2 on s2.COMPONENT_CODE = s.COMPONENT_CODE and s2.RECEIVED_DATETIME > "
            "s.RECEIVED_DATETIME where t.TEST_ACTION = 'TOO_DARK' and not exists (select 1 from "
            "lab.dbo.samples s3 "
            "where s3.COMPONENT_CODE = s.COMPONENT_CODE and s3.RECEIVED_DATETIME > s.RECEIVED_DATETIME and "
            "s3.RECEIVED_DATETIME < s2.RECEIVED_DATETIME) order by s2.LAB_NUMBER limit 1");
    EXPECT_EQ(Rows("exec labrack.dbo.get_pc_history 'VOLMAR', '" + not_entered + "'").at(0)["STATUS"],
              "NOT_ENTERED");
    // Two samples of one component received together: the second's history is the first, never both ways.
    embedded::Lab_Admin admin(Lab_File);
    embedded::Rack_Spec twins;
    twins.Rack_Desc = "PC-TWINS";
    twins.Component_Code = "CMP-TWIN";
    twins.Lab_Numbers = admin.New_Lab_Numbers("VOLMAR", 2);
    admin.Route_Rack(twins);
    EXPECT_TRUE(Rows("exec labrack.dbo.get_pc_history 'VOLMAR', '" + twins.Lab_Numbers[0] + "'").empty());
    auto second = Rows("exec labrack.dbo.get_pc_history 'VOLMAR', '" + twins.Lab_Numbers[1] + "'");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]["STATUS"], "NOT_ENTERED");
    EXPECT_EQ(second[0]["LAB_NUMBER"], twins.Lab_Numbers[0]);
}

TEST_F(Procedures, RedoAddsOneRunAndTestActionTakesItOff) {
    std::string sample = Ready_Sample("PC-R001");
    std::string redo =
        "exec Lab.dbo.labtrack_inserttest  @labnumber = '" + sample +
        "', @labcode = 'VOLMAR', @testgrp = 'PrtCount', @class = 'REDO', @comments = 'Test inserted "
        "by technician (Grace O''Brien)',@return_status = 'Y'";
    // Still outstanding: no second run.
    EXPECT_EQ(Rows(redo).at(0)["RUN_NO"], "1");
    Rows(Save(sample));
    auto r = Rows(redo).at(0);
    EXPECT_EQ(r["STATUS"], "READY");
    EXPECT_EQ(r["RUN_NO"], "2");
    EXPECT_EQ(One("select COMMENTS from lab.dbo.lab_tracking where run_no = 2 and lab_id = " + *r["LAB_ID"]),
              "Test inserted by technician (Grace O'Brien)");

    std::string action =
        "exec lab.dbo.labtrack_testaction @labnumber = '" + sample +
        "', @empnum = 101, @labcode = 'VOLMAR', @testgrp = 'PrtCount', @testaction = 'TOO_DARK' ";
    auto a = Rows(action).at(0);
    EXPECT_EQ(a["LAB_STATUS"], "DONE");
    EXPECT_EQ(Rows(action).at(0)["LAB_STATUS"], "DONE"); // nothing outstanding: the last run's status
    EXPECT_NE(Rows(action).at(0)["MESSAGE"]->find("no outstanding"), std::string::npos);
    EXPECT_EQ(Rows("exec lab.dbo.labtrack_testaction @labnumber = '" + Ready_Sample("PC-R001") +
                   "', @empnum = 101, @labcode = 'VOLMAR', @testgrp = 'PrtCount', @testaction = 'SPILLED' ")
                  .at(0)["LAB_STATUS"],
              "ERROR");
    EXPECT_EQ(
        Rows("exec Lab.dbo.labtrack_inserttest  @labnumber = '99999999', @labcode = 'VOLMAR', @testgrp = "
             "'PrtCount', @class = 'REDO', @comments = 'x',@return_status = 'Y'")
            .at(0)["STATUS"],
        "NOT_FOUND");
}

TEST_F(Procedures, ScreeningRecordSavesAndReadsItsRatings) {
    std::string lab_id = One("select t.LAB_ID from lab.dbo.lab_tracking t where t.TEST_GROUP = 'SCREEN' and "
                             "t.STATUS = 'READY' order by t.LAB_ID limit 1");
    auto saved =
        Rows(
            "exec lab.dbo.tgrp_Screen_upd @labid = " + lab_id +
            ", @saveaction = 'UPDATE', @testgroup = 'SCREEN', @white_metal = 'NONE' , @babbitt = 'NONE' , "
            "@precipitate = 'NONE' , @silt = 'LIGHT' , @debris = 'NONE' , @dirt = 'NONE' , @appearance = "
            "'NORML' , @odor = 'NORML' , @h2o_emul = 'NEG' , @h2o_free = null, @completed = 'N', @runno = 1, "
            "@status_visual = 0, @status_spat = -1, @status_image = 0")
            .at(0);
    EXPECT_EQ(saved["LAB_STATUS"], "READY");
    EXPECT_TRUE(saved["SAMPLE_PRIORITY"].has_value());
    auto q = Rows("exec lab.dbo.tgrp_query @testgroup = 'SCREEN', @labid = " + lab_id +
                  ", @labcode = 'VOLMAR', @status = 'READY', @histories = 'N'")
                 .at(0);
    EXPECT_EQ(q["SILT"], "LIGHT");
    EXPECT_FALSE(q["H2O_FREE"].has_value());
    EXPECT_EQ(q["STATUS_SPAT"], "-1");
    auto done = Rows("exec lab.dbo.tgrp_Screen_upd @labid = " + lab_id +
                     ", @saveaction = 'UPDATE', @testgroup = 'SCREEN', @h2o_free = 'NEG' , @completed = 'Y', "
                     "@runno = 1, @status_visual = 0, @status_spat = 0, @status_image = 0")
                    .at(0);
    EXPECT_EQ(done["LAB_STATUS"], "DONE");
    // The screening station's removal names the sample by lab id.
    std::string other = One("select t.LAB_ID from lab.dbo.lab_tracking t where t.TEST_GROUP = 'SCREEN' and "
                            "t.STATUS = 'READY' order by t.LAB_ID limit 1");
    EXPECT_EQ(Rows("exec lab.dbo.labtrack_testaction @empnum = 104, @labId = '" + other +
                   "', @testgrp = 'SCREEN', @testAction = 'BROKEN'")
                  .at(0)["LAB_STATUS"],
              "DONE");
    EXPECT_FALSE(Db->Open_Recordset("exec lab.dbo.tgrp_Screen_upd @labid = 1, @runno = 9, @completed = 'Y'")
                     .Is_Open());
}

TEST_F(Procedures, WeighingUpdatesRunAsTheStationWritesThem) {
    std::string lab_id =
        One("select LAB_ID from lab.dbo.lab_tracking where TEST_GROUP = 'KF' and STATUS = 'READY' "
            "order by LAB_ID limit 1");
    EXPECT_TRUE(Db->Execute_SQL("update lab.dbo.testgroup_kf set    weight =  '5.25'  where  lab_id = " +
                                lab_id + " and    run_no = 1 and    date_completed is null "));
    EXPECT_TRUE(
        Db->Execute_SQL("update lab.dbo.lab_tracking set    weight =  '5.25'  where  lab_id = " + lab_id +
                        " and    test_group = 'KF' and    status = 'READY' and    isNumeric(weight) = 0 "));
    EXPECT_EQ(One("select weight from lab.dbo.testgroup_kf where lab_id = " + lab_id), "5.25");
    EXPECT_EQ(One("select weight from lab.dbo.lab_tracking where test_group = 'KF' and lab_id = " + lab_id),
              "5.25");
    EXPECT_FALSE(Db->Execute_SQL("update lab.dbo.testgroup_xx set weight = null where lab_id = 1"));
    EXPECT_TRUE(Alerts.Alerts.empty());
}

TEST_F(Procedures, SoftwareSettingsDocumentsAndEmployeeListAnswerAsSelects) {
    std::string id = One("SELECT * FROM   labrack.dbo.Lab_Software (nolock) WHERE  name = 'pcstation' ");
    auto settings =
        Rows("SELECT * FROM   labrack.dbo.Lab_Software_Settings (nolock) WHERE  software_id = " + id +
             " AND    type = 'NORMAL' ORDER BY     software_id, Setting");
    EXPECT_GE(settings.size(), 17u);
    for (auto& s : settings)
        EXPECT_EQ(s["TYPE"], "NORMAL");

    auto docs = Rows("select * from sop.dbo.documents (nolock) where charindex('PrtCount;', Test_Group) > 0");
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0]["DOC_ID"], "LWI-PC-001");
    EXPECT_EQ(docs[0]["DOC_TYPE"], "pdf");
    EXPECT_TRUE(
        Rows("select * from sop.dbo.documents (nolock) where charindex('P;', Test_Group) > 0").empty());

    // The department list with supervisors, built exactly as the employee record builds it.
    std::string list =
        "select * from   hadel.dbo.view_employees(nolock) where  lab_code = 'VOLMAR' and    "
        "dismissed = 'N'and    (func_group is not null and func_group = 'PC') union select * from   "
        "hadel.dbo.view_employees(nolock)where  emp_num in ( select  distinct supervisor_id from    "
        "hadel.dbo.view_employees(nolock) where   lab_code = 'VOLMAR' and     (func_group is not null "
        "and func_group = 'PC') and    dismissed = 'N')Order by    job_desc, full_name ";
    auto people = Rows(list);
    std::vector<std::string> names;
    for (auto& p : people)
        names.push_back(p["FULL_NAME"].value_or("?"));
    EXPECT_EQ(names,
              (std::vector<std::string>{"Grace O'Brien", "Ana Ferreira", "Ben Okafor", "Carla Jensen"}));
}

TEST_F(Procedures, UnknownStatementsAndBadCallsGiveErrorRecords) {
    struct Case {
        std::string Sql;
        int Native;
        std::string State;
        std::string Text;
    };
    std::vector<Case> cases = {
        {"exec lab.dbo.drop_everything @now = 1", 2812, "42000",
         "Could not find stored procedure 'lab.dbo.drop_everything'."},
        {"exec sop.dbo.validate_password @UserPassword = 'x'", 2812, "42000",
         "Could not find stored procedure"},
        {"exec lab.dbo.validate_password @UserPassword = 'x', @colour = 'red'", 8145, "42000",
         "@colour is not a parameter"},
        {"exec labrack.dbo.get_pc_history 'VOLMAR', '1', '2'", 8144, "42000", "too many arguments"},
        {"exec labrack.dbo.get_pc_history @lab_code = 'VOLMAR'", 201, "42000",
         "expects parameter '@lab_number'"},
        {"exec labrack.dbo.set_PC_Bath @sampleId = 'x', @position = 'one', @action = 'ADD'", 8114, "22018",
         "converting"},
        {"select * from lab.dbo.no_such_table", 208, "42S02", "Invalid object name 'lab.dbo.no_such_table'."},
        {"select no_such_column from lab.dbo.samples", 207, "42S22", "Invalid column name 'no_such_column'."},
        {"select from where", 102, "42000", "Incorrect syntax"},
        {"select * from payroll.dbo.salaries", 208, "42S02", "Invalid object name 'payroll.dbo.salaries'."},
    };
    for (const auto& c : cases) {
        auto out = Run(c.Sql);
        EXPECT_FALSE(out.Ok) << c.Sql;
        EXPECT_EQ(out.Rows, nullptr) << c.Sql;
        ASSERT_EQ(out.Errors.size(), 1u) << c.Sql;
        EXPECT_EQ(out.Errors[0].Native_Error, c.Native) << c.Sql;
        EXPECT_EQ(out.Errors[0].Sql_State, c.State) << c.Sql;
        EXPECT_NE(out.Errors[0].Number, 0) << c.Sql;
        EXPECT_NE(out.Errors[0].Description.find(c.Text), std::string::npos) << out.Errors[0].Description;
    }
    EXPECT_EQ(Run("select * from lab.dbo.no_such_table").Errors[0].Number, -2147217865);
    EXPECT_EQ(Run("exec x").Errors[0].Number, -2147217900);
    // The database layer turns a failure into a result set that was never opened.
    db::Record_Set rs = Db->Open_Recordset("exec lab.dbo.drop_everything");
    EXPECT_THROW(rs.Eof(), db::Not_Open_Error);
}

TEST_F(Procedures, TrialCallsAnswerAndChangeNothing) {
    std::string sample = Ready_Sample("PC-R001");
    std::string trial = Save(sample);
    trial.replace(trial.find("@test = 'N'"), 11, "@test = 'Y'");
    EXPECT_EQ(Rows(trial).at(0)["STATUS"], "DONE");
    EXPECT_EQ(Rows(Save(sample)).at(0)["STATUS"], "DONE"); // still outstanding after the trial
}

TEST_F(Procedures, ConnectingNeedsAnExistingLabDatabase) {
    db::Connect_Options o;
    EXPECT_THROW(Backend.Connect(embedded::Embedded_Connect_String(Folder.Path() / "missing.db"), o),
                 db::Connect_Error);
    EXPECT_FALSE(fs::exists(Folder.Path() / "missing.db")); // nothing created by trying
    {
        std::ofstream junk(Folder.Path() / "junk.db");
        junk << "not a database";
    }
    for (const char* s : {".labrack", ".sop", ".hadel"})
        std::ofstream(Folder.Path() / (std::string("junk") + s + ".db"));
    EXPECT_THROW(Backend.Connect(embedded::Embedded_Connect_String(Folder.Path() / "junk.db"), o),
                 db::Connect_Error);
    EXPECT_THROW(Backend.Connect("EMBEDDED=", o), db::Connect_Error);
    EXPECT_THROW(Backend.Connect("DSN=somewhere", o), db::Connect_Error);
    // Through the layer, an unreachable database reaches the caller as Connect_Error.
    Globals_.Connect_String = embedded::Embedded_Connect_String(Folder.Path() / "missing.db");
    EXPECT_THROW(Db->Open_Recordset("select 1"), db::Connect_Error);
}

TEST_F(Procedures, ADatabaseReplacedAtTheSamePathIsNotServedFromAnOldConnection) {
    EXPECT_EQ(One("select count(*) from hadel.dbo.employees"), "7");
    embedded::Lab_Admin::Create(Lab_File, true);
    EXPECT_EQ(One("select count(*) from hadel.dbo.employees"), "0");
}

// The lookup key is in the key file beside the database files (owner only), never inside them; without
// it a login is refused with an error naming the file, and no new key is made behind anyone's back.
// An older database that kept its key inside gets it moved out, and its logins still work.
TEST_F(Procedures, PasswordKeyLivesOnlyInItsOwnFile) {
    fs::path key_file = Folder.Path() / "lab.key";
    std::ifstream k(key_file);
    std::string key;
    std::getline(k, key);
    ASSERT_EQ(key.size(), 64u);
    auto file_bytes = [](const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    };
    for (const char* name : {"lab.db", "lab.hadel.db", "lab.labrack.db", "lab.sop.db"})
        EXPECT_EQ(file_bytes(Folder.Path() / name).find(key), std::string::npos) << name;
    // Secrets at rest: the key for its owner and group to read, the database files for them alone.
    EXPECT_EQ(fs::status(key_file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    for (const char* name : {"lab.db", "lab.hadel.db", "lab.labrack.db", "lab.sop.db"})
        EXPECT_EQ(fs::status(Folder.Path() / name).permissions() & fs::perms::others_all, fs::perms::none)
            << name;
    // A key others can read is refused, as ssh refuses such a private key, with the way to mend it.
    fs::permissions(key_file, fs::perms::others_read, fs::perm_options::add);
    db::Exec_Outcome readable = Run(Password_Check(Login(101).Password));
    EXPECT_FALSE(readable.Ok);
    ASSERT_EQ(readable.Errors.size(), 1u);
    EXPECT_NE(readable.Errors[0].Description.find("can be read by others (mode 644)"), std::string::npos)
        << readable.Errors[0].Description;
    EXPECT_NE(readable.Errors[0].Description.find("chmod 640 " + key_file.string()), std::string::npos);
    fs::permissions(key_file, fs::perms::others_read, fs::perm_options::remove);

    fs::rename(key_file, Folder.Path() / "kept.key");
    db::Exec_Outcome out = Run(Password_Check(Login(101).Password));
    EXPECT_FALSE(out.Ok);
    ASSERT_EQ(out.Errors.size(), 1u);
    EXPECT_NE(out.Errors[0].Description.find(key_file.string()), std::string::npos)
        << out.Errors[0].Description;
    embedded::Lab_Admin admin(Lab_File);
    EXPECT_THROW(admin.Set_Password(101, "55554444"), embedded::Admin_Error);
    EXPECT_FALSE(fs::exists(key_file));

    // As an older labdb left it: the key inside.
    ASSERT_TRUE(Run("create table lab.dbo.db_keys (PURPOSE text primary key, KEY text not null)").Ok);
    ASSERT_TRUE(Run("insert into lab.dbo.db_keys values ('password_lookup', '" + key + "')").Ok);
    EXPECT_TRUE(embedded::Lab_Admin(Lab_File).Move_Key_Out());
    EXPECT_EQ(Rows(Password_Check(Login(101).Password)).at(0)["EMP_NUM"], "101");
    EXPECT_EQ(file_bytes(Lab_File).find(key), std::string::npos);
    EXPECT_FALSE(embedded::Lab_Admin(Lab_File).Move_Key_Out());
}
