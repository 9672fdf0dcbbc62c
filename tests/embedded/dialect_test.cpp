// Reading the station's statement texts: procedure calls and the rewrite of plain statements.

#include "sql_dialect.h"

#include <gtest/gtest.h>

using namespace pcs::embedded;

namespace {

Procedure_Call Call(const std::string& sql) {
    auto parsed = Parse_Statement(sql);
    EXPECT_TRUE(std::holds_alternative<Procedure_Call>(parsed)) << sql;
    return std::get<Procedure_Call>(parsed);
}

std::string Sql(const std::string& sql) {
    auto parsed = Parse_Statement(sql);
    EXPECT_TRUE(std::holds_alternative<Plain_Statement>(parsed)) << sql;
    return std::get<Plain_Statement>(parsed).Sql;
}

int Native_Error_Of(const std::string& sql) {
    try {
        Parse_Statement(sql);
    } catch (const Dialect_Error& e) {
        return e.Native();
    }
    return 0;
}

} // namespace

TEST(Dialect, StringLiteralsUndoDoubledQuotesAndKeepEverythingInside) {
    auto toks = Tokenize("select 'O''Brien', N'x -- y', '' from t -- note\n");
    std::vector<std::string> strings;
    for (const auto& t : toks)
        if (t.Kind == Token_Kind::String) strings.push_back(t.Value);
    ASSERT_EQ(strings.size(), 3u);
    EXPECT_EQ(strings[0], "O'Brien");
    EXPECT_EQ(strings[1], "x -- y");
    EXPECT_EQ(strings[2], "");
    EXPECT_EQ(Native_Error_Of("select 'never closed"), 105);
    EXPECT_EQ(Native_Error_Of("select 1 /* open"), 113);
}

TEST(Dialect, ExecWithNamedArgumentsOfEveryKind) {
    auto c =
        Call("exec Lab.dbo.import_PC002 @labnumber = '00100094', @factorVolume = 1, @empnum = -12, "
             "@comments = 'It''s (fine), @x = 1',@return_status = 'Y', @extra = null, @sampleVolume = .5 ");
    EXPECT_EQ(c.Database, "Lab");
    EXPECT_EQ(c.Owner, "dbo");
    EXPECT_EQ(c.Name, "import_PC002");
    ASSERT_EQ(c.Arguments.size(), 7u);
    EXPECT_EQ(c.Arguments[0].Name, "labnumber");
    EXPECT_EQ(c.Arguments[0].Value, "00100094");
    EXPECT_EQ(c.Arguments[1].Name, "factorvolume");
    EXPECT_EQ(c.Arguments[1].Value, "1");
    EXPECT_EQ(c.Arguments[2].Value, "-12");
    EXPECT_EQ(c.Arguments[3].Value, "It's (fine), @x = 1");
    EXPECT_EQ(c.Arguments[4].Name, "return_status");
    EXPECT_FALSE(c.Arguments[5].Value.has_value());
    EXPECT_EQ(c.Arguments[6].Value, ".5");
}

TEST(Dialect, CallsWithoutExecAndWithPositionalArguments) {
    auto racks = Call("labrack.dbo.outstanding_racks  @lab_code = 'VOLMAR' , @test_group = 'PrtCount' , "
                      "@priority = null, @spat = -1, @visual = null ");
    EXPECT_EQ(racks.Name, "outstanding_racks");
    EXPECT_EQ(racks.Arguments.size(), 5u);

    auto prio = Call("labrack.dbo.get_rack_priority 'VOLMAR' , null, 0, 0, 1, 0 , 0");
    ASSERT_EQ(prio.Arguments.size(), 7u);
    EXPECT_TRUE(prio.Arguments[0].Name.empty());
    EXPECT_EQ(prio.Arguments[0].Value, "VOLMAR");
    EXPECT_FALSE(prio.Arguments[1].Value.has_value());

    auto hist = Call("exec labrack.dbo.get_pc_history 'VOLMAR', '00100094'");
    EXPECT_EQ(hist.Arguments[1].Value, "00100094");

    auto bare = Call("exec validate_password");
    EXPECT_TRUE(bare.Database.empty());
    EXPECT_TRUE(bare.Arguments.empty());
}

TEST(Dialect, MalformedCallsAreRefusedWithTheServersNumbers) {
    EXPECT_EQ(Native_Error_Of("exec p @a = 1, 2"), 119);         // positional after named
    EXPECT_EQ(Native_Error_Of("exec p @a = @b"), 137);           // variables are not declared
    EXPECT_EQ(Native_Error_Of("exec p @a = 1 2"), 102);          // missing comma
    EXPECT_EQ(Native_Error_Of("exec p; exec q"), 102);           // one call per statement
    EXPECT_EQ(Native_Error_Of("   "), 102);                      // nothing at all
    EXPECT_EQ(Native_Error_Of("attach database 'x' as y"), 262); // the file set is fixed
}

TEST(Dialect, ThreePartNamesHintsAndFunctionsBecomeSqlite) {
    EXPECT_EQ(Sql("select * from sop.dbo.documents (nolock) where charindex('PC;', Test_Group) > 0"),
              "select * from sop.\"documents\"   where charindex('PC;', Test_Group) > 0");
    // The employee list runs "(nolock)" straight into "where": a blank keeps the words apart.
    EXPECT_EQ(Sql("select * from hadel.dbo.view_employees(nolock)where  emp_num = 1"),
              "select * from hadel.\"view_employees\" where  emp_num = 1");
    EXPECT_EQ(
        Sql("update lab.dbo.lab_tracking with (nolock) set weight = ' 5.25' where isNumeric(weight) = 0"),
        "update main.\"lab_tracking\"   set weight = ' 5.25' where isNumeric(weight) = 0");
    EXPECT_EQ(Sql("select top 5 [LAB_ID], isnull(x, 0) from LAB..samples order by 1"),
              "select   \"LAB_ID\", ifnull(x, 0) from main.\"samples\" order by 1 limit 5");
    // LIMIT ends the whole text, so a TOP anywhere but the outer select would limit the wrong rows.
    EXPECT_EQ(Native_Error_Of("select x from t where x in (select top 1 x from u)"), 102);
    // Names inside string literals are data, not names.
    EXPECT_EQ(Sql("select 'lab.dbo.x (nolock)' as t"), "select 'lab.dbo.x (nolock)' as t");
    // Column references with two parts stay as they are.
    EXPECT_EQ(Sql("select e.emp_num from hadel.dbo.employees e"),
              "select e.emp_num from hadel.\"employees\" e");
    EXPECT_EQ(Native_Error_Of("select * from payroll.dbo.salaries"), 208);
}

TEST(Dialect, QuotesInsideLiteralsStayOneLiteralThroughTheRewrite) {
    EXPECT_EQ(Sql("update lab.dbo.x set n = 'O''Brien'' --' where m = ''''"),
              "update main.\"x\" set n = 'O''Brien'' --' where m = ''''");
    std::string sql = Sql("select * from labrack.dbo.TBL_TestGroup_Count('x''); drop table t --', null)");
    EXPECT_NE(sql.find("select 'x''); drop table t --', null"), std::string::npos) << sql;
}

TEST(Dialect, TableFunctionExpandsWithItsArguments) {
    std::string sql =
        Sql("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR', null) where isWeighed = 1 ");
    EXPECT_NE(sql.find("select 'VOLMAR', null"), std::string::npos) << sql;
    EXPECT_NE(sql.find("where isWeighed = 1"), std::string::npos) << sql;
    EXPECT_EQ(Native_Error_Of("select * from labrack.dbo.TBL_TestGroup_Count('VOLMAR')"), 313);
    EXPECT_EQ(Native_Error_Of("select * from labrack.dbo.TBL_TestGroup_Count"), 216);
}
