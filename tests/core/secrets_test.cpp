#include "db/secrets.h"

#include "common/text.h"

#include <gtest/gtest.h>

using namespace pcs;
using namespace pcs::db;

// The statement stays readable for the audit; no piece of the password survives, however it was typed.
TEST(Secrets, PasswordArgumentsAreMaskedAndTheRestIsKept) {
    EXPECT_EQ(Mask_Passwords("exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '76874486', "
                             "@labcode = 'VOLMAR'")
                  .Text,
              "exec lab.dbo.validate_password @source = 'Qor', @UserPassword = '***', @labcode = 'VOLMAR'");
    const struct {
        std::string Sql, Password, Kept;
    } cases[] = {
        // A quote the station does not double, with what looks like an argument after it.
        {"exec lab.dbo.validate_password @source = 'Qor', @UserPassword = 'ab'cd, @x', @labcode = 'VOLMAR'",
         "cd, @x", "@labcode = 'VOLMAR'"},
        {"exec lab.dbo.validate_password @UserPassword=N'it''s955'", "s955", "validate_password"},
        {"EXEC lab.dbo.set_pwd @emp = 7, @NewPwd = 31415926;", "31415926", "@emp = 7"},
        {"lab.dbo.validate_password 'Qor', '76874486', 'VOLMAR'", "76874486", "validate_password"},
        {"update hadel.dbo.employees set PASSWORD = 'x''y9z', LASTNAME = 'Dias'", "y9z", "LASTNAME = 'Dias'"},
        {"exec lab.dbo.validate_password @UserPassword = 'never closed", "never closed", "validate_password"},
    };
    for (const auto& c : cases) {
        Masked_Statement m = Mask_Passwords(c.Sql);
        EXPECT_FALSE(Contains(m.Text, c.Password)) << m.Text;
        EXPECT_TRUE(Contains(m.Text, c.Kept)) << m.Text;
        EXPECT_FALSE(
            Contains(Without_Secrets("near \"" + c.Password + "\": syntax error", m.Secrets), c.Password))
            << c.Sql;
    }
    // Names that only look alike, and quoted text that mentions a password, are left alone.
    std::string plain = "select 'UserPassword = 1' as note, passes from lab.dbo.x where pw = 'a'";
    EXPECT_EQ(Mask_Passwords(plain).Text, plain);
}

TEST(Secrets, ConnectionStringsAndTheirPasswordsAreScrubbed) {
    std::string cs = "DSN=lab;UID=darnwell;PWD={x;k4417};QuotedID=No";
    Connect_Error e("cannot connect with " + cs + " (password x;k4417)",
                    {{1, "login failed for x;k4417", "28000", 18456}});
    Connect_Error shown = Without_Secrets(e, cs);
    EXPECT_FALSE(Contains(shown.what(), "x;k4417")) << shown.what();
    EXPECT_FALSE(Contains(shown.what(), "DSN=lab")) << shown.what();
    EXPECT_EQ(shown.Records().at(0).Description, "login failed for ***");
    EXPECT_EQ(shown.Records().at(0).Sql_State, "28000");
    auto secrets = Connect_String_Secrets("Driver=x; Password = s3cret ;pwd=");
    EXPECT_EQ(secrets.size(), 2u);
    EXPECT_EQ(secrets.at(1), "s3cret");
}
